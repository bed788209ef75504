#pragma once

#include "platform/platform.h"
#include "support/printers.h"

#include <QByteArray>
#include <QStringList>
#include <QVariant>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// A serial component that records every write in order, as "Member=value".
class FakeSerialDevice final : public SerialDevice {
public:
    enum class Port { Absent, Present, Held };

    // What stands behind each port number; absent unless set.
    std::map<int, Port> ports;
    // Every write, in order, refused ones included: "CommPort=1", "PortOpen=true",
    // "Output=41 0a", ...
    QStringList writes;
    // Called before each write is carried out; may throw CommError to refuse it.
    std::function<void(const QString& write)> beforeWrite;
    // All bytes written to the line.
    QByteArray sent;

    // The device sends bytes, read at `at` (now by default): they wait for
    // input() and raise a receive event.
    void receive(const QByteArray& bytes, qint64 at = -1);
    // The frame gap passed in silence: told with a receive event.
    void fallSilent(qint64 at);
    // The device goes away while the port is open.
    void lose(const QString& reason);
    // Raises an event that is not a receive event.
    void raiseOtherEvent(std::int16_t event);
    // What the device offers of line control while open; nothing unless set.
    LineOffer offer;
    // The device changes its modem lines (the inputs) or the driver counts
    // errors: told while the port is open and the device offers them.
    void changeLines(const ModemLines& lines);
    void countErrors(const LineErrors& errors);

    void setCommPort(std::int16_t port) override;
    std::int16_t commPort() const override { return m_commPort; }
    void setSettings(const QString& settings) override;
    QString settings() const override { return m_settings; }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return m_open; }
    void setInBufferSize(int bytes) override { record("InBufferSize", bytes); }
    void setOutBufferSize(int bytes) override { record("OutBufferSize", bytes); }
    void setInputMode(int mode) override;
    int inputMode() const override { return m_inputMode; }
    void setInputLen(int bytes) override { record("InputLen", bytes); }
    void setInBufferCount(int count) override;
    void setOutBufferCount(int count) override { record("OutBufferCount", count); }
    void setSThreshold(int bytes) override { record("SThreshold", bytes); }
    void setRThreshold(int bytes) override;
    QByteArray input() override;
    QList<Arrival> arrivals() const override { return m_arrivals; }
    void setFrameGap(int milliseconds) override { record("FrameGap", milliseconds); }
    void output(QByteArrayView data) override;
    // The driver takes everything at once.
    qint64 bytesToWrite() const override { return 0; }
    qint64 bytesAccepted() const override { return sent.size(); }
    std::int16_t commEvent() const override { return m_commEvent; }
    QString describePort(std::int16_t port) const override;
    void setHandshaking(int mode) override;
    int handshaking() const override { return m_handshaking; }
    void setDTREnable(bool on) override;
    bool dtrEnable() const override { return m_dtr; }
    void setRTSEnable(bool on) override;
    bool rtsEnable() const override { return m_rts; }
    // Over after `milliseconds` on the window's timers.
    void sendBreak(int milliseconds) override;
    bool breakOn() const override { return m_breakOn; }
    LineOffer lineOffer() const override { return m_open ? offer : LineOffer{}; }
    ModemLines modemLines() const override;
    LineErrors lineErrors() const override;
    void resetLineErrors() override { m_errorBase = m_errors; }

private:
    void record(const char* member, const QVariant& value);

    std::int16_t m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    bool m_open = false;
    int m_inputMode = 0;
    int m_rThreshold = 0;
    std::int16_t m_commEvent = 0;
    QByteArray m_waiting;
    QList<Arrival> m_waitingArrivals, m_arrivals;
    bool m_breakOn = false;
    int m_handshaking = comm::HandshakeNone;
    bool m_dtr = true, m_rts = true;
    ModemLines m_lines;
    LineErrors m_errors, m_errorBase;
};

// Answers each dialog from a queue: a path confirms, nullopt cancels.
class FakeCommonDialog final : public CommonDialog {
public:
    struct Shown {
        bool save;
        QString fileName;
        QString initDir;
    };
    std::deque<std::optional<QString>> answers;
    std::vector<Shown> shown;
    // Runs while the dialog is open.
    std::function<void()> whileOpen;

    bool showOpen() override { return answer(false); }
    bool showSave() override { return answer(true); }

private:
    bool answer(bool save);
};

class FakeMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        QString text;
        Icon icon;
        QString detail;
    };
    std::vector<Shown> shown;
    // Runs while the box is open.
    std::function<void()> whileOpen;

    void show(const QString& text, Icon icon, const QString& detail) override;
    // Answers each question from a queue: a number, or nullopt to cancel;
    // the questions are kept in `asked`.
    std::deque<std::optional<int>> numbers;
    QStringList asked;
    std::optional<int> askNumber(const QString& text, int value, int least, int most) override;
    bool showing() const override { return m_open > 0; }
    QStringList texts() const;

private:
    int m_open = 0;
};

class FakeTimer final : public Timer {
public:
    void setInterval(int milliseconds) override { m_interval = milliseconds; }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    bool enabled() const override { return m_enabled; }
    // One interval has passed: ticks when the timer would.
    void elapse();

private:
    int m_interval = 1000;
    bool m_enabled = false;
};

class FakeShell final : public Shell {
public:
    QStringList opened;
    void open(const QString& address) override { opened << address; }
};

// Counts a wait as a yield: nothing here ever needs waiting for.
class FakeEventLoop final : public EventLoop {
public:
    int yields = 0;
    std::function<void()> onYield;
    void yield() override;
    void wait() override { yield(); }
};

// One of each, ready to hand to a window.
struct Fakes {
    FakeSerialDevice serial;
    FakeCommonDialog dialog;
    FakeTimer timer;
    FakeMessageBoxes messages;
    FakeShell shell;
    FakeEventLoop events;

    Platform platform() { return {serial, dialog, timer, messages, shell, events}; }
};
