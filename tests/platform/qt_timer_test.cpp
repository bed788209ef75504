#include "platform/qt_timer.h"

#include "support/wait.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

TEST(QtTimer, TicksEveryIntervalFromOneIntervalAfterEnabling) {
    QtTimer timer;
    EXPECT_FALSE(timer.enabled());
    EXPECT_EQ(timer.interval(), 1000);
    std::vector<qint64> ticks;
    QElapsedTimer clock;
    QObject::connect(&timer, &Timer::tick, [&] { ticks.push_back(clock.nsecsElapsed()); });
    timer.setInterval(30);
    clock.start();
    timer.setEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return ticks.size() >= 3; }));
    EXPECT_GE(ticks[0], 30'000'000);
    timer.setEnabled(false);
    const std::size_t seen = ticks.size();
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(ticks.size(), seen);
}

TEST(QtTimer, AnIntervalOfZeroNeverTicks) {
    QtTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &Timer::tick, [&] { ++ticks; });
    timer.setInterval(0);
    timer.setEnabled(true);
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(ticks, 0);
    timer.setInterval(70000);
    EXPECT_EQ(timer.interval(), 65535);
    timer.setInterval(-1);
    EXPECT_EQ(timer.interval(), 0);
}

} // namespace
