#include "platform/quit_signals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace {

// The first signal is only told; a second ends the program at once, and so
// does the first when the program has not ended by its deadline.
TEST(QuitSignalsDeathTest, ASecondSignalOrTheDeadlineEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const QuitSignals quit;
            std::raise(SIGTERM);
            std::raise(SIGTERM);
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
    EXPECT_EXIT(
        {
            const QuitSignals quit(100);
            std::raise(SIGTERM);
            for (;;)
                ::pause();
        },
        testing::ExitedWithCode(1), "not ended in time");
}

} // namespace
