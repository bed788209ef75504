#include "platform/read_pace.h"

#include <algorithm>
#include <utility>

namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;

} // namespace

double ReadPace::restAfter(qsizetype read, Clock::time_point now, bool streaming) {
    const auto previous = std::exchange(m_lastRead, now);
    m_stretchBytes += read;
    if (const double stretch = Milliseconds(now - m_stretchFrom).count(); stretch >= StreamRestMs) {
        m_stretchRate = double(m_stretchBytes) / stretch;
        m_stretchFrom = now;
        m_stretchBytes = 0;
    }
    // Twice what a rest may let wait: bytes come faster than a rest saves.
    if (read >= 2 * DriverFill)
        return 0;
    // The bytes came since the last read, or within the longest rest.
    const double span = std::clamp(Milliseconds(now - previous).count(), 0.1, StreamRestMs);
    const double rate = std::max(double(read) / span, m_stretchRate);
    return std::min(streaming ? StreamRestMs : RestMs, DriverFill / rate);
}
