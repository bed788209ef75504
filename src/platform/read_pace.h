#pragma once

#include <QtGlobal>

#include <chrono>

// How long the reading thread rests after a read, so that bytes trickling in
// every millisecond are taken as one batch instead of waking the window each
// time, while the driver never fills: 4 ms after a read that followed a quiet
// spell, 8 ms while bytes stream (they were waiting at the end of the rest
// before), and never longer than the driver takes to fill with DriverFill at
// the rate the last read saw or, if faster, the rate over the last stretch of
// reads. A byte after a quiet spell is read at once.
class ReadPace {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr double RestMs = 4;
    static constexpr double StreamRestMs = 8;
    // A USB adapter's driver drops what it cannot hold; a pseudo-terminal
    // holds about 20 KB.
    static constexpr double DriverFill = 8 << 10;

    // The rest in milliseconds after `read` bytes (more than none) were read
    // at `now`; `streaming` when bytes waited at the end of the last rest.
    double restAfter(qsizetype read, Clock::time_point now, bool streaming);
    Clock::time_point lastRead() const { return m_lastRead; }

private:
    Clock::time_point m_lastRead = Clock::now() - std::chrono::hours(1);
    // The rate over the last stretch of at least StreamRestMs, in bytes a
    // millisecond: one read can look slow when the sender was held up for a
    // moment, and a rest on a flood would then hold it up in turn.
    Clock::time_point m_stretchFrom = m_lastRead;
    qsizetype m_stretchBytes = 0;
    double m_stretchRate = 0;
};
