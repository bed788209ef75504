// The serial component's line control: flow control, DTR, RTS, break, the
// modem lines and the error counts, on the open port's descriptor.
#include "platform/line_control.h"
#include "platform/line_watch.h"
#include "platform/qt_serial_device.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stop_token>
#include <thread>
#include <utility>

namespace {

QSerialPort::FlowControl toQtFlow(int handshaking) {
    switch (handshaking) {
    case comm::HandshakeXonXoff:
        return QSerialPort::SoftwareControl;
    case comm::HandshakeRtsCts:
        return QSerialPort::HardwareControl;
    default:
        return QSerialPort::NoFlowControl;
    }
}

QString flowName(int handshaking) {
    switch (handshaking) {
    case comm::HandshakeXonXoff:
        return QStringLiteral("XON/XOFF flow control");
    case comm::HandshakeRtsCts:
        return QStringLiteral("RTS/CTS flow control");
    default:
        return QStringLiteral("flow control off");
    }
}

// How often the lines are read where the driver cannot wait for them to
// change; and the error counts, which nothing can wait for, with the lines
// again in case a change came while the watch was starting.
constexpr int PollMs = 100;
constexpr int SlowReadMs = 500;
// The longest a close waits for output that still moves.
constexpr int CloseWaitMs = 500;

// The driver's counts wrap at 2^32; what came since the last read does not.
qint64 countedSince(qint64 now, qint64 before) {
    return static_cast<std::uint32_t>(now - before);
}

} // namespace

void QtSerialDevice::setHandshaking(int mode) {
    if (mode != comm::HandshakeNone && mode != comm::HandshakeXonXoff &&
        mode != comm::HandshakeRtsCts)
        throw CommError(
            comm::InvalidSettings,
            QStringLiteral("%1 is no flow control: 0 is none, 1 XON/XOFF, 2 RTS/CTS.").arg(mode));
    if (m_port.isOpen()) {
        // What goes wrong here is a refusal of the mode, not a lost device.
        const QScopedValueRollback applying(m_applying, true);
        const QString why = setFlow(mode);
        if (!why.isEmpty()) {
            setFlow(m_handshaking);
            m_port.clearError();
            throw CommError(
                comm::InvalidSettings,
                QStringLiteral("%1 does not accept %2: %3").arg(m_device, flowName(mode), why));
        }
    }
    const bool rtsFreed = m_handshaking == comm::HandshakeRtsCts && mode != m_handshaking;
    m_handshaking = mode;
    if (rtsFreed)
        putRts();
    refreshLines();
}

// The flow control on the port, kept by a closed one for its open; why it
// was refused, or nothing.
QString QtSerialDevice::setFlow(int mode) {
    if (!m_port.setFlowControl(toQtFlow(mode)))
        return m_port.errorString();
    // QSerialPort lets any byte restart output; a device that says XOFF and
    // goes on sending must still hold us.
    if (m_port.isOpen() && mode == comm::HandshakeXonXoff && !restartOnlyOnXon(m_port.handle()))
        return QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

void QtSerialDevice::setDTREnable(bool on) {
    m_dtr = on;
    if (!m_port.isOpen() || !m_offer.dtr)
        return;
    // A device that refuses the line does not offer it.
    m_offer.dtr = setModemOutput(m_port.handle(), ModemOutput::Dtr, on);
    refreshLines(!m_offer.dtr);
}

void QtSerialDevice::setRTSEnable(bool on) {
    m_rts = on;
    const bool offered = m_offer.rts;
    putRts();
    refreshLines(offered != m_offer.rts);
}

// RTS as wanted on the open port, unless the kernel drives it for RTS/CTS.
void QtSerialDevice::putRts() {
    if (m_port.isOpen() && m_offer.rts && m_handshaking != comm::HandshakeRtsCts)
        m_offer.rts = setModemOutput(m_port.handle(), ModemOutput::Rts, m_rts);
}

void QtSerialDevice::sendBreak(int milliseconds) {
    if (!m_port.isOpen() || !m_offer.lineBreak || m_breakOn)
        return;
    // The last break's thread is done.
    if (m_breakEnd.joinable())
        m_breakEnd.join();
    const int fd = m_port.handle();
    if (!setLineBreak(fd, true))
        return;
    m_breakOn = true;
    m_breakEnd = std::jthread([this, fd, milliseconds](const std::stop_token& stop) {
        std::mutex mutex;
        std::condition_variable_any never;
        std::unique_lock lock(mutex);
        never.wait_for(lock, stop, std::chrono::milliseconds(milliseconds), [] { return false; });
        setLineBreak(fd, false);
        m_breakOn = false;
        // A close that stopped the break tells of the port itself.
        if (!stop.stop_requested())
            QMetaObject::invokeMethod(this, &SerialDevice::lineChanged, Qt::QueuedConnection);
    });
    emit lineChanged();
}

// The thread puts the break off on its way out, before the port can close.
void QtSerialDevice::stopBreak() {
    if (m_breakEnd.joinable()) {
        m_breakEnd.request_stop();
        m_breakEnd.join();
    }
    m_breakOn = false;
}

// Right after an open: the flow control and the outputs as wanted, and what
// the device offers, found by asking its driver.
void QtSerialDevice::startLineControl() {
    const int fd = m_port.handle();
    if (m_handshaking == comm::HandshakeXonXoff && !restartOnlyOnXon(fd)) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        close();
        throw CommError(
            comm::InvalidSettings,
            QStringLiteral("%1 does not accept XON/XOFF flow control: %2").arg(m_device, why));
    }
    const auto lines = readModemLines(fd);
    m_offer.modemLines = lines.has_value();
    m_offer.dtr = setModemOutput(fd, ModemOutput::Dtr, m_dtr);
    // Under RTS/CTS the kernel drives RTS: the driver is asked to keep it as it is.
    m_offer.rts = m_handshaking != comm::HandshakeRtsCts
                      ? setModemOutput(fd, ModemOutput::Rts, m_rts)
                      : lines && setModemOutput(fd, ModemOutput::Rts, lines->rts);
    // A pseudo-terminal answers break requests, yet has no line to break.
    m_offer.lineBreak = m_offer.modemLines && setLineBreak(fd, false);
    const auto counts = readErrorCounts(fd);
    m_offer.errorCounts = counts.has_value();
    m_driverCounts = counts.value_or(LineErrors{});
    m_errors = {};
    takeLines();
    if (m_offer.modemLines)
        // Called on the watch's thread: the lines are read on the window's.
        m_watch = std::make_unique<LineWatch>(fd, [this] {
            QMetaObject::invokeMethod(this, &QtSerialDevice::linesNoticed, Qt::QueuedConnection);
        });
    if (m_offer.modemLines || m_offer.errorCounts)
        m_lineTimer.start(m_watch ? SlowReadMs : PollMs);
}

