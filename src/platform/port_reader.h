#pragma once

#include <QByteArray>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Reads a serial port on a thread of its own as bytes come, so that the
// driver's small buffer never overflows while the window is busy; the
// window's thread takes what was read.
//
// Across the two threads, under m_mutex: m_incoming (read, not yet taken),
// m_end (why reading stopped by itself) and m_told (a notice is on its way).
// The reading thread owns the descriptor while it runs, touches nothing else,
// and calls `told` (which must only post to the window's thread) when bytes
// wait and no notice is on its way yet, and when reading stops by itself. So
// at most one notice waits in the window's queue, however fast bytes come.
class PortReader {
public:
    // Why reading stopped by itself.
    struct End {
        bool hungUp = false; // the device hung up or went away
        int error = 0;       // errno of a failed read, else 0
    };

    // Takes over `fd` (non-blocking, readable) and starts reading it.
    PortReader(int fd, std::function<void()> told);
    // Stops reading and closes the descriptor; what was not taken is dropped.
    ~PortReader();
    PortReader(const PortReader&) = delete;
    PortReader& operator=(const PortReader&) = delete;

    // The window's thread. A notice arrived: the next bytes are told again.
    void noticed();
    // Tells the window again, unless a notice is on its way.
    void remind();
    // Up to `most` bytes, oldest first.
    QByteArray take(qsizetype most);
    // Bytes read and not yet taken.
    qsizetype waiting() const;
    // Drops what was read and not taken.
    void discard();
    // Stops the thread, then reads what the driver still holds.
    void finish();
    std::optional<End> ended() const;

private:
    void run();
    void stop();
    // Reads until the driver holds nothing more, or as much waits as may;
    // the number of bytes read. Without windowBusy, to the end whatever waits.
    qsizetype readAll(End* end, bool* windowBusy);
    bool hand(const char* bytes, qsizetype size, bool* full);
    bool rest(int milliseconds);

    const int m_fd;
    const int m_wake; // an eventfd: stop, or room again after the window took
    const std::function<void()> m_notify;
    std::atomic<bool> m_stopping{false};

    mutable std::mutex m_mutex;
    QByteArray m_incoming;
    bool m_told = false;
    std::optional<End> m_end;

    // The window's thread only: what it swapped out of m_incoming, and how
    // far it has taken from it.
    QByteArray m_taken;
    qsizetype m_takenAt = 0;

    std::thread m_thread;
};
