#include "window/frmmain.h"

#include "platform/application.h"
#include "platform/capture_file.h"
#include "platform/line_settings.h"
#include "platform/port_map.h"
#include "platform/serial_device.h"
#include "receive/received_text.h"
#include "serial/selector_lists.h"
#include "window/combo_box.h"
#include "window/counter.h"
#include "window/find_bar.h"
#include "window/log_view.h"
#include "window/quick_send_editor.h"
#include "window/shape.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <new>
#include <utility>

namespace {

// Positions are kept in twips, 15 to a pixel at 96 dots per inch.
int px(int twips) {
    return (twips + 7) / 15;
}

template <typename Control>
Control* place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(px(left), px(top), px(width), px(height));
    return control;
}

template <typename Control>
Control* place(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
               int height) {
    auto* control = place<Control>(parent, name, left, top, width, height);
    control->setText(QString::fromUtf8(caption));
    return control;
}

QLabel* sizedLabel(QWidget* parent, const char* name, const char* caption, int left, int top) {
    auto* label = place<QLabel>(parent, name, caption, left, top, 0, 0);
    label->adjustSize();
    return label;
}

ComboBox* combo(QWidget* parent, const char* name, const QStringList& items, int left, int top) {
    auto* box = place<ComboBox>(parent, name, left, top, 975, 300);
    box->addItems(items);
    box->setCurrentIndex(-1);
    return box;
}

QStringList portNames() {
    QStringList names;
    for (int port = 1; port <= PortMap::Count; ++port)
        names << QStringLiteral("COM%1").arg(port);
    return names;
}

// A selector's list: each item's name.
template <typename Items, typename Name = std::identity>
QStringList entries(const Items& items, Name name = {}) {
    QStringList list;
    for (const auto& item : items)
        list << QLatin1String(std::invoke(name, item));
    return list;
}

} // namespace

frmmain::frmmain(const Platform& platform, RunOptions options)
    : MSComm1(platform.serial)
    , CommonDialog1(platform.dialog)
    , Timer1(platform.timer)
    , m_messages(platform.messages)
    , m_shell(platform.shell)
    , m_events(platform.events)
    , m_options(options)
    , m_remembered(options.settings ? options.settings->load() : UserSettings{})
    , m_received(std::make_unique<ReceivedText>())
    , m_history(m_remembered.history)
    , m_quickSends(m_options.quickSends.value_or(m_remembered.quickSends)) {
    createControls();
    bindEvents();
    restoreWindow();
    Form_Load();
}

