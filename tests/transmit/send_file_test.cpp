#include "platform/qt_desktop.h"
#include "platform/qt_serial_device.h"
#include "window/frmmain.h"

#include "support/fakes.h"
#include "support/pty_pair.h"
#include "support/wait.h"
#include "support/window_on_fakes.h"
#include "window/combo_box.h"
#include "window/counter.h"
#include "window/log_view.h"

#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>

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

    void SetUp() override { device.readInBackground(); }
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
        // Pseudo-files, which report 0 and 4096 bytes: the log tells their content.
        {"/proc/self/status", {}, u""},
        {"/sys/devices/system/cpu/online", {}, u""},
    };
    const QRegularExpression logged(
        QStringLiteral("^(.*)\r\n (\\d+) bytes\r\n\r\n\r\nSending......\r\nSend successfully$"),
        QRegularExpression::DotMatchesEverythingOption);
    for (const File& f : files) {
        SCOPED_TRACE(f.name);
        const bool pseudo = f.name[0] == '/';
        fakes.dialog.answers.push_back(pseudo ? f.name : writeFile(dir, f.name, f.content));
        form.Command3->click();
        // The device end gets the size and the content the log shows.
        const auto shown = logged.match(form.Text1->text());
        ASSERT_TRUE(shown.hasMatch());
        const QByteArray got = device.read(shown.captured(2).toLongLong());
        EXPECT_EQ(got, pseudo ? shown.captured(1).toLatin1() : f.content);
        if (!f.log.empty()) {
            EXPECT_EQ(form.Text1->text(), QString::fromStdU16String(f.log));
        }
        EXPECT_TRUE(form.Text1->text().endsWith("\r\nSend successfully"));
        EXPECT_TRUE(form.Command3->isEnabled());
    }
    EXPECT_TRUE(fakes.messages.shown.empty());
}

// A device that reads slowly, or stops reading, or vanishes: the log says the
// file was sent only once the driver took all of it, and otherwise how much
// it took, which is what the device end gets.
TEST(SendFileToASlowDevice, TheLogSaysOnlyWhatTheDriverTook) {
    struct Case {
        const char* name;
        // Runs once the device end has read 100 KB; may interrupt the send.
        std::function<void(frmmain&, PtyPair&)> interrupt;
        const char* ending;
        bool lost;
    };
    const Case cases[] = {
        {"read to the end", nullptr, "\r\nSend successfully", false},
        {"the port closed", [](frmmain& f, PtyPair&) { f.Command1->click(); }, "Send failed",
         false},
        {"the window closed", [](frmmain& f, PtyPair&) { f.close(); }, "Send failed", false},
        {"the device end gone", [](frmmain&, PtyPair& d) { d.closeDevice(); }, "Send failed", true},
    };
    QTemporaryDir dir;
    QByteArray content(300 << 10, Qt::Uninitialized);
    QRandomGenerator(5).fillRange(reinterpret_cast<quint32*>(content.data()), content.size() / 4);
    const QString path = writeFile(dir, "300k.bin", content);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PtyPair device;
        QtSerialDevice serial{PortMap({{1, device.portPath()}})};
        QtEventLoop events;
        Fakes fakes;
        frmmain form{{serial, fakes.dialog, fakes.timer, fakes.messages, fakes.shell, events}};
        form.show();
        device.readInBackground(1 << 20);
        QByteArray received;
        qint64 mostQueued = 0;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            mostQueued = std::max(mostQueued, serial.bytesToWrite());
            received += device.readAvailable();
            if (c.interrupt && received.size() >= 100 << 10 && watch.isActive()) {
                watch.stop();
                c.interrupt(form, device);
            }
        });
        watch.start(1);
        fakes.dialog.answers.push_back(path);
        form.Command3->click();
        watch.stop();
        received += device.readAvailable();
        const QString log = form.Text1->text();
        EXPECT_LE(mostQueued, 64 * 1024);
        EXPECT_EQ(serial.bytesToWrite(), 0);
        if (!c.interrupt) {
            // Only what the pseudo-terminal holds is still on its way.
            EXPECT_GE(received.size(), content.size() - (96 << 10));
            received += device.read(content.size() - received.size());
            EXPECT_TRUE(received == content) << received.size();
            EXPECT_TRUE(log.endsWith(c.ending));
            continue;
        }
        const QRegularExpression result(
            QStringLiteral("\r\nSend failed\r\n(\\d+) of 307200 bytes sent$"));
        const auto match = result.match(log);
        ASSERT_TRUE(match.hasMatch()) << log.right(60).toStdString();
        const qint64 taken = match.captured(1).toLongLong();
        EXPECT_LT(taken, content.size());
        if (c.lost) {
            // What the driver took and the device end never read is lost with it.
            EXPECT_GE(taken, received.size());
            EXPECT_EQ(fakes.messages.texts(), QStringList{"Serial port lost"});
        } else {
            received += device.read(taken - received.size(), 2000);
            EXPECT_TRUE(received == content.left(taken)) << received.size() << " of " << taken;
            EXPECT_TRUE(fakes.messages.shown.empty());
        }
    }
}

