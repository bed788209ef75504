#include "receive/date_stamp.h"

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

} // namespace
