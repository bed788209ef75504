#include "platform/qt_serial_device.h"

#include "platform/line_control.h"
#include "platform/line_watch.h"
#include "platform/port_access.h"
#include "platform/port_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QScopedValueRollback>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

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

// A receive event hands the window at most this much, so that what piled up
// while the window was busy is shown a piece at a time, with keys and clicks
// answered in between.
constexpr qsizetype MostPerEvent = 16 << 10;
// How often the driver's output queue is read while it holds bytes.
constexpr int OutputQueueMs = 10;

} // namespace

QtSerialDevice::QtSerialDevice(PortMap ports, QObject* parent)
    : SerialDevice(parent)
    , m_ports(std::move(ports)) {
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialDevice::onError);
    // Taken by the driver: it may still hold them in its queue.
    connect(&m_port, &QSerialPort::bytesWritten, this, [this] {
        watchOutputQueue();
        emit outputTaken();
    });
    // A coarse timer may be 5% late, which would make a lamp late.
    m_lineTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_lineTimer, &QTimer::timeout, this, [this] { refreshLines(); });
    m_outputTimer.setTimerType(Qt::PreciseTimer);
    m_outputTimer.setInterval(OutputQueueMs);
    connect(&m_outputTimer, &QTimer::timeout, this, [this] {
        if (watchOutputQueue())
            emit outputTaken();
    });
}

QtSerialDevice::~QtSerialDevice() {
    // The threads stop, and a break still on ends, before the port closes.
    if (m_port.isOpen())
        close();
}

// One receive event for what was read, if any waits and someone listens;
// whether the receive handler took some of it.
bool QtSerialDevice::deliverOne() {
    if (!m_reader || m_rThreshold <= 0 || !m_reader->pending())
        return false;
    m_inputTaken = false;
    m_commEvent = comm::EvReceive;
    emit onComm();
    return m_inputTaken;
}

void QtSerialDevice::deliver() {
    if (!m_reader)
        return;
    m_reader->noticed();
    // Errors are counted as the bytes they spoiled come.
    if (takeErrorCounts())
        emit lineChanged();
    // What remains comes in another event, after the window has answered others.
    if (deliverOne() && m_reader && m_reader->pending())
        return m_reader->remind();
    // A port that went away is closed once what came before is shown.
    if (m_reader && m_reader->ended() && (m_rThreshold <= 0 || !m_reader->pending()))
        lose();
}

// Everything read so far, before the port closes.
void QtSerialDevice::deliverAll() {
    while (deliverOne()) {
    }
}

qsizetype QtSerialDevice::bytesWaiting() const {
    return m_reader ? m_reader->waiting() : 0;
}

void QtSerialDevice::setRThreshold(int bytes) {
    m_rThreshold = bytes;
    if (bytes > 0 && m_reader && m_reader->pending())
        m_reader->remind();
}

void QtSerialDevice::setFrameGap(int milliseconds) {
    m_frameGap = std::max(milliseconds, 0);
    if (m_reader)
        m_reader->setFrameGap(m_frameGap);
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
        // What the driver holds is read and shown before the port closes.
        if (m_reader && m_rThreshold > 0) {
            m_reader->finish();
            deliverAll();
        }
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

    // The device's own path, not a link to it: its lock file and its
    // exclusive use are the ones other programs look for.
    const QString kernelPath = QFileInfo(device).canonicalFilePath();
    const QString shown =
        kernelPath == device ? device : QStringLiteral("%1 (%2)").arg(device, kernelPath);
    m_port.setPortName(kernelPath);
    configure(m_settings);
    setFlow(m_handshaking);
    const int readEnd = openForReading(shown, kernelPath);
    if (m_port.open(QIODevice::WriteOnly)) {
        // Called on the reading thread: the receive event comes on the window's.
        m_reader = std::make_unique<PortReader>(readEnd, [this] {
            QMetaObject::invokeMethod(this, &QtSerialDevice::deliver, Qt::QueuedConnection);
        });
        m_reader->setFrameGap(m_frameGap);
        startLineControl();
        return;
    }
    ::close(readEnd);

    const auto error = m_port.error();
    const QString why = m_port.errorString();
    m_port.clearError();
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        throw CommError(comm::NoSuchDevice, QStringLiteral("%1: no such device.").arg(shown));
    case QSerialPort::OpenError:
        throw CommError(comm::PortAlreadyOpen, QStringLiteral("%1 is already open.").arg(shown));
    case QSerialPort::PermissionError: {
        const OpenRefusal refusal =
            explainPermissionError(shown, lockHolderOf(kernelPath), plainOpenErrno(kernelPath));
        throw CommError(refusal.number, refusal.reason);
    }
    default:
        throw CommError(comm::DeviceFailed, QStringLiteral("%1: %2").arg(shown, why));
    }
}

