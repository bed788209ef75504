#include "platform/port_reader.h"

#include "support/pty_pair.h"
#include "support/wait.h"

#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

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

} // namespace
