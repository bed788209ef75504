#include "receive/date_stamp.h"

#include "receive/stamp_clock.h"
#include "support/printers.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// With milliseconds, they follow the seconds; the date and the rest stay.
TEST(DateStamp, ShortDateThenTheTimeWithSecondsAndNoZone) {
    const QDateTime at(QDate(2026, 12, 7), QTime(4, 5, 9, 37));
    const std::tuple<const char*, const char*, const char*> locales[] = {
        {"en_US", "12/7/26 4:05:09 AM", "12/7/26 4:05:09.037 AM"},
        {"en_GB", "07/12/2026 04:05:09", "07/12/2026 04:05:09.037"},
        {"zh_CN", "2026/12/7 04:05:09", "2026/12/7 04:05:09.037"},
        {"de_DE", "07.12.26 04:05:09", "07.12.26 04:05:09.037"},
        {"fa_IR", "\u06F2\u06F0\u06F2\u06F6/\u06F1\u06F2/\u06F7 \u06F4:\u06F0\u06F5:\u06F0\u06F9",
         "\u06F2\u06F0\u06F2\u06F6/\u06F1\u06F2/\u06F7 "
         "\u06F4:\u06F0\u06F5:\u06F0\u06F9.\u06F0\u06F3\u06F7"},
    };
    for (const auto& [name, seconds, milliseconds] : locales) {
        const QLocale locale(QString::fromLatin1(name));
        EXPECT_EQ(dateTimeStamp(at, locale), QString::fromUtf8(seconds)) << name;
        EXPECT_EQ(dateTimeStamp(at, locale, StampPrecision::Milliseconds),
                  QString::fromUtf8(milliseconds))
            << name;
    }
}

// Readings of the system's clock and a steady clock, in turn, and the stamp's
// time for each, in milliseconds.
TEST(StampClock, StampsMoveWithTheSteadyClockAndFollowASetSystemClock) {
    const struct {
        const char* what;
        qint64 system, steady, stamp;
    } readings[] = {
        {"the first reading starts from the system's clock", 1'000'000, 50, 1'000'000},
        {"5 ms later", 1'000'005, 55, 1'000'005},
        {"the system's clock slewed back", 1'000'004, 60, 1'000'010},
        {"stepped back less than a second", 999'420, 65, 1'000'015},
        {"set an hour on", 4'600'070, 70, 4'600'070},
        {"5 ms after that", 4'600'060, 75, 4'600'075},
        {"after the machine slept ten minutes", 5'200'100, 80, 5'200'100},
    };
    StampClock clock;
    for (const auto& r : readings)
        EXPECT_EQ(clock.at(r.system, r.steady), r.stamp) << r.what;
}

} // namespace
