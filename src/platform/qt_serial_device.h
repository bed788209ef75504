#pragma once

#include "platform/line_settings.h"
#include "platform/port_map.h"
#include "platform/serial_device.h"

#include <QSerialPort>

// The serial component on QSerialPort.
class QtSerialDevice final : public SerialDevice {
    Q_OBJECT

public:
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
    int m_inBufferSize = 1024;
    int m_outBufferSize = 512;
    int m_inputMode = comm::InputModeText;
    int m_inputLen = 0;
    int m_sThreshold = 0;
    int m_rThreshold = 0;
    std::int16_t m_commEvent = 0;
};
