#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Waits on a thread of its own for the modem lines of an open port to change,
// so that the window hears of a change at once without reading the lines
// over and over.
//
// Across the two threads, under m_mutex: m_told (a notice is on its way) and
// m_ended (the thread has left its loop); m_failed and m_stopping are atomic.
// The thread only waits in the driver and calls `told` (which must only post
// to the window's thread) when a line changed and no notice is on its way
// yet, and once when the driver cannot wait. The window's thread reads the
// lines itself. The descriptor stays the caller's, and open until the watch
// is destroyed.
class LineWatch {
public:
    LineWatch(int fd, std::function<void()> told);
    // Interrupts the wait and joins the thread.
    ~LineWatch();
    LineWatch(const LineWatch&) = delete;
    LineWatch& operator=(const LineWatch&) = delete;

    // The window's thread. A notice arrived: the next change is told again.
    void noticed();
    // The driver cannot wait for the lines (or no longer can): the thread has
    // stopped, and the lines must be read from time to time instead.
    bool failed() const { return m_failed; }

private:
    void run();
    void tell();

    const int m_fd;
    const std::function<void()> m_notify;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_failed{false};

    std::mutex m_mutex;
    std::condition_variable m_endedChanged;
    bool m_told = false;
    bool m_ended = false;

    std::thread m_thread;
};
