#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// A file that every received byte is appended to, raw, as it came off the
// line. A thread of its own writes it, so that a file that cannot keep up (a
// FIFO nobody reads, a stalled disk) never holds up the window: bytes reach
// the file within a second; a write that fails, or more than MostWaiting
// bytes waiting, stops the capture and says why once.
//
// Across the two threads, under m_mutex: m_waiting (handed over, not yet
// taken by the writer), m_since (when the oldest of them came), m_writing
// (how much the writer holds), m_flushNow, m_quit and m_abandon. The writer
// tells a failure through a queued call; it touches nothing else.
class CaptureFile : public QObject {
    Q_OBJECT

public:
    // More than this waiting to be written stops the capture: at 1 MB/s a
    // minute of a file that takes nothing.
    static constexpr qsizetype MostWaiting = 64 << 20;

    // Opens (creates, or appends to) the file; nothing and the reason in *why
    // when it cannot be written. A FIFO or a device is opened without waiting
    // for a reader: a FIFO that nothing reads from is refused.
    static std::unique_ptr<CaptureFile> open(const QString& path, QString* why);
    // What was not written by now is dropped: finish() writes it.
    ~CaptureFile() override;
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    QString path() const { return m_path; }
    bool capturing() const { return m_capturing; }

    // Hands bytes to the writer; never waits.
    void write(QByteArrayView bytes);
    // Has what waits written now; never waits.
    void flush();
    // Waits at most `milliseconds` for everything handed over to be written,
    // then stops the writer. Whether all of it was; what was not stops the
    // capture, with the reason.
    bool finish(int milliseconds);

signals:
    // The capture stopped for good.
    void stopped(const QString& reason);

private:
    CaptureFile(const QString& path, int fd);
    void run();
    // 0 once written, else the errno that stopped it (ECANCELED: abandoned).
    int writeAll(const QByteArray& bytes);
    void stop(const QString& reason);
    void endWriter(bool abandon);

    const QString m_path;
    const int m_fd;
    // Wakes the writer from a wait for room in the file.
    const int m_wake;
    // The window's thread only.
    bool m_capturing = true;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    QByteArray m_waiting;
    std::chrono::steady_clock::time_point m_since;
    qsizetype m_writing = 0;
    // How much of what it holds the writer has written; written by it alone.
    std::atomic<qsizetype> m_written{0};
    bool m_flushNow = false;
    bool m_quit = false;
    bool m_abandon = false;

    std::thread m_writer;
};
