#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

// A file that every received byte is appended to, raw, as it came off the
// line. Bytes reach the file within a second; a write that fails stops the
// capture and says why once, in the system's words.
class CaptureFile : public QObject {
    Q_OBJECT

public:
    // Opens (creates, or appends to) the file; nothing and the reason in *why
    // when it cannot be written. A FIFO or a device is opened without waiting
    // for a reader: a FIFO that nothing reads from is refused.
    static std::unique_ptr<CaptureFile> open(const QString& path, QString* why);
    ~CaptureFile() override;
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    QString path() const { return m_path; }
    bool capturing() const { return m_fd >= 0; }

    void write(QByteArrayView bytes);
    // Hands what waits to the system now.
    void flush();

signals:
    // The capture stopped for good.
    void stopped(const QString& reason);

private:
    CaptureFile(const QString& path, int fd);

    QString m_path;
    int m_fd;
    QByteArray m_waiting;
    QTimer m_flushTimer;
};
