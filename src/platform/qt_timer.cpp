#include "platform/qt_timer.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <sys/timerfd.h>
#include <unistd.h>

QtTimer::QtTimer(QObject* parent)
    : Timer(parent) {
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0)
        throw std::runtime_error("no interval timer");
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        // Intervals that passed while the window was busy are not made up for.
        std::uint64_t expirations = 0;
        if (::read(m_fd, &expirations, sizeof expirations) == sizeof expirations && m_enabled)
            emit tick();
    });
}

QtTimer::~QtTimer() {
    delete m_notifier;
    ::close(m_fd);
}

void QtTimer::setInterval(int milliseconds) {
    m_interval = std::clamp(milliseconds, 0, 65535);
    restart();
}

void QtTimer::setEnabled(bool enabled) {
    m_enabled = enabled;
    restart();
}

// Any change starts the count of a full interval afresh.
void QtTimer::restart() {
    itimerspec period{};
    if (m_enabled && m_interval > 0) {
        period.it_interval.tv_sec = m_interval / 1000;
        period.it_interval.tv_nsec = (m_interval % 1000) * 1000000L;
        period.it_value = period.it_interval;
    }
    ::timerfd_settime(m_fd, 0, &period, nullptr);
}