void frmmain::createControls() {
    setWindowTitle(QString::fromLatin1(ApplicationTitle));
    setWindowIcon(QIcon(QStringLiteral(":/varnolix.png")));
    resize(px(DesignWidth), px(DesignHeight));

    Frame1 = place<QGroupBox>(this, "Frame1", 120, 0, 3255, 2655);
    Label1 = sizedLabel(Frame1, "Label1", "Serial port", 240, 240);
    Combo1 = combo(Frame1, "Combo1", portNames(), 1800, 240);
    Label2 = sizedLabel(Frame1, "Label2", "Baud rate", 240, 600);
    Combo2 = combo(Frame1, "Combo2", entries(selectors::BaudRates), 1800, 600);
    Label3 = sizedLabel(Frame1, "Label3", "Check", 240, 960);
    Combo3 = combo(Frame1, "Combo3", entries(selectors::Parities, &selectors::ParityEntry::name),
                   1800, 960);
    Label4 = sizedLabel(Frame1, "Label4", "Data bit", 240, 1320);
    Combo4 = combo(Frame1, "Combo4", entries(selectors::DataBits), 1800, 1320);
    Label5 = sizedLabel(Frame1, "Label5", "Stop Bit", 240, 1680);
    Combo5 = combo(Frame1, "Combo5", entries(selectors::StopBits), 1800, 1680);
    Command1 = place<QPushButton>(Frame1, "Command1", "Command1", 360, 2040, 1455, 495);
    Shape1 = place<Shape>(Frame1, "Shape1", 2400, 2160, 255, 255);

    // SimSun where it exists, else a typeface with Simplified Chinese glyphs.
    QFont labelFont;
    labelFont.setFamilies({QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                           QStringLiteral("Noto Sans CJK SC")});
    labelFont.setPointSizeF(10.5);
    labelFont.setWeight(QFont::Normal);
    for (QLabel* label : {Label1, Label2, Label3, Label4, Label5}) {
        label->setFont(labelFont);
        label->adjustSize();
    }

    Frame2 = place<QGroupBox>(this, "Frame2", 120, 2640, 3255, 1215);
    Option1 = place<QRadioButton>(Frame2, "Option1", "Show in HEX", 120, 360, 1455, 180);
    Option2 = place<QRadioButton>(Frame2, "Option2", "Show in TXT", 120, 720, 1335, 255);
    Command4 = place<QPushButton>(Frame2, "Command4", "Clcar buffer", 1680, 360, 1455, 495);

    Frame3 = place<QGroupBox>(this, "Frame3", 120, 3960, 3255, 2055);
    Option3 = place<QRadioButton>(Frame3, "Option3", "Send in HEX ", 120, 240, 1455, 255);
    Option4 = place<QRadioButton>(Frame3, "Option4", "Send in TXT ", 120, 600, 1455, 255);
    Check2 = place<QCheckBox>(Frame3, "Check2", "CR", 120, 960, 1215, 255);
    Check1 = place<QCheckBox>(Frame3, "Check1", "Repeat", 120, 1320, 1215, 255);
    Label7 = sizedLabel(Frame3, "Label7", "Interval:", 120, 1680);
    Text3 = place<QLineEdit>(Frame3, "Text3", 960, 1680, 855, 270);
    Label9[0] = sizedLabel(Frame3, "Label9(0)", "ms", 2040, 1680);
    Command2 = place<QPushButton>(Frame3, "Command2", "Send", 1680, 360, 1455, 495);

    Frame4 = place<QGroupBox>(this, "Frame4", 120, 6120, 4695, 735);
    Command8 = place<QPushButton>(Frame4, "Command8", "Clear", 120, 240, 975, 375);
    Label8 = place<QLabel>(Frame4, "Label8", "RX", 1440, 360, 375, 255);
    Label10 = place<Counter>(Frame4, "Label10", "0", 1920, 360, 735, 255);
    Label9[1] = place<QLabel>(Frame4, "Label9(1)", "TX", 2760, 360, 375, 255);
    Label11 = place<Counter>(Frame4, "Label11", "0", 3240, 360, 735, 255);

    Frame5 = place<QGroupBox>(this, "Frame5", 5280, 5520, 5175, 735);
    Command5 = place<QPushButton>(Frame5, "Command5", "Seva log", 600, 240, 1335, 375);
    Command3 = place<QPushButton>(Frame5, "Command3", "Send File", 3000, 240, 1335, 375);

    Text1 = place<LogView>(this, "Text1", 3480, 0, 6975, 4395);
    Text2 = place<QPlainTextEdit>(this, "Text2", 3480, 4545, 6975, 975);
    Text2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text2->setPlainText(QStringLiteral("ATI\r\n"));
    // Tab moves the focus on, as in every other control; Ctrl+Tab types a tab.
    Text2->setTabChangesFocus(true);
    Text2->setContextMenuPolicy(Qt::CustomContextMenu);
    Text2->installEventFilter(this);
    Text4 = place<LogView>(this, "Text4", 6000, 6840, 3375, 735);
    // Past the cap the oldest lines give way; the first line tells where the
    // rest of what was received is kept, if anywhere.
    Text1->setScrollback(m_options.scrollback,
                         m_options.capture
                             ? QStringLiteral("; everything received is in ") +
                                   m_options.capture->path()
                             : QStringLiteral("; start with --capture FILE to keep everything"));
    Text4->setScrollback(m_options.scrollback);
    Label6 = place<QLabel>(this, "Label6", WebAddress, 120, 6840, 2535, 375);
    QPalette link = Label6->palette();
    link.setColor(QPalette::WindowText, link.color(QPalette::Highlight));
    Label6->setPalette(link);
    Label6->setCursor(Qt::PointingHandCursor);
    Label6->installEventFilter(this);

    // Assistive technology reads the selectors and the interval box by the
    // caption in front of them, the text areas by what they hold, and the
    // counters, whose name is their number, by what they count.
    const std::pair<QLabel*, QWidget*> captions[] = {{Label1, Combo1}, {Label2, Combo2},
                                                     {Label3, Combo3}, {Label4, Combo4},
                                                     {Label5, Combo5}, {Label7, Text3}};
    for (const auto& [label, control] : captions)
        label->setBuddy(control);
    Text1->setAccessibleName(QStringLiteral("Received"));
    Text2->setAccessibleName(QStringLiteral("To send"));
    Text4->setAccessibleName(QStringLiteral("Sent"));
    Label10->setAccessibleDescription(QStringLiteral("Bytes received"));
    Label11->setAccessibleDescription(QStringLiteral("Bytes sent"));

    QWidget* const order[] = {Combo1, Combo2,   Combo3,   Text1,    Combo4,   Combo5,  Command1,
                              Text2,  Command4, Option1,  Option2,  Command2, Option3, Option4,
                              Check1, Text3,    Command8, Command5, Command3, Text4,   Check2};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Inside the areas they belong to; made after the tab order is set, so
    // that the window's own order stays as it was.
    receiveFind = new FindBar(Text1, QStringLiteral("receive area"));
    receiveFind->setObjectName(QStringLiteral("receiveFind"));
    echoFind = new FindBar(Text4, QStringLiteral("echo of what was sent"));
    echoFind->setObjectName(QStringLiteral("echoFind"));
    stampMilliseconds = new QAction(QStringLiteral("&Milliseconds in stamps"), Text1);
    stampMilliseconds->setObjectName(QStringLiteral("stampMilliseconds"));
    stampMilliseconds->setCheckable(true);
    stampMilliseconds->setChecked(m_options.stampMilliseconds || m_remembered.stampMilliseconds);
    Text1->addAction(stampMilliseconds);
    framesBySilence = new QAction(QStringLiteral("Frames &by silence\u2026"), Text1);
    framesBySilence->setObjectName(QStringLiteral("framesBySilence"));
    framesBySilence->setCheckable(true);
    Text1->addAction(framesBySilence);
    textEncoding = new QMenu(QStringLiteral("Text &encoding"), Text1);
    textEncoding->setObjectName(QStringLiteral("textEncoding"));
    auto* encodings = new QActionGroup(textEncoding);
    const TextEncoding chosen = m_options.encoding.value_or(m_remembered.encoding);
    for (std::size_t i = 0; i < std::size(TextEncodings); ++i) {
        QAction* action = encodingActions[i] =
            textEncoding->addAction(textEncodingCaption(TextEncodings[i]));
        action->setCheckable(true);
        action->setChecked(TextEncodings[i] == chosen);
        encodings->addAction(action);
    }
    m_received->encoding = chosen;
    Text1->addAction(textEncoding->menuAction());
    for (FindBar* bar : {receiveFind, echoFind})
        bar->matchCase()->setChecked(m_remembered.matchCase);
    createTextSizeActions();
    createStatusBar();
    createPortStatus();
    createSendBar();
    showQuickSends();
    recordPlacements();
    showLineErrors({}, true);
}

