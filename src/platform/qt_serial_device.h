#pragma once

#include "platform/line_settings.h"
#include "platform/port_map.h"
#include "platform/serial_device.h"

#include <QSerialPort>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

class LineWatch;
class PortReader;

// The serial component on QSerialPort, which opens, locks and configures the
// port and writes to it. A PortReader reads it on a thread of its own, so
// that no byte is lost while the window is busy; the window gets a receive
// event for what was read, at most every few milliseconds while bytes
// trickle in, at once after a quiet spell. A LineWatch waits for the modem
// lines to change on another thread where the driver can; where it cannot,
// the lines are read ten times a second.
class QtSerialDevice final : public SerialDevice {
    Q_OBJECT

public:
    explicit QtSerialDevice(PortMap ports, QObject* parent = nullptr);
    ~QtSerialDevice() override;

    void setCommPort(std::int16_t port) override;
    std::int16_t commPort() const override { return m_commPort; }
    void setSettings(const QString& settings) override;
    QString settings() const override { return formatLineSettings(m_settings); }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return m_port.isOpen(); }
    void setInBufferSize(int bytes) override { m_inBufferSize = bytes; }
    void setOutBufferSize(int bytes) override { m_outBufferSize = bytes; }
    void setInputMode(int mode) override { m_inputMode = mode; }
    int inputMode() const override { return m_inputMode; }
    void setInputLen(int bytes) override { m_inputLen = bytes; }
    void setInBufferCount(int count) override;
    void setOutBufferCount(int count) override;
    void setSThreshold(int bytes) override { m_sThreshold = bytes; }
    void setRThreshold(int bytes) override;
    QByteArray input() override;
    QList<Arrival> arrivals() const override { return m_arrivals; }
    void setFrameGap(int milliseconds) override;
    void output(QByteArrayView data) override;
    qint64 bytesToWrite() const override;
    qint64 bytesAccepted() const override { return m_queued - m_dropped - bytesToWrite(); }
    std::int16_t commEvent() const override { return m_commEvent; }
    QString describePort(std::int16_t port) const override { return m_ports.describe(port); }
    void setHandshaking(int mode) override;
    int handshaking() const override { return m_handshaking; }
    void setDTREnable(bool on) override;
    bool dtrEnable() const override { return m_dtr; }
    void setRTSEnable(bool on) override;
    bool rtsEnable() const override { return m_rts; }
    void sendBreak(int milliseconds) override;
    bool breakOn() const override { return m_breakOn; }
    LineOffer lineOffer() const override { return m_offer; }
    ModemLines modemLines() const override { return m_lines; }
    LineErrors lineErrors() const override { return m_errors; }
    void resetLineErrors() override { m_errors = {}; }
    // Bytes read from the port that no receive event has handed over yet.
    qsizetype bytesWaiting() const;

private:
    void open();
    bool configure(const LineSettings& settings);
    void apply(const LineSettings& settings);
    int openForReading(const QString& device, const QString& kernelPath);
    void onError(QSerialPort::SerialPortError error);
    void deliver();
    void deliverAll();
    bool deliverOne();
    void lose();
    QString lossReason() const;
    void close();
    QString setFlow(int mode);
    void startLineControl();
    void stopLineControl();
    void putRts();
    void linesNoticed();
    void refreshLines(bool changed = false);
    bool takeLines();
    bool takeErrorCounts();
    void dropUnsentOutput();
    bool watchOutputQueue();
    void stopBreak();

    PortMap m_ports;
    QSerialPort m_port;
    // The device that the port number stands for since it was last set; empty
    // when there was none then.
    QString m_device;
    // Bytes ever queued for the line, and those a close dropped unsent.
    qint64 m_queued = 0;
    qint64 m_dropped = 0;
    // Errors while these run are refusals or a closing, not a lost device.
    bool m_applying = false;
    bool m_closing = false;
    std::int16_t m_commPort = 1;
    LineSettings m_settings;
    // The component's contract has the buffer sizes and the transmit
    // threshold, so they are kept; they are not limits: no byte is ever
    // dropped for them, and nothing waits on the transmit threshold.
    int m_inBufferSize = 1024;
    int m_outBufferSize = 512;
    int m_sThreshold = 0;
    int m_inputMode = comm::InputModeText;
    int m_inputLen = 0;
    int m_rThreshold = 0;
    std::int16_t m_commEvent = 0;
    std::unique_ptr<PortReader> m_reader;
    // When the bytes the last input() gave came.
    QList<Arrival> m_arrivals;
    int m_frameGap = 0;
    // The receive handler took bytes during the current receive event.
    bool m_inputTaken = false;
    // Line control: what is wanted, what the open port's device offers, and
    // the lines as last read; all but the wanted states are reset by a close.
    int m_handshaking = comm::HandshakeNone;
    bool m_dtr = true, m_rts = true;
    // Ends a break on its own thread, at its time whatever the window does;
    // that thread writes m_breakOn too.
    std::atomic<bool> m_breakOn{false};
    std::jthread m_breakEnd;
    LineOffer m_offer;
    ModemLines m_lines;
    // The errors counted since the open or the last reset, kept after a close
    // until the next open, and the driver's own counts as last read.
    LineErrors m_errors, m_driverCounts;
    std::unique_ptr<LineWatch> m_watch;
    // Reads the lines where the driver cannot wait for them, and the error
    // counts, which no one can wait for.
    QTimer m_lineTimer;
    // Watches the driver's output queue while it holds bytes, which leave it
    // without an event.
    QTimer m_outputTimer;
    qint64 m_lastUnsent = 0;
};
