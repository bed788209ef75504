#include "receive/render_batch.h"
#include "support/printers.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

struct Batch {
    const char* name;
    QByteArray bytes;
    bool asText;
    std::u16string shown;
};

TEST(RenderBatch, ShowsOneBatch) {
    const Batch batches[] = {
        {"hex bytes", "\x48\x69\x0D\x0A", false, u"48 \r69 \r0D \r0A \r"},
        {"hex keeps two digits", QByteArray("\x00\x0F\xA0\xFF", 4), false, u"00 \r0F \rA0 \rFF \r"},
        {"hex of a lead byte", "\xD6", false, u"D6 \r"},
        {"ASCII line", "OK\r\n", true, u"OK\r\n"},
        {"two Chinese characters", "\xD6\xD0\xCE\xC4", true, u"\u4E2D\u6587"},
        {"character then CR", "\xD6\xD0\x0D", true, u"\u4E2D\r"},
        {"ASCII does not undo what was decoded", "\xD6\xD0OK", true, u"\u4E2DOK"},
        {"euro sign stands alone",
         "\x80"
         "A",
         true, u"\u20ACA"},
        {"a lead before a CR leaves the CR", "\xD6\x0D", true, u"\uFFFD\r"},
        {"a lead before a space", "\x81\x20", true, u"\uFFFD "},
        {"0x7F is no trail byte", "\x81\x7F", true, u"\uFFFD\x7F"},
        {"NUL is kept", QByteArray("A\0B", 3), true, std::u16string(u"A\0B", 3)},
        {"empty", "", true, u""},
        {"empty hex", "", false, u""},
    };
    for (const Batch& b : batches) {
        SCOPED_TRACE(b.name);
        PendingLead lead;
        EXPECT_EQ(renderBatch(b.bytes, b.asText, lead), QString::fromStdU16String(b.shown));
        EXPECT_FALSE(lead.held);
    }
}

struct Sequence {
    const char* name;
    std::vector<std::pair<QByteArray, bool>> batches;
    std::vector<std::u16string> shown;
    bool heldAfter;
};

TEST(RenderBatch, LeadByteWaitsForTrailAcrossBatches) {
    const Sequence sequences[] = {
        {"pair split", {{"\xD6", true}, {"\xD0\x0D", true}}, {u"", u"\u4E2D\r"}, false},
        {"lead waits through a hex batch",
         {{"\xD6", true}, {"\xD0", false}, {"\xD0", true}},
         {u"", u"D0 \r", u"\u4E2D"},
         false},
        {"a CR after a waiting lead is still a CR",
         {{"\xD6", true},
          {"\x0D"
           "A",
           true}},
         {u"", u"\uFFFD\rA"},
         false},
        {"lead at the end of each batch",
         {{"A\xD6", true}, {"\xD0\xCE", true}, {"\xC4", true}},
         {u"A", u"\u4E2D", u"\u6587"},
         false},
        {"an empty batch keeps the lead", {{"\xD6", true}, {"", true}}, {u"", u""}, true},
    };
    for (const Sequence& s : sequences) {
        SCOPED_TRACE(s.name);
        PendingLead lead;
        for (std::size_t i = 0; i < s.batches.size(); ++i)
            EXPECT_EQ(renderBatch(s.batches[i].first, s.batches[i].second, lead),
                      QString::fromStdU16String(s.shown[i]))
                << "batch " << i;
        EXPECT_EQ(lead.held, s.heldAfter);
    }
}

// Whatever the split points, text display shows the same text, in every
// encoding.
TEST(RenderBatch, SplittingTheStreamChangesNothing) {
    QRandomGenerator random(936);
    for (int round = 0; round < 1500; ++round) {
        const TextEncoding encoding = TextEncodings[round % std::size(TextEncodings)];
        QByteArray stream(random.bounded(1, 64), Qt::Uninitialized);
        for (char& byte : stream) {
            // Mostly GBK-shaped bytes, with control and ASCII bytes among them.
            const int kind = random.bounded(4);
            byte = char(kind == 0   ? random.bounded(0x20)
                        : kind == 1 ? random.bounded(0x80)
                                    : random.bounded(0x80, 0x100));
        }
        PendingLead whole;
        const QString expected = renderBatch(stream, true, whole, encoding);

        PendingLead lead;
        QString pieces;
        qsizetype at = 0;
        while (at < stream.size()) {
            const qsizetype length = random.bounded(qsizetype(0), stream.size() - at + 1);
            pieces += renderBatch(QByteArrayView(stream).sliced(at, length), true, lead, encoding);
            at += length;
        }
        ASSERT_EQ(pieces, expected) << stream.toHex(' ').toStdString();
        EXPECT_EQ(lead.held, whole.held);
    }
}

} // namespace
