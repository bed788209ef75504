#pragma once

#include "platform/arrival.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <stdexcept>

// A refusal by the serial component: a number that handlers can tell apart and
// the system's reason in words.
class CommError : public std::runtime_error {
public:
    CommError(int number, const QString& reason);
    int number() const { return m_number; }
    QString reason() const { return QString::fromUtf8(what()); }

private:
    int m_number;
};

namespace comm {
// Error numbers.
inline constexpr int NoSuchDevice = 8002;
inline constexpr int PermissionDenied = 8003;
// The port is held by another program (or is already open here).
inline constexpr int PortAlreadyOpen = 8005;
inline constexpr int PortNotOpen = 8006;
inline constexpr int InvalidSettings = 8007;
inline constexpr int DeviceFailed = 8008;

// InputMode values.
inline constexpr int InputModeText = 0;
inline constexpr int InputModeBinary = 1;

// CommEvent value of a receive event.
inline constexpr std::int16_t EvReceive = 2;

// Handshaking values: how the line's flow is controlled.
inline constexpr int HandshakeNone = 0;
inline constexpr int HandshakeXonXoff = 1;
inline constexpr int HandshakeRtsCts = 2;
} // namespace comm

// What the open port's device offers of line control; nothing while closed.
// A pseudo-terminal offers none of it; some USB adapters lack some.
struct LineOffer {
    bool modemLines = false; // CTS, DSR, DCD and RI can be read
    bool dtr = false;
    bool rts = false;
    bool lineBreak = false;
    bool errorCounts = false;
    bool operator==(const LineOffer&) const = default;
};

// The modem lines as last read: the inputs, and the outputs as they are.
struct ModemLines {
    bool cts = false, dsr = false, dcd = false, ri = false;
    bool dtr = false, rts = false;
    bool operator==(const ModemLines&) const = default;
};

// Errors the driver counted on the line since the port opened, or since they
// were last reset.
struct LineErrors {
    qint64 framing = 0, parity = 0, overrun = 0, bufferOverrun = 0;
    bool operator==(const LineErrors&) const = default;
};

// The serial-port component `MSComm1` as the window uses it. Writes that the
// component cannot carry out throw CommError; reads never throw.
class SerialDevice : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Port number 1 to 15 that the next open uses; written only while closed.
    virtual void setCommPort(std::int16_t port) = 0;
    virtual std::int16_t commPort() const = 0;

    // Line settings such as "9600,N,8,1"; accepted open or closed, refused
    // whole when any field cannot be used.
    virtual void setSettings(const QString& settings) = 0;
    virtual QString settings() const = 0;

    // Writing true opens the port that commPort names; reading gives the
    // real state of the port.
    virtual void setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;

    virtual void setInBufferSize(int bytes) = 0;
    virtual void setOutBufferSize(int bytes) = 0;
    virtual void setInputMode(int mode) = 0;
    virtual int inputMode() const = 0;
    // 0 lets input() take everything that waits.
    virtual void setInputLen(int bytes) = 0;
    // Writing 0 empties the receive or the transmit buffer.
    virtual void setInBufferCount(int count) = 0;
    virtual void setOutBufferCount(int count) = 0;
    virtual void setSThreshold(int bytes) = 0;
    // 1 or more: a receive event once bytes wait, at once after a quiet spell,
    // at most every few milliseconds while they stream; 0: no receive events.
    virtual void setRThreshold(int bytes) = 0;

    // The received bytes that wait, as they came off the line.
    virtual QByteArray input() = 0;
    // When the bytes the last input() gave came, oldest first; their sizes
    // add up to its length. A silence right after them comes with them.
    virtual QList<Arrival> arrivals() const = 0;
    // A silence of at least this many milliseconds on the line is told as an
    // arrival of its own, with a receive event; 0: never. Measured where the
    // port is read, from the times of its reads, and kept for every open.
    virtual void setFrameGap(int milliseconds) = 0;
    // Queues bytes for the line; the system's driver takes them as it can.
    virtual void output(QByteArrayView data) = 0;
    // Bytes queued by output() that have not left for the line yet: those
    // the driver has not taken, and those it holds in its output queue.
    virtual qint64 bytesToWrite() const = 0;
    // All bytes that left for the line, in the order they were queued, since
    // the component was made; bytes dropped unsent by a close never count.
    virtual qint64 bytesAccepted() const = 0;
    virtual std::int16_t commEvent() const = 0;

    // The device behind a port number and what the system says of it, for
    // showing to the user; empty when the number names no device.
    virtual QString describePort(std::int16_t port) const = 0;

    // Flow control, one of comm::Handshake*: applied at once to the open
    // port and kept for every open; refused whole when the port refuses it.
    virtual void setHandshaking(int mode) = 0;
    virtual int handshaking() const = 0;
    // The state put on DTR and RTS at once on the open port and right after
    // every open; a device that does not offer a line keeps it for the next.
    virtual void setDTREnable(bool on) = 0;
    virtual bool dtrEnable() const = 0;
    virtual void setRTSEnable(bool on) = 0;
    virtual bool rtsEnable() const = 0;
    // Holds the open line in break for this long, timed where the window's
    // business cannot stretch it. A break under way, or a closed port, takes
    // no other.
    virtual void sendBreak(int milliseconds) = 0;
    virtual bool breakOn() const = 0;
    virtual LineOffer lineOffer() const = 0;
    virtual ModemLines modemLines() const = 0;
    virtual LineErrors lineErrors() const = 0;
    // The error counts start again from 0.
    virtual void resetLineErrors() = 0;

signals:
    void onComm();
    // A modem line or an error count of the open port changed, or a break
    // began or ended.
    void lineChanged();
    // Bytes that output() queued left for the line.
    void outputTaken();
    // The open port went away (adapter unplugged, I/O error) and is closed now.
    void portLost(const QString& device, const QString& reason);
};