TEST_F(SendFileOverAPseudoTerminal, DataReceivedDuringTheSendAppearsBeforeTheResult) {
    fakes.dialog.answers.push_back(writeFile(dir, "abc", "abc"));
    device.write("reply");
    ASSERT_TRUE(waitOffTheLoop([&] { return serial.bytesWaiting() == 5; }));
    form.Command3->click();
    EXPECT_EQ(form.Text1->text(),
              "abc\r\n 3 bytes\r\n\r\n\r\nSending......reply\r\nSend successfully");
}

// XON/XOFF over a real pseudo-terminal: the device end sends XOFF in the middle
// of a Send File or of repeat sending; nothing more reaches it until XON, and
// the log and the echo say only what the line took.
TEST(SendWithXonXoff, NothingMoreArrivesUntilXonAndTheLogStaysTruthful) {
    enum Kind { FileThenXon, FileThenClose, RepeatThenXon };
    QTemporaryDir dir;
    QByteArray content(300 << 10, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(content.data()), content.size() / 4);
    const QString path = writeFile(dir, "300k.bin", content);
    for (Kind kind : {FileThenXon, FileThenClose, RepeatThenXon}) {
        SCOPED_TRACE(kind);
        PtyPair device;
        QtSerialDevice serial{PortMap({{1, device.portPath()}})};
        QtEventLoop events;
        Fakes fakes;
        frmmain form{{serial, fakes.dialog, fakes.timer, fakes.messages, fakes.shell, events}};
        form.flowControl->setCurrentIndex(2);
        emit form.flowControl->activated(2);
        ASSERT_EQ(serial.handshaking(), comm::HandshakeXonXoff);
        device.readInBackground();
        QByteArray received;
        // Nothing more came for 300 ms.
        const auto held = [&] {
            return !waitUntil(
                [&] {
                    const QByteArray more = device.readAvailable();
                    received += more;
                    return !more.isEmpty();
                },
                300);
        };
        if (kind == RepeatThenXon) {
            form.Text2->setPlainText(QString(1000, u'r'));
            form.Check1->setChecked(true);
            // XOFF is taken by the time the byte after it is shown.
            device.write("\x13x");
            ASSERT_TRUE(waitUntil([&] { return form.Text1->text().contains(u'x'); }));
            for (int tick = 0; tick < 5; ++tick) {
                fakes.timer.elapse();
                ASSERT_TRUE(held());
            }
            // One send waits for the line, uncounted; the ticks behind it sent nothing.
            EXPECT_EQ(form.Text4->text().size(), 1000);
            EXPECT_EQ(form.Label11->text(), "0");
            device.write("\x11");
            EXPECT_TRUE(device.read(1000) == QByteArray(1000, 'r'));
            EXPECT_TRUE(waitUntil([&] { return form.Label11->text() == "1000"; }));
            continue;
        }
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if ((received += device.readAvailable()).size() < 64 << 10)
                return;
            watch.stop();
            device.write("\x13");
            // What was on its way before XOFF still comes, then nothing.
            while (!held()) {
            }
            EXPECT_LT(received.size(), content.size());
            if (kind == FileThenClose)
                form.Command1->click();
            else
                device.write("\x11");
        });
        watch.start(1);
        fakes.dialog.answers.push_back(path);
        form.Command3->click();
        if (kind == FileThenXon) {
            received += device.read(content.size() - received.size());
            EXPECT_TRUE(received == content) << received.size();
            EXPECT_TRUE(form.Text1->text().endsWith("\r\nSend successfully"));
        } else {
            EXPECT_TRUE(form.Text1->text().endsWith(
                QStringLiteral("\r\nSend failed\r\n%1 of 307200 bytes sent").arg(received.size())));
            EXPECT_TRUE(received == content.left(received.size()));
        }
    }
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

