#include "receive/received_text.h"

#include "receive/date_stamp.h"
#include "support/printers.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

// A batch as a receive event hands it over: the reads it holds, each as its
// bytes and the millisecond they were read at; a read of no bytes is a
// silence.
struct Read {
    QByteArray bytes;
    qint64 at;
};

struct Step {
    std::vector<Read> reads;
    bool asText;
    // What the batch adds; "<N>" is the stamp of millisecond N.
    std::u16string appended;
};

constexpr qint64 T = 1'796'000'000'000; // 2026-11-30, a round number of milliseconds

void run(ReceivedText& received, const std::vector<Step>& steps) {
    received.precision = StampPrecision::Milliseconds;
    for (const Step& step : steps) {
        QByteArray batch;
        QList<Arrival> arrivals;
        for (const Read& read : step.reads) {
            batch += read.bytes;
            arrivals.append({read.bytes.size(), T + read.at});
        }
        SCOPED_TRACE(batch.toHex(' ').toStdString());
        QString expected = QString::fromStdU16String(step.appended);
        static const QRegularExpression stamp("<(\\d+)>");
        for (auto match = stamp.match(expected); match.hasMatch(); match = stamp.match(expected))
            expected.replace(
                match.capturedStart(), match.capturedLength(),
                dateTimeStamp(QDateTime::fromMSecsSinceEpoch(T + match.captured(1).toLongLong()),
                              QLocale::system(), StampPrecision::Milliseconds));
        EXPECT_EQ(received.append(batch, arrivals, step.asText), expected);
    }
}

// Lines by their line ends: each read that ends a line gets CR LF in front
// and the time of that read after, however many reads a batch holds.
TEST(ReceivedText, ALineEndedByAReadCarriesThatReadsTime) {
    ReceivedText received;
    run(received,
        {
            {{{"OK\r\n", 0}}, true, u"\r\nOK\r\n<0>"},
            {{{"OK\r", 5}}, true, u"OK\r"},
            {{{"\r\n", 7}}, true, u"\r\n\r\n<7>"},
            {{{"O\r\nK", 9}}, true, u"O\r\nK"},
            {{{"", 9}}, true, u""},
            // Read 3 ms apart, taken in one batch after a busy spell.
            {{{"A\r\n", 600}, {"B\r\n", 603}, {"C", 604}}, true, u"\r\nA\r\n<600>\r\nB\r\n<603>C"},
            // Hex display never ends a line.
            {{{"OK\r\n", 610}}, false, u"4F \r4B \r0D \r0A \r"},
            // The lead byte waits for its trail; the character then ends a line.
            {{{"\xD6", 620}}, true, u""},
            {{{"\xD0\r\n", 640}}, true, u"\r\n\u4E2D\r\n<640>"},
        });
    EXPECT_FALSE(received.pendingLead.held);
}

// Frames by silence: a frame starts on a line of its own, whatever reads it
// came in, and the silence after it ends its line with the time of its first
// byte, in hex and text display alike.
TEST(ReceivedText, AFrameIsALineOfItsOwnStampedWithItsFirstByte) {
    ReceivedText received;
    received.setFrames(true);
    run(received, {
                      // Split across reads and batches.
                      {{{"\x01\x03", 0}}, false, u"\r\n01 \r03 \r"},
                      {{{"\x02", 4}, {"", 24}}, false, u"02 \r\r\n<0>"},
                      // Two frames read while the window was busy, taken in one batch.
                      {{{"\x05", 100}, {"", 120}, {"\x06", 130}, {"", 150}},
                       false,
                       u"\r\n05 \r\r\n<100>\r\n06 \r\r\n<130>"},
                      // Text that ends its own line gets no second line end; a lead byte
                      // whose trail never came is shown for what it is.
                      {{{"OK\r\n", 200}, {"", 220}}, true, u"\r\nOK\r\n<200>"},
                      {{{"A\xD6", 300}, {"", 320}}, true, u"\r\nA\uFFFD\r\n<300>"},
                      // A silence with no frame open adds nothing.
                      {{{"", 400}}, true, u""},
                  });
    EXPECT_FALSE(received.pendingLead.held);
}

} // namespace
