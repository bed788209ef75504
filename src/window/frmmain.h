#pragma once

#include "platform/platform.h"
#include "platform/user_settings.h"
#include "window/module1.h"
#include "window/run_options.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class ComboBox;
class ReceivedText;
struct LineSettings;
class Counter;
class FindBar;
class LogView;
class Shape;
class QAction;
class QCheckBox;
class QKeyEvent;
class QMenu;
class QuickSendEditor;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;

// The receive rate as the status bar shows it ("1.2 kB/s"; blank for none)
// and as assistive technology reads it.
QString rateText(long long bytesPerSecond);
QString rateName(long long bytesPerSecond);

// The window: its controls under their own names, the shared variables, and
// the event handlers. Each handler is defined in the folder of its
// subsystem: serial/, transmit/, receive/, logtools/; start-up is here.
class frmmain : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* WebAddress = "https://www.varnolix.example/";
    // The client area at its design size, in twips: the window's smallest.
    static constexpr int DesignWidth = 10530, DesignHeight = 7710;

    // Creates the controls, binds their events and runs Form_Load.
    explicit frmmain(const Platform& platform, RunOptions options = {});
    ~frmmain() override;

    // Port settings.
    QGroupBox* Frame1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
    ComboBox *Combo1, *Combo2, *Combo3, *Combo4, *Combo5;
    QPushButton* Command1;
    Shape* Shape1;
    // Receive display.
    QGroupBox* Frame2;
    QRadioButton *Option1, *Option2;
    QPushButton* Command4;
    // Send options.
    QGroupBox* Frame3;
    QRadioButton *Option3, *Option4;
    QCheckBox *Check2, *Check1;
    QLabel* Label7;
    QLineEdit* Text3;
    std::array<QLabel*, 2> Label9;
    QPushButton* Command2;
    // Byte counters.
    QGroupBox* Frame4;
    QPushButton* Command8;
    QLabel* Label8;
    Counter *Label10, *Label11;
    // File buttons.
    QGroupBox* Frame5;
    QPushButton *Command5, *Command3;
    // At window level.
    LogView* Text1;
    QPlainTextEdit* Text2;
    LogView* Text4;
    QLabel* Label6;
    // Added to the areas, beside the window's own controls: a find bar in
    // each, and "Milliseconds in stamps" in the receive area's context menu.
    FindBar *receiveFind, *echoFind;
    QAction* stampMilliseconds;
    // "Frames by silence…" in the receive area's context menu.
    QAction* framesBySilence;
    // Larger, smaller and the window's own text size in the receive area and
    // the echo (Ctrl+Plus, Ctrl+Minus, Ctrl+0, Ctrl and the wheel), in both
    // areas' context menus.
    QAction *largerText, *smallerText, *normalTextSize;
    // Below the window's own client area: line control, the modem lines and
    // the driver's error counts.
    QStatusBar* statusBar;
    QCheckBox *dtrToggle, *rtsToggle;
    QPushButton* breakButton;
    ComboBox* flowControl;
    // CTS, DSR, DCD, RI.
    std::array<QLabel*, 4> lineLamps;
    // Framing, parity, overrun, buffer overrun.
    std::array<QLabel*, 4> errorCounts;
    // A row below it, `lowerBar`. On the left, the send side: what a text
    // send's line ends with, and the quick sends with their menu.
    QLabel* lineEndLabel;
    ComboBox* lineEnd;
    QPushButton* quickSend;
    QMenu* quickSendMenu;
    // One per quick send, hidden past the last; the first nine on Ctrl+1 to
    // Ctrl+9 anywhere in the window.
    std::array<QAction*, MaxQuickSends> quickSendActions;
    QAction *noQuickSends, *editQuickSendsAction, *loadQuickSendsAction, *saveQuickSendsAction;
    // "Edit quick sends…", hidden until asked for.
    QuickSendEditor* quickSendEditor;
    // "Text encoding" in the receive area's context menu, one entry per
    // encoding, in the order of TextEncodings.
    QMenu* textEncoding;
    std::array<QAction*, std::size(TextEncodings)> encodingActions;
    // Beside them "COM1 lost at 23:18:16, waiting for it" or "COM1 back at
    // 23:41:02" while --reconnect waits or after it, and on the right the
    // receive rate, "1.2 kB/s", read as "Receiving 1234 bytes per second".
    QStatusBar* lowerBar;
    QLabel *portWait, *receiveRate;
    // Samples RX for the rate once a second.
    QTimer rateTimer;

    // Platform components.
    SerialDevice& MSComm1;
    CommonDialog& CommonDialog1;
    Timer& Timer1;

    Module1 shared;

    // Start-up: window/form_load.cpp.
    void Form_Load();

    // Probe and configuration: serial/probe_port.cpp.
    bool ProbePort(std::int16_t port);
    void SetupPort(std::int16_t port);

    // Port and line-settings selectors: serial/port_selection.cpp.
    void Combo1_Click();
    void Combo1_Enter();
    void Combo2_Click();
    void Combo3_Click();
    void Combo4_Click();
    void Combo5_Click();

    // Open/close button and a port that goes away: serial/open_close.cpp.
    void Command1_Click();
    void MSComm1_PortLost(const QString& device, const QString& reason);
    // With reconnecting on: tries the lost port's device again.
    void reopenLostPort();

    // Receive display: receive/on_comm.cpp.
    void MSComm1_OnComm();
    void Option1_Click();
    void Option2_Click();
    void framesBySilence_Click();

    // Send routine: transmit/send_routine.cpp.
    void Option3_Click();
    void Option4_Click();
    void Check2_Click();
    void Command2_Click();
    void Timer1_Timer();
    void MSComm1_OutputTaken();
    void lineEnd_Click();
    void textEncoding_Click(QAction* chosen);

    // The send box's keys, its history of sends and its context menu:
    // transmit/send_box.cpp. Returns whether the key was taken.
    bool Text2_KeyDown(const QKeyEvent& key);
    void Text2_ContextMenu(QPoint at);

    // Quick sends: transmit/quick_send.cpp.
    void quickSend_Click(int index);
    void editQuickSends_Click();
    void quickSendEditor_OK();
    void loadQuickSends_Click();
    void saveQuickSends_Click();

    // Repeat sending: transmit/repeat.cpp.
    void Check1_Click();

    // Send File: transmit/send_file.cpp.
    void Command3_Click();

    // Line control in the status bar: serial/line_control.cpp.
    void dtrToggle_Click();
    void rtsToggle_Click();
    void breakButton_Click();
    void flowControl_Click();
    void MSComm1_LineChanged();
    // The receive rate: window/status_bar.cpp.
    void rateTimer_Timer();

    // The window's size and text size: window/window_size.cpp.
    void zoomText(int steps);
    void setTextSize(int points);

    // Log and utilities: logtools/log_tools.cpp.
    void Command5_Click();
    void Command4_Click();
    void Command8_Click();
    void Label6_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createStatusBar();
    void createSendBar();
    void createPortStatus();
    void createTextSizeActions();
    // Places what grows or moves with the window (window/window_size.cpp).
    void placeControls();
    void recordPlacements();
    void restoreWindow();
    void rememberWindow();
    void bindEvents();
    template <typename Sender, typename Signal>
    void bind(Sender* sender, Signal signal, void (frmmain::*handler)());
    // Runs a handler; a refusal of the serial component that a handler left
    // untrapped is reported instead of ending the program.
    template <typename Handler> void run(Handler handler);
    void MsgBox(const QString& text, MessageBoxes::Icon icon = MessageBoxes::Icon::None,
                const QString& detail = {});
    // The port shown open or closed: caption, lamp, port selector, portState.
    void showPortOpen(bool open);
    void showLineSettings(const LineSettings& settings);
    void showLineErrors(const LineErrors& errors, bool offered);
    // Frames cut at silences of `gap` milliseconds; 0: lines at line ends.
    void setFrameGap(int gap);

    // serial/open_close.cpp and serial/port_selection.cpp.
    static void report(const QString& line);
    void reportLostPortBack();
    void showPortWait(const QString& text);
    void showPortClosed();
    bool configurePort(std::int16_t port);
    void applySelectedSettings();
    void refuseSettings(const QString& why);
    void describePorts();

    // transmit/send_routine.cpp and transmit/send_file.cpp. Each returns
    // whether bytes were handed to the line.
    bool sendBox();
    bool transmit(const QString& text, bool hex);
    bool sendText(const QString& text);
    bool sendHex(const QString& text);
    bool send(const QByteArray& bytes, const QString& echo);
    void refuseCharacter(const QString& text, qsizetype at);
    TextEncoding encoding() const;
    qint64 streamFile(QIODevice& file, qint64 size);

    // transmit/send_box.cpp and transmit/quick_send.cpp.
    void keepSent(const SentText& sent);
    void showSent(const SentText& sent);
    void showQuickSends();
    void takeQuickSends(std::vector<QuickSend> sends);
    QString askForQuickSendsFile(bool save);

    MessageBoxes& m_messages;
    Shell& m_shell;
    EventLoop& m_events;
    const RunOptions m_options;
    // The user's choices as kept in the settings file: a handler that changes
    // one sets it here and calls remember(); what the command line set for
    // this run is not kept unless the user chooses it again.
    UserSettings m_remembered;
    void remember();
    // Turns each received batch into text for the receive area; holds the
    // lead byte that waits for its trail in the next batch (pendingLead),
    // and the text encoding.
    const std::unique_ptr<ReceivedText> m_received;
    // The sends made from the send box, and where Ctrl+Up stands among them.
    SendHistory m_history;
    std::vector<QuickSend> m_quickSends;
    // Runs while a lost port's device is waited for.
    QTimer m_reconnectWatch;
    QString m_lostDevice;
    // The last reason the waited-for device gave for not opening, told once.
    QString m_waitReason;
    // The window is being closed: a running file send stops.
    bool m_closing = false;
    // Whether the component is configured for the selected port since that
    // port was last probed or chosen; Refused: configured, but its last open
    // was refused, so choosing the same port again takes it up afresh.
    enum class PortSetup { Unconfigured, Configured, Refused };
    PortSetup m_portSetup = PortSetup::Unconfigured;
    // RX when the rate was last sampled, and the time since.
    long long m_rateCount = 0;
    QElapsedTimer m_rateClock;
    // The status bars' height: the window is its client area and the bars.
    int m_statusHeight = 0;
    // The controls that move or grow with the window: where they stand at the
    // design size, and the edges they keep their distance to.
    struct Placement {
        QWidget* control;
        QRect design;
        bool right, bottom, wider, taller;
    };
    std::vector<Placement> m_placements;
    // Where the sends that the driver has not all taken yet stand among all
    // bytes queued for the line: TX counts bytes as the driver takes them.
    struct Unsent {
        qint64 start, end;
    };
    std::deque<Unsent> m_unsent;
    // Counts the times the port was shown closed: a file send that sees it
    // change stops, even when the port was opened again meanwhile.
    int m_portClosings = 0;
};
