#pragma once

#include <atomic>
#include <string>
#include <thread>

// Plays a device on a line without flow control: writes a pattern round and
// round into `fd` (non-blocking) at a fixed rate in 1 ms steps, on a thread of
// its own, and never waits for the line. What the line does not take at once
// is dropped and counted, as a UART's receiver would lose it. Time in which
// the thread itself did not get to run is skipped rather than made up in a
// burst, so that every drop counted is the line's.
class LossyWriter {
public:
    LossyWriter(int fd, std::string pattern, long long bytesPerSecond);
    ~LossyWriter();
    LossyWriter(const LossyWriter&) = delete;
    LossyWriter& operator=(const LossyWriter&) = delete;

    void stop();
    // What the line took, in order, and what it refused.
    long long written() const { return m_written; }
    long long dropped() const { return m_dropped; }
    // The bytes the line took, given how many: the pattern from the start,
    // less what was dropped; right whenever nothing was dropped.
    std::string expected(long long count) const;

private:
    void run(int fd, long long bytesPerSecond);

    const std::string m_pattern;
    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_written{0}, m_dropped{0};
    std::thread m_thread; // last: it starts once the counters exist
};
