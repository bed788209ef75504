#include "platform/qt_serial_device.h"

#include "platform/port_access.h"

#include <QFileInfo>
#include <QScopedValueRollback>
#include <QSocketNotifier>

#include <poll.h>
#include <sys/ioctl.h>

namespace {

QSerialPort::Parity toQt(LineSettings::Parity parity) {
    switch (parity) {
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    case LineSettings::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(LineSettings::StopBits stopBits) {
    switch (stopBits) {
    case LineSettings::StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case LineSettings::StopBits::Two:
        return QSerialPort::TwoStop;
    case LineSettings::StopBits::One:
        break;
    }
    return QSerialPort::OneStop;
}

// Only a batch smaller than this makes the port rest: a larger one pays for
// its wake-up, and comes when bytes arrive faster than a rest would save, so
// fast that the system's buffers could fill up during it and hold the device
// back.
constexpr qint64 SmallBatch = 2048;

} // namespace

QtSerialDevice::QtSerialDevice(PortMap ports, QObject* parent)
    : SerialDevice(parent)
    , m_ports(std::move(ports)) {
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialDevice::received);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialDevice::onError);
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &QtSerialDevice::resumeReading);
}

void QtSerialDevice::received() {
    if (m_rThreshold <= 0)
        return;
    m_commEvent = comm::EvReceive;
    const qint64 batch = m_port.bytesAvailable();
    emit onComm();
    if (batch < SmallBatch)
        pauseReading();
}

// Each wake-up for a read costs more than the read: a device that sends every
// millisecond would otherwise wake the window a thousand times a second.
// QSerialPort watches the port with a notifier of its own, a child of the
// port, and watches again whenever it is read from; where it has none, the
// port is read as bytes come.
void QtSerialDevice::pauseReading() {
    if (!m_port.isOpen() || bytesInDriver() != 0)
        return;
    for (QSocketNotifier* notifier :
         m_port.findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly)) {
        if (notifier->type() == QSocketNotifier::Read && notifier->isEnabled() &&
            notifier->socket() == m_port.handle()) {
            notifier->setEnabled(false);
            m_paused = notifier;
            m_pause.start(m_streaming ? StreamBatchMs : BatchMs);
            return;
        }
    }
}

void QtSerialDevice::resumeReading() {
    m_streaming = m_port.isOpen() && bytesInDriver() > 0;
    if (m_paused && m_port.isOpen() && m_paused->socket() == m_port.handle())
        m_paused->setEnabled(true);
    m_paused = nullptr;
}

// Received bytes the driver holds that QSerialPort has not read yet; -1 when
// the driver does not say.
int QtSerialDevice::bytesInDriver() const {
    int waiting = 0;
    return ::ioctl(m_port.handle(), FIONREAD, &waiting) == 0 ? waiting : -1;
}

void QtSerialDevice::setCommPort(std::int16_t port) {
    if (m_port.isOpen())
        throw CommError(comm::PortAlreadyOpen,
                        QStringLiteral("Close the port before choosing another one."));
    if (port < 1 || port > PortMap::Count)
        throw CommError(
            comm::NoSuchDevice,
            QStringLiteral("COM%1 is not a port number 1 to %2.").arg(port).arg(PortMap::Count));
    m_commPort = port;
    // The number keeps this device until it is set again, even when the
    // system's list changes meanwhile: an open never reaches another device.
    m_device = m_ports.device(port);
}

void QtSerialDevice::setSettings(const QString& settings) {
    QString why;
    const auto parsed = parseLineSettings(settings, &why);
    if (!parsed)
        throw CommError(comm::InvalidSettings, why);
    if (m_port.isOpen())
        apply(*parsed);
    m_settings = *parsed;
}

// Sets the line settings of the port; a closed port keeps them for its open.
bool QtSerialDevice::configure(const LineSettings& settings) {
    return m_port.setBaudRate(settings.baudRate) && m_port.setParity(toQt(settings.parity)) &&
           m_port.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) &&
           m_port.setStopBits(toQt(settings.stopBits));
}

// Applies settings to the open port whole or not at all.
void QtSerialDevice::apply(const LineSettings& settings) {
    // What goes wrong here is a refusal of the settings, not a lost device.
    const QScopedValueRollback applying(m_applying, true);
    if (configure(settings))
        return;
    const QString reason = QStringLiteral("%1 does not accept the settings %2: %3")
                               .arg(m_device, formatLineSettings(settings), m_port.errorString());
    configure(m_settings);
    m_port.clearError();
    throw CommError(comm::InvalidSettings, reason);
}

