#include "platform/qt_serial_device.h"
#include "window/frmmain.h"

#include "support/fakes.h"
#include "support/pty_pair.h"
#include "support/wait.h"
#include "window/combo_box.h"
#include "window/counter.h"
#include "window/log_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The send routine over the real serial component: what reaches the device
// is read on the pseudo-terminal's device end.
struct SendTest : ::testing::Test {
    PtyPair device;
    QtSerialDevice serial{PortMap({{1, device.portPath()}})};
    Fakes fakes;
    frmmain form{{serial, fakes.dialog, fakes.timer, fakes.messages, fakes.shell, fakes.events}};

    // Everything the program sent up to now.
    QByteArray onTheLine() {
        const QByteArray sentinel = "<end>";
        serial.output(sentinel);
        QByteArray bytes = device.read(0);
        while (!bytes.endsWith(sentinel)) {
            const QByteArray more = device.read(bytes.size() + 1);
            if (more.isEmpty())
                break;
            bytes += more;
        }
        bytes.chop(sentinel.size());
        return bytes;
    }

    // TX counts what the driver took, which the component learns a moment
    // after the bytes are on the line.
    bool txReaches(qsizetype count) {
        return waitUntil([&] { return form.Label11->text().toLongLong() == count; }, 2000);
    }
};

struct Send {
    const char* name;
    const char* sendBox;
    bool hex;
    bool crLf;
    QByteArray line;
    std::u16string echo;
    int counted;
    QStringList messages;
};

TEST_F(SendTest, SendsExactlyWhatWasTypedEchoesAndCountsIt) {
    const Send sends[] = {
        {"start-up text", "ATI\r\n", false, false, "ATI\n", u"ATI\n", 4, {}},
        {"with CR LF", "ATI\r\n", false, true, "ATI\n\r\n", u"ATI\n\r\n", 6, {}},
        {"empty with CR LF", "", false, true, "\r\n", u"\r\n", 2, {}},
        {"Chinese goes out as GBK",
         "\u4E2D\u6587",
         false,
         false,
         "\xD6\xD0\xCE\xC4",
         u"\u4E2D\u6587",
         4,
         {}},
        {"hex", "01 02 FF", true, false, "\x01\x02\xFF", u"01 02 FF ", 3, {}},
        {"hex, lower case", "0a 1b", true, false, "\x0A\x1B", u"0a 1b ", 2, {}},
        {"hex, double space", "01  02", true, false, "\x01\x02", u"01  02 ", 2, {}},
        {"hex, leading space", " 41", true, false, "\x41", u" 41 ", 1, {}},
        {"hex, two lines", "41\r\n42", true, true, "\x41\x42", u"41\n42 ", 2, {}},
        {"hex, a value above FF", "100 41", true, false, "", u"", 0, {"hex err"}},
        {"hex, the start-up text", "ATI\r\n", true, false, "", u"", 0, {"hex err"}},
        {"hex, three bad tokens",
         "0x41 G1 1G",
         true,
         false,
         "",
         u"",
         0,
         {"hex err", "hex err", "hex err"}},
        {"hex, nothing typed", "  ", true, false, "", u"", 0, {}},
    };
    for (const Send& s : sends) {
        SCOPED_TRACE(s.name);
        form.Text4->clear();
        form.Label11->setText("0");
        fakes.messages.shown.clear();
        form.Text2->setPlainText(QString::fromUtf8(s.sendBox));
        (s.hex ? form.Option3 : form.Option4)->setChecked(true);
        form.Check2->setChecked(s.crLf);

        form.Command2->click();

        EXPECT_EQ(onTheLine(), s.line);
        EXPECT_EQ(form.Text4->text(), QString::fromStdU16String(s.echo));
        EXPECT_TRUE(txReaches(s.counted)) << "TX " << form.Label11->text().toStdString();
        EXPECT_EQ(fakes.messages.texts(), s.messages);
        EXPECT_EQ(serial.inputMode(), s.hex ? comm::InputModeBinary : comm::InputModeText);
    }
}