// The end the reading thread reads, opened before QSerialPort takes the port:
// from then on the port is for its holder alone, and a second open is refused.
int QtSerialDevice::openForReading(const QString& shown, const QString& kernelPath) {
    const int fd = ::open(QFile::encodeName(kernelPath).constData(),
                          O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENODEV || error == ENXIO)
            throw CommError(comm::NoSuchDevice, QStringLiteral("%1: no such device.").arg(shown));
        const OpenRefusal refusal = explainPermissionError(shown, lockHolderOf(kernelPath), error);
        throw CommError(refusal.number, refusal.reason);
    }
    // QSerialPort keeps the receiver as it finds it, and it is only switched
    // on for a port opened for reading.
    termios line{};
    if (::tcgetattr(fd, &line) == 0 && !(line.c_cflag & CREAD)) {
        line.c_cflag |= CREAD;
        ::tcsetattr(fd, TCSANOW, &line);
    }
    return fd;
}

void QtSerialDevice::setInBufferCount(int count) {
    if (count == 0 && m_port.isOpen()) {
        m_port.clear(QSerialPort::Input);
        if (m_reader)
            m_reader->discard();
    }
}

void QtSerialDevice::setOutBufferCount(int count) {
    if (count == 0 && m_port.isOpen()) {
        m_dropped += m_port.bytesToWrite();
        m_port.clear(QSerialPort::Output);
    }
}

QByteArray QtSerialDevice::input() {
    m_arrivals.clear();
    if (!m_reader)
        return {};
    m_inputTaken = true;
    return m_reader->take(
        m_inputLen > 0 ? std::min<qsizetype>(m_inputLen, MostPerEvent) : MostPerEvent, &m_arrivals);
}

// QSerialPort's buffer, and then the driver's output queue: on a UART the
// queue may hold bytes for as long as the flow is held.
qint64 QtSerialDevice::bytesToWrite() const {
    if (!m_port.isOpen())
        return 0;
    return m_port.bytesToWrite() + std::max(0, outputQueued(m_port.handle()).value_or(0));
}

// Bytes leave the driver's queue without an event: it is read while it holds
// any. Whether bytes left since the last look.
bool QtSerialDevice::watchOutputQueue() {
    const qint64 unsent = bytesToWrite();
    if (m_port.isOpen() && unsent > m_port.bytesToWrite()) {
        if (!m_outputTimer.isActive())
            m_outputTimer.start();
    } else {
        m_outputTimer.stop();
    }
    return std::exchange(m_lastUnsent, unsent) != unsent;
}

// QSerialPort queues the bytes and writes them when the driver has room.
void QtSerialDevice::output(QByteArrayView data) {
    if (!m_port.isOpen())
        throw CommError(comm::PortNotOpen, QStringLiteral("The port is not open."));
    m_port.write(data.data(), data.size());
    m_queued += data.size();
    m_lastUnsent += data.size();
}

// Closes the port; what the driver has not taken is dropped.
void QtSerialDevice::close() {
    stopLineControl();
    // The reading thread stops before the port it reads closes.
    m_reader.reset();
    dropUnsentOutput();
    m_dropped += m_port.bytesToWrite();
    m_outputTimer.stop();
    m_lastUnsent = 0;
    m_port.close();
    m_port.clearError();
}

// A device that goes away shows as write errors, repeated for as long as the
// port stays open: close it at once and say so once.
void QtSerialDevice::onError(QSerialPort::SerialPortError error) {
    if (!m_port.isOpen() || m_applying || m_closing)
        return;
    if (error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
        error == QSerialPort::ResourceError)
        lose();
}

// The port went away: what could still be read is shown, then the port is
// closed and the loss told.
void QtSerialDevice::lose() {
    const QScopedValueRollback closing(m_closing, true);
    const QString device = m_device;
    const QString reason = lossReason();
    if (m_reader) {
        m_reader->finish();
        deliverAll();
    }
    close();
    emit portLost(device, reason);
}

// What ended the device, found now: a read of nothing after a hang-up leaves
// only a stale errno behind.
QString QtSerialDevice::lossReason() const {
    if (!QFileInfo::exists(m_device))
        return QStringLiteral("The device was removed.");
    const auto end = m_reader ? m_reader->ended() : std::nullopt;
    pollfd state{m_port.handle(), POLLOUT, 0};
    if ((end && end->hungUp) || (::poll(&state, 1, 0) == 1 && (state.revents & POLLHUP)))
        return QStringLiteral("The device hung up.");
    if (end && end->error)
        return QString::fromLocal8Bit(std::strerror(end->error));
    return m_port.errorString();
}
