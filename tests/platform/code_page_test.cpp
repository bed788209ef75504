#include "platform/code_page.h"
#include "support/printers.h"

#include <gtest/gtest.h>

namespace {

struct Decoded {
    QByteArray bytes;
    std::u16string text;
};

TEST(CodePage, DecodesAsCodePage936) {
    const Decoded cases[] = {
        {"OK\r\n", u"OK\r\n"},
        {"\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
        {"\x80", u"\u20AC"},
        // A byte that cannot be a trail byte is not swallowed by the lead.
        {"\x81\x20", u"\uFFFD "},
        {"\xD6\r", u"\uFFFD\r"},
        {"\xD6", u"\uFFFD"},
        {QByteArray("\0A", 2), std::u16string(u"\0A", 2)},
    };
    for (const Decoded& c : cases) {
        SCOPED_TRACE(c.bytes.toHex(' ').toStdString());
        EXPECT_EQ(decodeAnsi(c.bytes), QString::fromStdU16String(c.text));
    }
}

TEST(CodePage, APieceHoldsItsLastLeadByte) {
    int held = 0;
    EXPECT_EQ(decodeAnsiPiece("A\xD6", &held), u"A");
    EXPECT_EQ(held, 0xD6);
    EXPECT_EQ(decodeAnsiPiece("A\xD6\xD0", &held), u"A\u4E2D");
    EXPECT_EQ(held, -1);
    // 0x80 stands alone, so nothing waits.
    EXPECT_EQ(decodeAnsiPiece("\x80", &held), u"\u20AC");
    EXPECT_EQ(held, -1);
}

TEST(CodePage, EncodesToCodePage936) {
    EXPECT_EQ(encodeAnsi(u"ATI\n"), QByteArray("ATI\n"));
    EXPECT_EQ(encodeAnsi(u"\u4E2D\u6587"), QByteArray("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(encodeAnsi(u"\u20AC"), QByteArray("\x80"));
    // What the code page lacks becomes '?'.
    EXPECT_EQ(encodeAnsi(u"\U0001F600"), QByteArray("?"));
    EXPECT_EQ(encodeAnsi(u""), QByteArray());
}

} // namespace
