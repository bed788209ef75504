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

TEST(CodePage, APieceHoldsTheStartOfItsLastCharacter) {
    const struct {
        TextEncoding encoding;
        QByteArray bytes;
        std::u16string text;
        qsizetype pending;
    } pieces[] = {
        {TextEncoding::Gbk, "A\xD6", u"A", 1},
        // 0x80 stands alone, so nothing waits.
        {TextEncoding::Gbk, "\x80", u"\u20AC", 0},
        {TextEncoding::Utf8, "\xF0\x9F\x98", u"", 3},
        // A byte that no sequence starts with never waits.
        {TextEncoding::Utf8, "\xB8", u"\uFFFD", 0},
        {TextEncoding::Latin1, "A\xE4", u"A\u00E4", 0},
    };
    for (const auto& p : pieces) {
        SCOPED_TRACE(p.bytes.toHex(' ').toStdString());
        qsizetype pending = -1;
        EXPECT_EQ(decodeTextPiece(p.bytes, p.encoding, &pending),
                  QString::fromStdU16String(p.text));
        EXPECT_EQ(pending, p.pending);
    }
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
