#include "receive/date_stamp.h"

#include "support/printers.h"

#include <gtest/gtest.h>

namespace {

TEST(DateStamp, ShortDateThenTheTimeWithSecondsAndNoZone) {
    const QDateTime at(QDate(2026, 12, 7), QTime(4, 5, 9));
    const std::pair<const char*, const char*> locales[] = {
        {"en_US", "12/7/26 4:05:09 AM"},
        {"en_GB", "07/12/2026 04:05:09"},
        {"zh_CN", "2026/12/7 04:05:09"},
        {"de_DE", "07.12.26 04:05:09"},
        {"fa_IR", "\u06F2\u06F0\u06F2\u06F6/\u06F1\u06F2/\u06F7 \u06F4:\u06F0\u06F5:\u06F0\u06F9"},
    };
    for (const auto& [name, expected] : locales)
        EXPECT_EQ(dateTimeStamp(at, QLocale(QString::fromLatin1(name))),
                  QString::fromUtf8(expected))
            << name;
}

} // namespace
