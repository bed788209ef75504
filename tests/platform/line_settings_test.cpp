#include "platform/line_settings.h"
#include "support/printers.h"

#include <gtest/gtest.h>

namespace {

using Parity = LineSettings::Parity;
using Stop = LineSettings::StopBits;

struct Accepted {
    const char* text;
    LineSettings settings;
    const char* canonical;
};

TEST(LineSettings, ReadsEveryFieldItAccepts) {
    const Accepted cases[] = {
        {"9600,N,8,1", {9600, Parity::None, 8, Stop::One}, "9600,N,8,1"},
        {"9600,n,8,1", {9600, Parity::None, 8, Stop::One}, "9600,N,8,1"},
        {"19200,O,7,2", {19200, Parity::Odd, 7, Stop::Two}, "19200,O,7,2"},
        {"115200,E,6,1.5", {115200, Parity::Even, 6, Stop::OneAndHalf}, "115200,E,6,1.5"},
        {"74880,m,5,1", {74880, Parity::Mark, 5, Stop::One}, "74880,M,5,1"},
        {"1000000,s,8,2", {1000000, Parity::Space, 8, Stop::Two}, "1000000,S,8,2"},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = parseLineSettings(QString::fromLatin1(c.text));
        ASSERT_TRUE(parsed);
        EXPECT_EQ(*parsed, c.settings);
        EXPECT_EQ(formatLineSettings(*parsed), QLatin1String(c.canonical));
    }
}

TEST(LineSettings, RefusesAnyUnusableFieldWithAReason) {
    const char* refused[] = {
        "",
        "9600",
        "9600,N,8",
        "9600,N,8,1,1",
        "0,N,8,1",
        "-9600,N,8,1",
        "9600.5,N,8,1",
        "96OO,N,8,1",
        " 9600,N,8,1",
        "99999999999,N,8,1",
        "9600,,8,1",
        "9600,X,8,1",
        "9600,NO,8,1",
        "9600,N,4,1",
        "9600,N,9,1",
        "9600,N,8,0",
        "9600,N,8,3",
        "9600,N,8,1.0",
        "9600,N,8,",
        "9600,None,8,1",
    };
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        QString why;
        EXPECT_FALSE(parseLineSettings(QString::fromLatin1(text), &why));
        EXPECT_FALSE(why.isEmpty());
    }
}

} // namespace
