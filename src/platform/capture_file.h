#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

// A file that every received byte is appended to, raw, as it came off the
// line. Bytes reach the file within a second; a write that fails stops the
// capture and says why once.
class CaptureFile : public QObject {
    Q_OBJECT

public:
    // Opens (creates, or appends to) the file; nothing and the reason in *why
    // when it cannot be written.
    static std::unique_ptr<CaptureFile> open(const QString& path, QString* why);

    QString path() const { return m_file.fileName(); }
    bool capturing() const { return m_file.isOpen(); }

    void write(QByteArrayView bytes);
    // Hands what waits to the system now.
    void flush();

signals:
    // The capture stopped for good.
    void stopped(const QString& reason);

private:
    explicit CaptureFile(const QString& path);

    QFile m_file;
    QByteArray m_waiting;
    QTimer m_flushTimer;
};