// The "Line end" selector, with and without "CR", and the keys that send.
TEST_F(SendTest, LineEndsShapeTextSendsAndCtrlReturnSendsAsTheButtonDoes) {
    enum Key { Button, CtrlReturn, CtrlEnter };
    const struct {
        const char* name;
        const char* lineEnd;
        bool hex, cr;
        const char* sendBox;
        Key key;
        QByteArray line;
    } sends[] = {
        {"CR LF keeps LF inside", "CR LF", false, true, "AT\nI", Button, "AT\nI\r\n"},
        {"CR LF unticked", "CR LF", false, false, "AT\nI\n", CtrlReturn, "AT\nI\n"},
        {"CR", "CR", false, true, "AT\nI", CtrlReturn, "AT\rI\r"},
        {"CR unticked ends lines only", "CR", false, false, "ATI\n", CtrlEnter, "ATI\r"},
        {"CR, empty box", "CR", false, true, "", Button, "\r"},
        {"LF", "LF", false, true, "AT\nI", CtrlEnter, "AT\nI\n"},
        {"None", "None", false, true, "AT\nI", CtrlReturn, "AT\nI"},
        {"hex goes as typed", "CR", true, true, "41\n42", CtrlReturn, "AB"},
    };
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    for (const auto& s : sends) {
        SCOPED_TRACE(s.name);
        form.Text4->clear();
        form.Label11->setText("0");
        const int entry = form.lineEnd->findText(s.lineEnd);
        form.lineEnd->setCurrentIndex(entry);
        emit form.lineEnd->activated(entry);
        (s.hex ? form.Option3 : form.Option4)->setChecked(true);
        form.Check2->setChecked(s.cr);
        form.Text2->setPlainText(s.sendBox);
        form.Text2->setFocus();
        if (s.key == Button)
            form.Command2->click();
        else
            QTest::keyClick(QApplication::focusWidget(),
                            s.key == CtrlReturn ? Qt::Key_Return : Qt::Key_Enter,
                            s.key == CtrlReturn ? Qt::ControlModifier
                                                : Qt::ControlModifier | Qt::KeypadModifier);

        EXPECT_EQ(onTheLine(), s.line);
        EXPECT_EQ(form.Text4->text(), s.hex ? QString(s.sendBox) + ' ' : QString(s.line));
        EXPECT_TRUE(txReaches(s.hex ? 2 : s.line.size()))
            << "TX " << form.Label11->text().toStdString();
        EXPECT_EQ(form.Text2->toPlainText(), s.sendBox);
    }
    EXPECT_TRUE(fakes.messages.shown.empty());
}

TEST_F(SendTest, EchoesOfSuccessiveSendsFollowOneAnother) {
    form.Option3->setChecked(true);
    form.Text2->setPlainText("41");
    form.Command2->click();
    form.Command2->click();
    form.Option4->setChecked(true);
    form.Command2->click();
    EXPECT_EQ(form.Text4->text(), "41 41 41");
    EXPECT_EQ(onTheLine(), "AA41");
    EXPECT_TRUE(txReaches(4)) << "TX " << form.Label11->text().toStdString();
}

TEST_F(SendTest, WithThePortClosedNothingIsSentOrCounted) {
    form.Command1->click();
    ASSERT_FALSE(serial.portOpen());
    serial.setInputMode(comm::InputModeBinary);
    form.Command2->click();
    EXPECT_EQ(fakes.messages.texts(), QStringList{"Please open the serial device"});
    EXPECT_EQ(serial.inputMode(), comm::InputModeBinary);

    // A tick of a repeat still runs the routine: the component refuses.
    fakes.messages.shown.clear();
    for (QRadioButton* mode : {form.Option3, form.Option4}) {
        mode->setChecked(true);
        form.Text2->setPlainText("41");
        form.Timer1_Timer();
    }
    EXPECT_EQ(fakes.messages.texts(),
              QStringList({"Please open the serial port", "Please open the serial port"}));
    EXPECT_EQ(form.Text4->text(), "");
    EXPECT_EQ(form.Label11->text(), "0");
    form.Command1->click();
    EXPECT_EQ(onTheLine(), "");
}

} // namespace
