#include "platform/qt_desktop.h"
#include "platform/qt_serial_device.h"
#include "window/frmmain.h"

#include "support/fakes.h"
#include "support/pty_pair.h"
#include "support/window_on_fakes.h"
#include "window/counter.h"
#include "window/log_view.h"

#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

// The real serial component and event loop: the device end reads exactly the
// file's bytes.
struct SendFileOverAPseudoTerminal : ::testing::Test {
    QTemporaryDir dir;
    PtyPair device;
    QtSerialDevice serial{PortMap({{1, device.portPath()}})};
    QtEventLoop events;
    Fakes fakes;
    frmmain form{{serial, fakes.dialog, fakes.timer, fakes.messages, fakes.shell, events}};
};

TEST_F(SendFileOverAPseudoTerminal, TheLineGetsExactlyTheFilesBytes) {
    QByteArray random(65536, Qt::Uninitialized);
    QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    random[100] = '\0';
    struct File {
        const char* name;
        QByteArray content;
        std::u16string log; // empty: not checked whole
    };
    const File files[] = {
        {"empty", "", u"\r\n 0 bytes\r\n\r\n\r\nSending......\r\nSend successfully"},
        {"hello", "hello", u"hello\r\n 5 bytes\r\n\r\n\r\nSending......\r\nSend successfully"},
        {"random.bin", random, u""},
        {"gbk.txt", "\xD6\xD0\xCE\xC4 OK\r\n",
         u"\u4E2D\u6587 OK\r\n\r\n 9 bytes\r\n\r\n\r\n"
         u"Sending......\r\nSend successfully"},
    };
    for (const File& f : files) {
        SCOPED_TRACE(f.name);
        fakes.dialog.answers.push_back(writeFile(dir, f.name, f.content));
        form.Command3->click();
        EXPECT_EQ(device.read(f.content.size()), f.content);
        if (!f.log.empty()) {
            EXPECT_EQ(form.Text1->text(), QString::fromStdU16String(f.log));
        }
        EXPECT_TRUE(form.Text1->text().endsWith("\r\nSend successfully"));
        EXPECT_TRUE(form.Command3->isEnabled());
    }
    EXPECT_TRUE(fakes.messages.shown.empty());
}

TEST_F(SendFileOverAPseudoTerminal, DataReceivedDuringTheSendAppearsBeforeTheResult) {
    fakes.dialog.answers.push_back(writeFile(dir, "abc", "abc"));
    device.write("reply");
    form.Command3->click();
    EXPECT_EQ(form.Text1->text(),
              "abc\r\n 3 bytes\r\n\r\n\r\nSending......reply\r\nSend successfully");
}

struct SendFileTest : WindowOnFakes {
    QTemporaryDir dir;

    void SetUp() override {
        WindowOnFakes::SetUp();
        form->Text1->setText("received before");
        fakes.serial.writes.clear();
    }
    QByteArray sent() const { return fakes.serial.sent; }
};

TEST_F(SendFileTest, NothingButTheMessageWhileThePortIsClosed) {
    fakes.serial.setPortOpen(false);
    form->Command3->click();
    EXPECT_EQ(fakes.messages.texts(), QStringList{"Please open the serial device"});
    EXPECT_TRUE(fakes.dialog.shown.empty());
}

TEST_F(SendFileTest, CancelTouchesNothing) {
    fakes.dialog.FileName = "earlier";
    fakes.dialog.answers.push_back(std::nullopt);
    form->Command3->click();
    EXPECT_TRUE(fakes.dialog.FileName.isEmpty());
    EXPECT_EQ(form->Text1->text(), "received before");
    EXPECT_TRUE(fakes.serial.writes.isEmpty());
    EXPECT_TRUE(fakes.messages.shown.empty());
}

TEST_F(SendFileTest, AFileThatCannotBeReadIsReportedAndNothingElseHappens) {
    const QString missing = dir.filePath("missing.bin");
    for (const QString& path : {missing, dir.path()}) {
        SCOPED_TRACE(path.toStdString());
        fakes.messages.shown.clear();
        fakes.dialog.answers.push_back(path);
        form->Command3->click();
        ASSERT_EQ(fakes.messages.texts(), QStringList{"Cannot open file"});
        EXPECT_EQ(fakes.messages.shown[0].icon, MessageBoxes::Icon::Exclamation);
        EXPECT_TRUE(fakes.messages.shown[0].detail.startsWith(path));
        EXPECT_EQ(form->Text1->text(), "received before");
        EXPECT_TRUE(sent().isEmpty());
    }
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(SendFileTest, ARefusedWriteStopsTheSendAndSaysHowFarItGot) {
    fakes.dialog.answers.push_back(writeFile(dir, "five", "12345"));
    fakes.events.onYield = [&] {
        if (fakes.events.yields == 3)
            form->Command1->click();
    };
    form->Command3->click();
    EXPECT_EQ(sent(), "12");
    EXPECT_TRUE(form->Text1->text().endsWith("Sending......\r\nSend failed\r\n2 of 5 bytes sent"));
    EXPECT_TRUE(form->Command3->isEnabled());
}

TEST_F(SendFileTest, ASecondSendCannotStartWhileOneRuns) {
    fakes.dialog.answers.push_back(writeFile(dir, "first", "first"));
    fakes.dialog.answers.push_back(writeFile(dir, "second", "second"));
    fakes.events.onYield = [&] { form->Command3->click(); };
    form->Command3->click();
    EXPECT_EQ(sent(), "first");
    EXPECT_EQ(fakes.dialog.shown.size(), 1u);
    EXPECT_TRUE(form->Command3->isEnabled());
}

TEST_F(SendFileTest, ClosingTheWindowStopsTheSendAtOnce) {
    form->show();
    fakes.dialog.answers.push_back(writeFile(dir, "long", QByteArray(1000, 'x')));
    fakes.events.onYield = [&] {
        if (fakes.events.yields == 2)
            form->close();
    };
    form->Command3->click();
    EXPECT_EQ(sent(), "x");
    EXPECT_FALSE(form->Text1->text().contains("Send successfully"));
}

TEST_F(SendFileTest, LeavesTheSendSideAsItWas) {
    form->Label11->setText("7");
    form->Text4->setText("echo");
    fakes.serial.setInputMode(comm::InputModeText);
    fakes.dialog.answers.push_back(writeFile(dir, "data", "data"));
    form->Command3->click();
    EXPECT_EQ(sent(), "data");
    EXPECT_EQ(form->Label11->text(), "7");
    EXPECT_EQ(form->Text4->text(), "echo");
    EXPECT_EQ(form->shared.sendAsText, 1);
    EXPECT_EQ(fakes.serial.inputMode(), comm::InputModeText);
}

} // namespace
