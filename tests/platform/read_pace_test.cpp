#include "platform/read_pace.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using std::chrono::microseconds;

struct Read {
    int afterUs; // since the read before
    qsizetype bytes;
};

// Each case is a run of reads, and the rest wanted after the last of them.
TEST(ReadPace, RestsWhileBytesTrickleAndNeverOnAFlood) {
    const std::vector<Read> oneMegabyteASecond(10, {8000, 8000});
    std::vector<Read> floodWithAStall(200, {50, 10240});
    floodWithAStall.push_back({1600, 10240});
    std::vector<Read> floodThenQuiet(200, {50, 10240});
    floodThenQuiet.push_back({1'000'000, 62});
    const struct Case {
        const char* name;
        std::vector<Read> reads;
        bool streaming;
        double restMs;
    } cases[] = {
        {"a packet after a quiet spell", {{1'000'000, 62}}, false, 4},
        {"1 MB/s streaming", oneMegabyteASecond, true, 8},
        {"a read that found the driver full", {{1'000'000, 62}, {4000, 16384}}, true, 0},
        // 10 KB in 1.6 ms alone would ask for 1.3 ms: the sender was held up,
        // not slow, and a rest would fill the driver and hold it up in turn.
        {"a flood with one slow read", floodWithAStall, false, 0},
        {"a trickle after a flood", floodThenQuiet, false, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReadPace pace;
        auto now = ReadPace::Clock::now();
        double rest = -1;
        for (const Read& read : c.reads) {
            now += microseconds(read.afterUs);
            rest = pace.restAfter(read.bytes, now, c.streaming);
        }
        EXPECT_NEAR(rest, c.restMs, 0.3);
    }
}

} // namespace
