#include "receive/stamp_clock.h"

#include <chrono>
#include <cstdlib>

qint64 StampClock::at(qint64 systemMs, qint64 steadyMs) {
    if (!m_offset || std::llabs(systemMs - (steadyMs + *m_offset)) > MaxDriftMs)
        m_offset = systemMs - steadyMs;
    return steadyMs + *m_offset;
}

QDateTime stampTime() {
    thread_local StampClock clock;
    const auto steady = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(
        clock.at(QDateTime::currentMSecsSinceEpoch(), qint64(steady.count())));
}
