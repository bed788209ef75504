#include "receive/received_text.h"

#include "receive/date_stamp.h"
#include "support/printers.h"

#include <gtest/gtest.h>

namespace {

// Batches in order, each with the text it adds to the receive area; "<stamp>"
// stands for the date and time.
TEST(ReceivedText, FramesALineWithCrLfInFrontAndTheStampAfter) {
    struct Step {
        QByteArray batch;
        bool asText;
        std::u16string appended;
    };
    const std::vector<Step> steps = {
        {"OK\r\n", true, u"\r\nOK\r\n<stamp>"},
        {"OK\r", true, u"OK\r"},
        {"\r\n", true, u"\r\n\r\n<stamp>"},
        {"O\r\nK", true, u"O\r\nK"},
        {"", true, u""},
        // Hex display never ends a line.
        {"OK\r\n", false, u"4F \r4B \r0D \r0A \r"},
        // The lead byte waits for its trail; the character then ends a line.
        {"\xD6", true, u""},
        {"\xD0\r\n", true, u"\r\n\u4E2D\r\n<stamp>"},
    };
    const auto now = [] { return QDateTime(QDate(2026, 12, 7), QTime(9, 30, 5)); };
    ReceivedText received;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.batch.toHex(' ').toStdString());
        QString expected = QString::fromStdU16String(step.appended);
        expected.replace("<stamp>", dateTimeStamp(now()));
        EXPECT_EQ(received.append(step.batch, step.asText, now), expected);
    }
    EXPECT_FALSE(received.pendingLead.held);
}

} // namespace