frmmain::~frmmain() = default;

template <typename Handler> void frmmain::run(Handler handler) {
    try {
        handler();
    } catch (const CommError& error) {
        MsgBox(error.reason(), MessageBoxes::Icon::Exclamation);
    } catch (const std::bad_alloc&) {
        MsgBox(QStringLiteral("Out of memory"), MessageBoxes::Icon::Exclamation,
               QStringLiteral("There was not enough memory to finish. Clearing the receive area "
                              "frees what it holds."));
    }
}

template <typename Sender, typename Signal>
void frmmain::bind(Sender* sender, Signal signal, void (frmmain::*handler)()) {
    connect(sender, signal, this,
            [this, handler] { run([this, handler] { (this->*handler)(); }); });
}

void frmmain::bindEvents() {
    // An option button's click handler runs when it becomes selected, a check
    // box's whenever its value changes, whether the user or the code changed it.
    for (const auto& [option, handler] :
         {std::pair{Option1, &frmmain::Option1_Click}, std::pair{Option2, &frmmain::Option2_Click},
          std::pair{Option3, &frmmain::Option3_Click}, std::pair{Option4, &frmmain::Option4_Click}})
        connect(option, &QRadioButton::toggled, this, [this, handler = handler](bool selected) {
            if (selected)
                run([this, handler] { (this->*handler)(); });
        });
    bind(Check1, &QCheckBox::toggled, &frmmain::Check1_Click);
    bind(Check2, &QCheckBox::toggled, &frmmain::Check2_Click);

    bind(Command1, &QPushButton::clicked, &frmmain::Command1_Click);
    bind(Command2, &QPushButton::clicked, &frmmain::Command2_Click);
    bind(Command3, &QPushButton::clicked, &frmmain::Command3_Click);
    bind(Command4, &QPushButton::clicked, &frmmain::Command4_Click);
    bind(Command5, &QPushButton::clicked, &frmmain::Command5_Click);
    bind(Command8, &QPushButton::clicked, &frmmain::Command8_Click);

    // A selector's click handler runs when an entry is chosen from its list
    // or its text is entered; never when code sets its text.
    bind(Combo1, &ComboBox::activated, &frmmain::Combo1_Click);
    bind(Combo1, &ComboBox::entered, &frmmain::Combo1_Enter);
    connect(Combo1, &ComboBox::popupAboutToShow, this, &frmmain::describePorts);
    for (const auto& [combo, handler] :
         {std::pair{Combo2, &frmmain::Combo2_Click}, std::pair{Combo3, &frmmain::Combo3_Click},
          std::pair{Combo4, &frmmain::Combo4_Click}, std::pair{Combo5, &frmmain::Combo5_Click}}) {
        bind(combo, &ComboBox::activated, handler);
        bind(combo, &ComboBox::entered, handler);
    }

    const auto stampPrecision = [this](bool milliseconds) {
        m_received->precision =
            milliseconds ? StampPrecision::Milliseconds : StampPrecision::Seconds;
    };
    stampPrecision(stampMilliseconds->isChecked());
    connect(stampMilliseconds, &QAction::toggled, this, stampPrecision);
    connect(stampMilliseconds, &QAction::triggered, this, [this](bool milliseconds) {
        m_remembered.stampMilliseconds = milliseconds;
        remember();
    });

    bind(framesBySilence, &QAction::triggered, &frmmain::framesBySilence_Click);
    // Both find bars match case or not, as the user last chose in either.
    for (FindBar* bar : {receiveFind, echoFind})
        connect(bar->matchCase(), &QToolButton::toggled, this, [this](bool matchCase) {
            receiveFind->matchCase()->setChecked(matchCase);
            echoFind->matchCase()->setChecked(matchCase);
            if (std::exchange(m_remembered.matchCase, matchCase) != matchCase)
                remember();
        });
    connect(textEncoding, &QMenu::triggered, this,
            [this](QAction* chosen) { run([this, chosen] { textEncoding_Click(chosen); }); });

    bind(lineEnd, &ComboBox::activated, &frmmain::lineEnd_Click);
    connect(Text2, &QPlainTextEdit::customContextMenuRequested, this,
            [this](QPoint at) { run([this, at] { Text2_ContextMenu(at); }); });
    for (int i = 0; i < MaxQuickSends; ++i)
        connect(quickSendActions[i], &QAction::triggered, this,
                [this, i] { run([this, i] { quickSend_Click(i); }); });
    bind(editQuickSendsAction, &QAction::triggered, &frmmain::editQuickSends_Click);
    quickSendEditor = new QuickSendEditor(this);
    bind(quickSendEditor, &QuickSendEditor::submitted, &frmmain::quickSendEditor_OK);
    bind(loadQuickSendsAction, &QAction::triggered, &frmmain::loadQuickSends_Click);
    bind(saveQuickSendsAction, &QAction::triggered, &frmmain::saveQuickSends_Click);

    bind(&rateTimer, &QTimer::timeout, &frmmain::rateTimer_Timer);
    bind(dtrToggle, &QCheckBox::clicked, &frmmain::dtrToggle_Click);
    bind(rtsToggle, &QCheckBox::clicked, &frmmain::rtsToggle_Click);
    bind(breakButton, &QPushButton::clicked, &frmmain::breakButton_Click);
    bind(flowControl, &ComboBox::activated, &frmmain::flowControl_Click);
    bind(&MSComm1, &SerialDevice::onComm, &frmmain::MSComm1_OnComm);
    bind(&MSComm1, &SerialDevice::lineChanged, &frmmain::MSComm1_LineChanged);
    bind(&MSComm1, &SerialDevice::outputTaken, &frmmain::MSComm1_OutputTaken);
    connect(&MSComm1, &SerialDevice::portLost, this,
            [this](const QString& device, const QString& reason) {
                run([&] { MSComm1_PortLost(device, reason); });
            });
    if (m_options.capture) {
        // An unattended session has no one to see the box: the line goes out
        // at once, also for the last flush, as the program ends.
        connect(m_options.capture, &CaptureFile::stopped, this, [this](const QString& reason) {
            report(
                QStringLiteral("capture to %1 stopped: %2").arg(m_options.capture->path(), reason));
        });
        // Queued: the box must not open inside the receive handler that wrote.
        connect(
            m_options.capture, &CaptureFile::stopped, this,
            [this](const QString& reason) {
                MsgBox(QStringLiteral("Capture stopped"), MessageBoxes::Icon::Exclamation,
                       m_options.capture->path() + QStringLiteral(": ") + reason);
            },
            Qt::QueuedConnection);
    }
    m_reconnectWatch.setInterval(250);
    connect(&m_reconnectWatch, &QTimer::timeout, this,
            [this] { run([this] { reopenLostPort(); }); });
    // While a message box is open its event loop runs: a tick that falls due
    // then is skipped rather than opening another box on top. So is a tick
    // while the line has not taken the last send yet (the device holds the
    // flow, or the line is slower than the repeat): sends would pile up unsent.
    connect(&Timer1, &Timer::tick, this, [this] {
        if (!m_messages.showing() && MSComm1.bytesToWrite() == 0)
            run([this] { Timer1_Timer(); });
    });
}

