#include "transmit/interval.h"

#include "support/printers.h"

#include <gtest/gtest.h>

namespace {

TEST(Interval, ReadsTheLeadingNumber) {
    const std::pair<const char*, double> numbers[] = {
        {"1000", 1000},   {"500ms", 500}, {"1e3", 1000}, {"1D2", 100}, {"1d-1", 0.1},
        {"250.5", 250.5}, {"-5", -5},     {"+7", 7},     {".5", 0.5},  {"1 0 0", 100},
        {"\t12\n3", 123}, {"abc", 0},     {"", 0},       {"1e", 1},    {"1e+", 1},
        {"2.5.1", 2.5},   {"-", 0},       {"1,5", 1},    {"٣", 0},
    };
    for (const auto& [text, value] : numbers)
        EXPECT_EQ(readLeadingNumber(QString::fromUtf8(text)), value) << text;
    EXPECT_FALSE(readLeadingNumber(u"1e400"));
    EXPECT_FALSE(readLeadingNumber(u"1e-400"));
}

TEST(Interval, AcceptsOneTo32767MillisecondsRoundingHalvesToEven) {
    const std::pair<const char*, std::optional<std::int16_t>> intervals[] = {
        {"1000", 1000},
        {"500ms", 500},
        {"1e3", 1000},
        {"250.5", 250},
        {"251.5", 252},
        {"0.5", std::nullopt},
        {"1.5", 2},
        {"0.4", std::nullopt},
        {"abc", std::nullopt},
        {"0", std::nullopt},
        {"-5", std::nullopt},
        {"32767", 32767},
        {"32767.4", 32767},
        {"32767.5", std::nullopt},
        {"1e400", std::nullopt},
        {"1e-400", std::nullopt},
    };
    for (const auto& [text, interval] : intervals)
        EXPECT_EQ(repeatIntervalFrom(QString::fromUtf8(text)), interval) << text;
}

} // namespace
