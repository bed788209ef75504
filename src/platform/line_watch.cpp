#include "platform/line_watch.h"

#include "platform/line_control.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <pthread.h>
#include <utility>

namespace {

// SIGURG wakes the waiting thread: no one here uses out-of-band data, and a
// stray one is ignored by default, where a real-time signal would end a
// process that has no handler for it.
constexpr int WakeSignal = SIGURG;

void onWake(int) {}

// Without SA_RESTART, so that the signal ends the driver's wait with EINTR.
void installWakeHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = onWake;
        sigemptyset(&action.sa_mask);
        ::sigaction(WakeSignal, &action, nullptr);
    });
}

} // namespace

LineWatch::LineWatch(int fd, std::function<void()> told)
    : m_fd(fd)
    , m_notify(std::move(told)) {
    installWakeHandler();
    m_thread = std::thread([this] { run(); });
}

// A signal sent just before the thread enters the driver's wait is missed
// there, so it is sent again until the thread has left.
LineWatch::~LineWatch() {
    m_stopping = true;
    {
        std::unique_lock lock(m_mutex);
        while (!m_ended) {
            ::pthread_kill(m_thread.native_handle(), WakeSignal);
            m_endedChanged.wait_for(lock, std::chrono::milliseconds(1));
        }
    }
    m_thread.join();
}

void LineWatch::run() {
    // The thread inherits its creator's blocked signals.
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, WakeSignal);
    ::pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);
    while (!m_stopping) {
        if (waitForLineChange(m_fd)) {
            tell();
            continue;
        }
        if (errno == EINTR)
            continue;
        m_failed = true;
        tell();
        break;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_ended = true;
    }
    m_endedChanged.notify_all();
}

void LineWatch::tell() {
    bool tell = false;
    {
        const std::lock_guard lock(m_mutex);
        tell = !std::exchange(m_told, true);
    }
    if (tell)
        m_notify();
}

void LineWatch::noticed() {
    const std::lock_guard lock(m_mutex);
    m_told = false;
}
