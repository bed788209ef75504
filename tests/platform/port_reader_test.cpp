#include "platform/port_reader.h"
#include "platform/read_pace.h"

#include "support/pty_pair.h"
#include "support/wait.h"

#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// With no descriptor to spare, the reader's eventfd cannot be made, and a
// poll of two descriptors is refused: reading ends with the system's
// reason, told as a device that went away is, rather than silently.
TEST(PortReader, AFailedCallOfItsOwnEndsReadingWithTheReason) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' own checks need descriptors this test takes away";
#endif
    const struct Case {
        const char* name;
        bool fromTheStart; // no descriptor to spare before the reader starts
        int error;
    } cases[] = {
        {"no eventfd", true, EMFILE},
        {"poll refused", false, EINVAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PtyPair device;
        const int fd = ::open(QFile::encodeName(device.portPath()).constData(),
                              O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        rlimit before{};
        ::getrlimit(RLIMIT_NOFILE, &before);
        rlimit none = before;
        none.rlim_cur = 1;
        std::atomic<int> told{0};
        if (c.fromTheStart)
            ::setrlimit(RLIMIT_NOFILE, &none);
        PortReader reader(fd, [&] { ++told; });
        if (!c.fromTheStart) {
            ::setrlimit(RLIMIT_NOFILE, &none);
            device.write("x");
        }
        const bool ended = waitOffTheLoop([&] { return reader.ended().has_value(); });
        ::setrlimit(RLIMIT_NOFILE, &before);
        ASSERT_TRUE(ended);
        EXPECT_EQ(reader.ended()->error, c.error);
        EXPECT_GE(told, 1);
    }
}

// The rest after a run of reads, each some microseconds after the one before.
TEST(ReadPace, RestsWhileBytesTrickleAndNeverOnAFlood) {
    using Reads = std::vector<std::pair<int, qsizetype>>;
    const auto flood = [](std::pair<int, qsizetype> last) {
        Reads reads(200, {50, 10240});
        reads.push_back(last);
        return reads;
    };
    const struct Case {
        const char* name;
        Reads reads;
        bool streaming;
        double restMs;
    } cases[] = {
        {"a packet after a quiet spell", {{1'000'000, 62}}, false, 4},
        {"1 MB/s streaming", Reads(10, {8000, 8000}), true, 8},
        {"a read that found the driver full", {{1'000'000, 62}, {4000, 16384}}, true, 0},
        // 10 KB in 1.6 ms alone would ask for 1.3 ms: the sender was held up,
        // not slow, and a rest would hold it up in turn.
        {"a flood with one slow read", flood({1600, 10240}), false, 0},
        {"a trickle after a flood", flood({1'000'000, 62}), false, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReadPace pace;
        auto now = ReadPace::Clock::now();
        double rest = -1;
        for (const auto& [afterUs, bytes] : c.reads)
            rest = pace.restAfter(bytes, now += std::chrono::microseconds(afterUs), c.streaming);
        EXPECT_NEAR(rest, c.restMs, 0.3);
    }
}

} // namespace
