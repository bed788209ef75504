#pragma once

#include "platform/line_settings.h"
#include "platform/port_map.h"
#include "platform/serial_device.h"

#include <QPointer>
#include <QSerialPort>
#include <QTimer>

class QSocketNotifier;

// The serial component on QSerialPort. While bytes trickle in, the port is
// read at most once per BatchMs: after a small read that leaves nothing
// waiting, the port is not watched for that long, so that what comes
// meanwhile is taken as one batch. When bytes were waiting at the end of the
// rest too, they stream, and the next rest is StreamBatchMs. A byte after a
// quiet spell is read at once.
class QtSerialDevice final : public SerialDevice {
    Q_OBJECT

public:
    static constexpr int BatchMs = 4;
    static constexpr int StreamBatchMs = 8;

    explicit QtSerialDevice(PortMap ports, QObject* parent = nullptr);

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
    void setRThreshold(int bytes) override { m_rThreshold = bytes; }
    QByteArray input() override;
    void output(QByteArrayView data) override;
    qint64 bytesToWrite() const override { return m_port.isOpen() ? m_port.bytesToWrite() : 0; }
    qint64 bytesAccepted() const override { return m_queued - m_dropped - bytesToWrite(); }
    std::int16_t commEvent() const override { return m_commEvent; }
    QString describePort(std::int16_t port) const override { return m_ports.describe(port); }

private:
    void open();
    bool configure(const LineSettings& settings);
    void apply(const LineSettings& settings);
    void onError(QSerialPort::SerialPortError error);
    QString lossReason() const;
    void close();
    void received();
    void pauseReading();
    void resumeReading();
    int bytesInDriver() const;

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
    // QSerialPort's watch on the port for bytes to read, while it is paused.
    QPointer<QSocketNotifier> m_paused;
    QTimer m_pause;
    bool m_streaming = false;
};
