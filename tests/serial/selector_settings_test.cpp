#include "serial/selector_settings.h"

#include "support/printers.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* baud;
    const char* parity;
    const char* dataBits;
    const char* stopBits;
    const char* previous;
    const char* settings;
    const char* letter;
};

TEST(SelectorSettings, JoinsTheSelectorsAsTheyStand) {
    const Case cases[] = {
        {"9600", "None", "8", "1", "", "9600,N,8,1", "N"},
        {"9600", "Odd", "8", "1", "N", "9600,O,8,1", "O"},
        {"9600", "Even", "8", "1", "", "9600,E,8,1", "E"},
        // Only the exact names give a letter; anything else keeps the last one.
        {"9600", "even", "8", "1", "O", "9600,O,8,1", "O"},
        {"9600", "Parity?", "8", "1", "", "9600,,8,1", ""},
        {"74880", "None", "7", "2", "E", "74880,N,7,2", "N"},
        {" 9600", "None", "8 ", "1.5", "", " 9600,N,8 ,1.5", "N"},
    };
    for (const Case& c : cases) {
        const SelectorSettings built =
            settingsFromSelectors(c.baud, c.parity, c.dataBits, c.stopBits, c.previous);
        EXPECT_EQ(built.settings, c.settings);
        EXPECT_EQ(built.parityLetter, c.letter);
    }
}

} // namespace
