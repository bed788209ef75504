#include "support/fakes.h"

#include "platform/line_settings.h"

#include <QDateTime>
#include <QTimer>
#include <QVariant>

void FakeSerialDevice::record(const char* member, const QVariant& value) {
    const QString write = QLatin1String(member) + u'=' + value.toString();
    writes << write;
    if (beforeWrite)
        beforeWrite(write);
}

void FakeSerialDevice::setCommPort(std::int16_t port) {
    record("CommPort", port);
    if (m_open)
        throw CommError(comm::PortAlreadyOpen, QStringLiteral("Close the port first."));
    m_commPort = port;
}

void FakeSerialDevice::setSettings(const QString& settings) {
    record("Settings", settings);
    QString why;
    if (!parseLineSettings(settings, &why))
        throw CommError(comm::InvalidSettings, why);
    m_settings = settings;
}

void FakeSerialDevice::setPortOpen(bool open) {
    record("PortOpen", open);
    if (!open) {
        m_open = false;
        return;
    }
    if (m_open)
        throw CommError(comm::PortAlreadyOpen, QStringLiteral("The port is already open."));
    const auto port = ports.find(m_commPort);
    if (port == ports.end() || port->second == Port::Absent)
        throw CommError(comm::NoSuchDevice, QStringLiteral("COM%1: no device").arg(m_commPort));
    if (port->second == Port::Held)
        throw CommError(comm::PortAlreadyOpen,
                        QStringLiteral("COM%1 is in use by another program").arg(m_commPort));
    m_open = true;
    m_errorBase = m_errors;
}

void FakeSerialDevice::setInputMode(int mode) {
    record("InputMode", mode);
    m_inputMode = mode;
}

void FakeSerialDevice::setInBufferCount(int count) {
    record("InBufferCount", count);
    if (count == 0) {
        m_waiting.clear();
        m_waitingArrivals.clear();
    }
}

void FakeSerialDevice::setRThreshold(int bytes) {
    record("RThreshold", bytes);
    m_rThreshold = bytes;
}

QByteArray FakeSerialDevice::input() {
    m_arrivals = std::exchange(m_waitingArrivals, {});
    return std::exchange(m_waiting, {});
}

void FakeSerialDevice::output(QByteArrayView data) {
    record("Output", QString::fromLatin1(data.toByteArray().toHex(' ')));
    if (!m_open)
        throw CommError(comm::PortNotOpen, QStringLiteral("The port is not open."));
    sent += data;
}

QString FakeSerialDevice::describePort(std::int16_t port) const {
    const auto found = ports.find(port);
    return found == ports.end() || found->second == Port::Absent
               ? QString()
               : QStringLiteral("/dev/fake%1").arg(port);
}

void FakeSerialDevice::receive(const QByteArray& bytes, qint64 at) {
    m_waiting += bytes;
    m_waitingArrivals.append({bytes.size(), at < 0 ? QDateTime::currentMSecsSinceEpoch() : at});
    m_commEvent = comm::EvReceive;
    if (m_open && m_rThreshold > 0)
        emit onComm();
}

void FakeSerialDevice::fallSilent(qint64 at) {
    m_waitingArrivals.append({0, at});
    m_commEvent = comm::EvReceive;
    if (m_open && m_rThreshold > 0)
        emit onComm();
}

void FakeSerialDevice::sendBreak(int milliseconds) {
    if (!m_open || !offer.lineBreak || m_breakOn)
        return;
    record("Break", milliseconds);
    m_breakOn = true;
    emit lineChanged();
    QTimer::singleShot(milliseconds, this, [this] {
        m_breakOn = false;
        emit lineChanged();
    });
}

void FakeSerialDevice::lose(const QString& reason) {
    m_open = false;
    emit portLost(QStringLiteral("/dev/fake%1").arg(m_commPort), reason);
}

void FakeSerialDevice::setHandshaking(int mode) {
    record("Handshaking", mode);
    m_handshaking = mode;
}

void FakeSerialDevice::setDTREnable(bool on) {
    record("DTREnable", on);
    m_dtr = on;
}

void FakeSerialDevice::setRTSEnable(bool on) {
    record("RTSEnable", on);
    m_rts = on;
}

ModemLines FakeSerialDevice::modemLines() const {
    if (!m_open || !offer.modemLines)
        return {};
    ModemLines lines = m_lines;
    lines.dtr = offer.dtr && m_dtr;
    lines.rts = offer.rts && m_rts;
    return lines;
}

LineErrors FakeSerialDevice::lineErrors() const {
    if (!m_open || !offer.errorCounts)
        return {};
    return {m_errors.framing - m_errorBase.framing, m_errors.parity - m_errorBase.parity,
            m_errors.overrun - m_errorBase.overrun,
            m_errors.bufferOverrun - m_errorBase.bufferOverrun};
}

void FakeSerialDevice::changeLines(const ModemLines& lines) {
    m_lines = lines;
    if (m_open && offer.modemLines)
        emit lineChanged();
}

void FakeSerialDevice::countErrors(const LineErrors& errors) {
    m_errors = errors;
    if (m_open && offer.errorCounts)
        emit lineChanged();
}

void FakeSerialDevice::raiseOtherEvent(std::int16_t event) {
    m_commEvent = event;
    emit onComm();
}

bool FakeCommonDialog::answer(bool save) {
    shown.push_back({save, FileName, InitDir});
    if (whileOpen)
        whileOpen();
    std::optional<QString> answer;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    if (!answer)
        return false;
    FileName = *answer;
    return true;
}

void FakeMessageBoxes::show(const QString& text, Icon icon, const QString& detail) {
    shown.push_back({text, icon, detail});
    ++m_open;
    if (whileOpen)
        whileOpen();
    --m_open;
}

std::optional<int> FakeMessageBoxes::askNumber(const QString& text, int value, int least,
                                               int most) {
    asked << QStringLiteral("%1 [%2] %3..%4").arg(text).arg(value).arg(least).arg(most);
    if (numbers.empty())
        return std::nullopt;
    const auto answer = numbers.front();
    numbers.pop_front();
    return answer;
}

QStringList FakeMessageBoxes::texts() const {
    QStringList texts;
    for (const Shown& box : shown)
        texts << box.text;
    return texts;
}

void FakeTimer::elapse() {
    if (m_enabled && m_interval > 0)
        emit tick();
}

void FakeEventLoop::yield() {
    ++yields;
    if (onYield)
        onYield();
}
