#include "transmit/quick_sends.h"

#include "support/printers.h"

#include <gtest/gtest.h>

namespace {

struct File {
    const char* name;
    QByteArray file;
    std::vector<QuickSend> sends;
    int faultLine;
    const char* fault;
};

TEST(QuickSends, ReadsAFileOrRefusesItWholeWithTheLineThatIsNoSend) {
    const QByteArray header = "# modem\n\n";
    const File files[] = {
        {"text, hex, a comment, a blank line, CR LF",
         "\xEF\xBB\xBF# modem\r\nReset\ttext\tATZ\\r\r\n\r\nPing\thex\t  01 ff\t7E\n",
         {{"Reset", false, "ATZ\r"}, {"Ping", true, "01 ff 7E"}},
         0,
         ""},
        {"every escape, and UTF-8",
         "\xE4\xB8\xAD\ttext\ta\\r\\n\\t\\\\\\x1B\\xe9\xE2\x84\xA2\n",
         {{"\u4E2D", false, "a\r\n\t\\\x1B\u00E9\u2122"}},
         0,
         ""},
        {"no data is a text of nothing", "Empty\ttext\t", {{"Empty", false, ""}}, 0, ""},
        {"one tab", header + "Reset\tATZ\n", {}, 3, "expected a name, a tab, text or hex, a tab"},
        {"a mode there is not", "A\ttext\tx\nB\tTXT\tx\n", {}, 2, "the mode is \"TXT\""},
        {"an escape there is not", "A\ttext\tAT\\q\n", {}, 1, "\"\\q\" is no escape"},
        {"\\x with one digit", "A\ttext\t\\x4\n", {}, 1, "\"\\x4\" is no escape"},
        {"a trailing backslash", "A\ttext\tAT\\\n", {}, 1, "\"\\\" is no escape"},
        {"not a byte", "A\thex\t01 100\n", {}, 1, "\"100\" is not a byte value"},
        {"no bytes", "A\thex\t \n", {}, 1, "there are no hex bytes"},
        {"no name", " \ttext\tx\n", {}, 1, "the name is empty"},
        {"not UTF-8", "A\ttext\tx\nB\ttext\t\xFF\n", {}, 2, "not UTF-8"},
        {"a 25th send", QByteArray("A\ttext\tx\n").repeated(25), {}, 25, "more than 24"},
    };
    for (const File& f : files) {
        SCOPED_TRACE(f.name);
        const QuickSendFile read = readQuickSends(f.file);
        EXPECT_EQ(read.sends, f.sends);
        EXPECT_EQ(read.faultLine, f.faultLine);
        EXPECT_TRUE(*f.fault ? read.fault.contains(QString::fromUtf8(f.fault))
                             : read.fault.isEmpty())
            << read.fault.toStdString();
        // What is written reads back the same.
        EXPECT_EQ(readQuickSends(writeQuickSends(read.sends)).sends, read.sends);
    }
}

} // namespace