// Before the port closes: the watch's thread waits on its descriptor.
void QtSerialDevice::stopLineControl() {
    m_watch.reset();
    m_lineTimer.stop();
    takeErrorCounts();
    stopBreak();
    m_offer = {};
    m_lines = {};
}

void QtSerialDevice::linesNoticed() {
    if (!m_watch)
        return;
    m_watch->noticed();
    if (m_watch->failed()) {
        m_watch.reset();
        m_lineTimer.start(PollMs);
    }
    refreshLines();
}

// Reads the lines and the counts; tells when they, or what the device
// offers (`changed`), changed.
void QtSerialDevice::refreshLines(bool changed) {
    changed |= takeLines();
    changed |= takeErrorCounts();
    if (changed)
        emit lineChanged();
}

bool QtSerialDevice::takeLines() {
    if (!m_offer.modemLines)
        return false;
    // A device that went away is told by the reading thread.
    const auto lines = readModemLines(m_port.handle());
    return lines && std::exchange(m_lines, *lines) != *lines;
}

bool QtSerialDevice::takeErrorCounts() {
    if (!m_offer.errorCounts)
        return false;
    const auto counts = readErrorCounts(m_port.handle());
    if (!counts || *counts == m_driverCounts)
        return false;
    m_errors.framing += countedSince(counts->framing, m_driverCounts.framing);
    m_errors.parity += countedSince(counts->parity, m_driverCounts.parity);
    m_errors.overrun += countedSince(counts->overrun, m_driverCounts.overrun);
    m_errors.bufferOverrun += countedSince(counts->bufferOverrun, m_driverCounts.bufferOverrun);
    m_driverCounts = *counts;
    return true;
}

// The kernel's close would wait up to 30 s for the driver's queue to drain, a
// held flow keeping it from draining at all: what still moves goes out for at
// most CloseWaitMs, and the rest is dropped and not counted as sent.
void QtSerialDevice::dropUnsentOutput() {
    if (!m_port.isOpen())
        return;
    const int fd = m_port.handle();
    // Four characters on the line, and a USB adapter's latency.
    const auto stall =
        std::chrono::milliseconds(50 + 4 * 12 * 1000 / std::max(m_settings.baudRate, 1));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(CloseWaitMs);
    auto queued = outputQueued(fd);
    while (queued && *queued > 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            stall, deadline - std::chrono::steady_clock::now()));
        const auto left = outputQueued(fd);
        const bool held = left && *left >= *queued;
        queued = left;
        if (held)
            break;
    }
    if (queued && *queued > 0 && dropOutput(fd))
        m_dropped += *queued;
}
