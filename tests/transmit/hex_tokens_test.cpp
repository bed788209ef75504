#include "transmit/hex_tokens.h"

#include "support/printers.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* text;
    QByteArray bytes;
    QStringList refused;
};

TEST(HexTokens, ReadsExactlyTheBytesTyped) {
    const Case cases[] = {
        {"01 02 FF", "\x01\x02\xFF", {}},
        {"0a 1b", "\x0A\x1B", {}},
        {"7", "\x07", {}},
        {"00FE", "\xFE", {}},
        {"000000041", "\x41", {}},
        // Runs of spaces, tabs and line breaks separate; they are not bytes.
        {"01  02", "\x01\x02", {}},
        {" 41", "\x41", {}},
        {"41 ", "\x41", {}},
        {"41\n42", "\x41\x42", {}},
        {"41\t\t42\r\n43", "\x41\x42\x43", {}},
        {"", "", {}},
        {"  \n ", "", {}},
        {"00", QByteArray("\0", 1), {}},
        // Anything else is refused, each token in order.
        {"100 41", "\x41", {"100"}},
        {"0x41 G1 1G", "", {"0x41", "G1", "1G"}},
        {"ATI", "", {"ATI"}},
        {"4142", "", {"4142"}},
        {"41,42", "", {"41,42"}},
        {"\u0661", "", {"\u0661"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const HexTokens tokens = readHexTokens(QString::fromUtf8(c.text));
        EXPECT_EQ(tokens.bytes, c.bytes);
        EXPECT_EQ(tokens.refused, c.refused);
    }
}

} // namespace