// "Text encoding": received text from the next batch on, text sends and Save
// log.
void frmmain::textEncoding_Click(QAction* chosen) {
    const auto at = std::find(encodingActions.begin(), encodingActions.end(), chosen);
    if (at == encodingActions.end())
        return;
    m_received->encoding = TextEncodings[at - encodingActions.begin()];
    m_remembered.encoding = m_received->encoding;
    remember();
}

void frmmain::remember() {
    if (m_options.settings)
        m_options.settings->save(m_remembered);
}

void frmmain::MsgBox(const QString& text, MessageBoxes::Icon icon, const QString& detail) {
    m_messages.show(text, icon, detail);
}

void frmmain::showPortOpen(bool open) {
    shared.portState = open ? 1 : 0;
    Command1->setText(open ? QStringLiteral("Close") : QStringLiteral("Open"));
    Shape1->setFillColor(open ? QColor(0, 255, 0) : QColor(0, 0, 0));
    Shape1->setAccessibleName(open ? QStringLiteral("Port open") : QStringLiteral("Port closed"));
    Combo1->setEnabled(!open);
    MSComm1_LineChanged();
}

// The selectors show line settings by their entries: "9600", "None", "8", "1".
void frmmain::showLineSettings(const LineSettings& settings) {
    const QStringList fields = formatLineSettings(settings).split(u',');
    QString parity = fields[1];
    for (const auto& entry : selectors::Parities)
        if (fields[1] == QLatin1Char(entry.letter))
            parity = QLatin1String(entry.name);
    Combo2->setEditText(fields[0]);
    Combo3->setEditText(parity);
    Combo4->setEditText(fields[2]);
    Combo5->setEditText(fields[3]);
}

// A label has no click of its own; the send box's keys are the window's.
bool frmmain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text2 && event->type() == QEvent::KeyPress) {
        bool taken = false;
        run([&] { taken = Text2_KeyDown(*static_cast<QKeyEvent*>(event)); });
        return taken;
    }
    if (watched == Label6 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        Label6->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        run([this] { Label6_Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmmain::closeEvent(QCloseEvent* event) {
    // No tick may write while the window goes away.
    Timer1.setEnabled(false);
    m_closing = true;
    // What the port holds is shown, counted and captured before it closes.
    if (MSComm1.portOpen()) {
        try {
            MSComm1.setPortOpen(false);
        } catch (const CommError&) {
        }
    }
    if (m_options.capture)
        m_options.capture->flush();
    rememberWindow();
    event->accept();
}