// Sets a limit on the address space for as long as it lives.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_AS, &m_before);
        rlimit limited = m_before;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_AS, &limited);
    }
    ~AddressSpaceLimit() { ::setrlimit(RLIMIT_AS, &m_before); }

private:
    rlimit m_before{};
};

rlim_t addressSpaceInUse() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmSize:"))
            return rlim_t(line.mid(7).trimmed().split(' ')[0].toLongLong()) * 1024;
    return 0;
}

TEST_F(SendFileTest, AFileThatCannotBeReadIsReportedAndNothingElseHappens) {
    const QString missing = dir.filePath("missing.bin");
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = dir.filePath("huge.bin");
    QFile hugeFile(huge);
    ASSERT_TRUE(hugeFile.open(QIODevice::WriteOnly) && hugeFile.resize(qint64(1) << 30));
    hugeFile.close();
    struct Case {
        QString path;
        const char* why;
        bool tooLarge = false;
    };
    const Case cases[] = {
        {missing, "No such file"},
        {dir.path(), "a folder, not a regular file"},
        // A FIFO without a writer would block the window for good, and one
        // with a writer might never end.
        {fifo, "a FIFO, not a regular file"},
        {"/dev/zero", "a character device, not a regular file"},
        {huge, "too large to hold in memory", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizer's shadow memory needs more address space than any limit leaves.
        if (c.tooLarge)
            continue;
#endif
        fakes.messages.shown.clear();
        fakes.dialog.answers.push_back(c.path);
        {
            std::optional<AddressSpaceLimit> limit;
            if (c.tooLarge)
                limit.emplace(addressSpaceInUse() + (rlim_t(512) << 20));
            form->Command3->click();
        }
        ASSERT_EQ(fakes.messages.texts(), QStringList{"Cannot open file"});
        EXPECT_EQ(fakes.messages.shown[0].icon, MessageBoxes::Icon::Exclamation);
        EXPECT_TRUE(fakes.messages.shown[0].detail.startsWith(c.path));
        EXPECT_TRUE(fakes.messages.shown[0].detail.contains(c.why))
            << fakes.messages.shown[0].detail.toStdString();
        EXPECT_EQ(form->Text1->text(), "received before");
        EXPECT_TRUE(sent().isEmpty());
        EXPECT_TRUE(form->Command3->isEnabled());
    }
    EXPECT_FALSE(QFile::exists(missing));
}

TEST(SendFileInterrupted, SaysHowFarItGot) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "long", QByteArray(40000, 'x'));
    const std::function<void(frmmain&)> interruptions[] = {
        [](frmmain& f) { f.Command1->click(); },
        [](frmmain& f) { f.close(); },
    };
    for (const auto& interrupt : interruptions) {
        Fakes fakes;
        fakes.serial.ports[1] = FakeSerialDevice::Port::Present;
        frmmain form(fakes.platform());
        form.show();
        fakes.dialog.answers.push_back(path);
        form.Check1->setChecked(true);
        ASSERT_TRUE(fakes.timer.enabled());
        // The first piece is out when the send first lets other events run.
        // A tick that falls due after the interruption sends nothing.
        fakes.events.onYield = [&] {
            if (fakes.events.yields == 1) {
                interrupt(form);
                fakes.timer.elapse();
            }
        };
        form.Command3->click();
        EXPECT_EQ(fakes.serial.sent, QByteArray(16384, 'x'));
        EXPECT_TRUE(form.Text1->text().endsWith(
            "Sending......\r\nSend failed\r\n16384 of 40000 bytes sent"));
        EXPECT_TRUE(form.Command3->isEnabled());
    }
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