void QtSerialDevice::setPortOpen(bool open) {
    if (!open) {
        // What the driver takes now still goes out; the rest is dropped. A
        // driver that is full refuses more, which is no loss of the device.
        const QScopedValueRollback closing(m_closing, true);
        m_port.flush();
        close();
        return;
    }
    if (m_port.isOpen())
        throw CommError(comm::PortAlreadyOpen, QStringLiteral("The port is already open."));
    this->open();
}

void QtSerialDevice::open() {
    // A number that stood for no device takes the one the system lists now.
    if (m_device.isEmpty())
        m_device = m_ports.device(m_commPort);
    const QString device = m_device;
    if (device.isEmpty())
        throw CommError(comm::NoSuchDevice,
                        QStringLiteral("COM%1: no serial device.").arg(m_commPort));
    if (!QFileInfo::exists(device))
        throw CommError(
            comm::NoSuchDevice,
            QStringLiteral("COM%1 (%2) is gone: the device was unplugged or removed. Plug it back "
                           "in, or choose the port again.")
                .arg(m_commPort)
                .arg(device));

    m_port.setPortName(device);
    configure(m_settings);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (m_port.open(QIODevice::ReadWrite))
        return;

    const auto error = m_port.error();
    const QString why = m_port.errorString();
    m_port.clearError();
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        throw CommError(comm::NoSuchDevice, QStringLiteral("%1: no such device.").arg(device));
    case QSerialPort::OpenError:
        throw CommError(comm::PortAlreadyOpen, QStringLiteral("%1 is already open.").arg(device));
    case QSerialPort::PermissionError: {
        const OpenRefusal refusal =
            explainPermissionError(device, lockHolderOf(device), plainOpenErrno(device));
        throw CommError(refusal.number, refusal.reason);
    }
    default:
        throw CommError(comm::DeviceFailed, QStringLiteral("%1: %2").arg(device, why));
    }
}

void QtSerialDevice::setInBufferCount(int count) {
    if (count == 0 && m_port.isOpen()) {
        m_port.clear(QSerialPort::Input);
        m_port.readAll();
    }
}

void QtSerialDevice::setOutBufferCount(int count) {
    if (count == 0 && m_port.isOpen()) {
        m_dropped += m_port.bytesToWrite();
        m_port.clear(QSerialPort::Output);
    }
}

QByteArray QtSerialDevice::input() {
    if (!m_port.isOpen())
        return {};
    return m_inputLen > 0 ? m_port.read(m_inputLen) : m_port.readAll();
}

// QSerialPort queues the bytes and writes them when the driver has room.
void QtSerialDevice::output(QByteArrayView data) {
    if (!m_port.isOpen())
        throw CommError(comm::PortNotOpen, QStringLiteral("The port is not open."));
    m_port.write(data.data(), data.size());
    m_queued += data.size();
}

// Closes the port; what the driver has not taken is dropped.
void QtSerialDevice::close() {
    m_pause.stop();
    m_paused = nullptr;
    m_streaming = false;
    m_dropped += m_port.bytesToWrite();
    m_port.close();
    m_port.clearError();
}

// A device that goes away shows as read or write errors, repeated for as long
// as the port stays open: close it at once and say so once.
void QtSerialDevice::onError(QSerialPort::SerialPortError error) {
    if (!m_port.isOpen() || m_applying || m_closing)
        return;
    if (error != QSerialPort::ReadError && error != QSerialPort::WriteError &&
        error != QSerialPort::ResourceError)
        return;
    const QString device = m_device;
    const QString reason = lossReason();
    if (m_port.bytesAvailable() > 0 && m_rThreshold > 0) {
        m_commEvent = comm::EvReceive;
        emit onComm();
    }
    close();
    emit portLost(device, reason);
}

// What ended the device, found now: QSerialPort words a read of nothing
// after a hang-up by whatever errno an earlier call left behind.
QString QtSerialDevice::lossReason() const {
    if (!QFileInfo::exists(m_device))
        return QStringLiteral("The device was removed.");
    pollfd state{m_port.handle(), POLLIN | POLLOUT, 0};
    if (::poll(&state, 1, 0) == 1 && (state.revents & POLLHUP))
        return QStringLiteral("The device hung up.");
    return m_port.errorString();
}
