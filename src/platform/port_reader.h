#pragma once

#include "platform/serial_device.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Reads a serial port on a thread of its own as bytes come, so that the
// driver's small buffer never overflows while the window is busy; the
// window's thread takes what was read, with the time of each read.
//
// Across the two threads, under m_mutex: m_incoming and m_incomingArrivals
// (read, not yet taken, and when), m_end (why reading stopped by itself) and
// m_told (a notice is on its way). m_frameGap is atomic. The reading thread
// owns the descriptor while it runs, touches nothing else, and calls `told`
// (which must only post to the window's thread) when bytes or a silence wait
// and no notice is on its way yet, and when reading stops by itself. So at
// most one notice waits in the window's queue, however fast bytes come.
class PortReader {
public:
    // Reading stops while this much waits untaken, so that a flood faster
    // than the window waits in the driver and the device rather than in
    // memory; at 1 MB/s it is 4 seconds of a busy window, at 921600 baud 45.
    static constexpr qsizetype HoldLimit = 4 << 20;

    // Why reading stopped by itself.
    struct End {
        bool hungUp = false; // the device hung up or went away
        int error = 0;       // errno of a failed call, else 0
    };

    // Takes over `fd` (non-blocking, readable) and starts reading it.
    PortReader(int fd, std::function<void()> told);
    // Stops reading and closes the descriptor; what was not taken is dropped.
    ~PortReader();
    PortReader(const PortReader&) = delete;
    PortReader& operator=(const PortReader&) = delete;

    // A silence of this many milliseconds ends a frame; 0: frames are not cut.
    void setFrameGap(int milliseconds);

    // The window's thread. A notice arrived: the next bytes are told again.
    void noticed();
    // Tells the window again, unless a notice is on its way.
    void remind();
    // Up to `most` bytes, oldest first, and in *arrivals when they came,
    // with a silence that follows them.
    QByteArray take(qsizetype most, QList<Arrival>* arrivals);
    // Bytes read and not yet taken.
    qsizetype waiting() const;
    // Whether bytes or a silence wait to be taken.
    bool pending() const;
    // Drops what was read and not taken.
    void discard();
    // Stops the thread, then reads what the driver holds now; bytes that keep
    // coming meanwhile are left to the close.
    void finish();
    std::optional<End> ended() const;

private:
    void run();
    void stop();
    void fail(int error);
    // Reads until the driver holds nothing more, `most` bytes were read, or as
    // much waits as may; the number of bytes read.
    qsizetype readAll(End* end, qsizetype most);
    bool hand(const char* bytes, qsizetype size, qint64 at, bool* full);
    void handSilence(qint64 at);
    bool rest(std::int64_t microseconds);

    const int m_fd;
    const int m_wake; // an eventfd: stop, room again, or a new frame gap
    const int m_wakeError;
    const std::function<void()> m_notify;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_frameGap{0};

    mutable std::mutex m_mutex;
    QByteArray m_incoming;
    std::vector<Arrival> m_incomingArrivals;
    bool m_told = false;
    std::optional<End> m_end;

    // The window's thread only: what it swapped out of the incoming buffers,
    // how far it has taken the bytes, the arrival they are in, and how much
    // of that arrival.
    QByteArray m_taken;
    std::vector<Arrival> m_takenArrivals;
    qsizetype m_takenAt = 0;
    std::size_t m_arrival = 0;
    qsizetype m_arrivalTaken = 0;

    std::thread m_thread;
};
