#include "window/frmmain.h"

#include "support/fakes.h"
#include "support/window_on_fakes.h"
#include "window/counter.h"
#include "window/log_view.h"

#include "platform/capture_file.h"
#include "support/wait.h"

#include <QAction>
#include <QLabel>
#include <QTemporaryDir>

#include <memory>
#include <optional>

#include <QRadioButton>
#include <QRegularExpression>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <tuple>

#include <gtest/gtest.h>

namespace {

struct ReceiveTest : WindowOnFakes {

    void SetUp() override {
        WindowOnFakes::SetUp();
        fakes.serial.writes.clear();
    }
    void showHex(bool hex) { (hex ? form->Option1 : form->Option2)->setChecked(true); }
    QString shown() const { return form->Text1->text(); }
    long long counted() const { return form->Label10->text().toLongLong(); }
};

// A date and time as the stamp writes it: digits with separators, ending in
// the seconds.
const QRegularExpression stamp(QStringLiteral("^\\r\\nOK\\r\\n\\S+ .*\\d\\d$"));

struct Received {
    const char* name;
    bool hex;
    int inputMode;
    QByteArray batch;
    std::u16string shown;
    long long counted;
};

TEST_F(ReceiveTest, ShowsEachBatchAndCountsItsBytes) {
    const Received cases[] = {
        {"hex, binary input", true, 1, "\x48\x69\x0D\x0A", u"48 \r69 \r0D \r0A \r", 4},
        {"hex, text input shows the line's bytes", true, 0, "A", u"41 \r", 1},
        {"text, two Chinese characters", false, 1, "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587", 4},
        {"text, character then CR", false, 1, "\xD6\xD0\x0D", u"\u4E2D\r", 3},
        {"text input, A B", false, 0, "AB", u"AB", 2},
        {"a line without CR LF at its end", false, 1, "OK\r", u"OK\r", 3},
        {"CR LF inside the batch", false, 1, "O\r\nK", u"O\r\nK", 4},
    };
    for (const Received& c : cases) {
        SCOPED_TRACE(c.name);
        form->Text1->clear();
        form->Label10->setText("0");
        showHex(c.hex);
        fakes.serial.setInputMode(c.inputMode);
        fakes.serial.receive(c.batch);
        EXPECT_EQ(shown(), QString::fromStdU16String(c.shown));
        EXPECT_EQ(counted(), c.counted);
    }
}

TEST_F(ReceiveTest, ALineEndingInCrLfIsFollowedByTheDateAndTime) {
    fakes.serial.receive("OK\r\n");
    EXPECT_TRUE(stamp.match(shown()).hasMatch()) << shown().toStdString();
    EXPECT_EQ(counted(), 4);

    form->Text1->clear();
    showHex(true);
    fakes.serial.receive("OK\r\n");
    EXPECT_EQ(shown(), u"4F \r4B \r0D \r0A \r");
}

// --stamp-ms gives milliseconds from the start; the receive area's menu entry
// turns them on and off.
TEST(ReceiveStamps, MillisecondsFromTheCommandLineOrTheMenu) {
    const QRegularExpression seconds(QStringLiteral(":\\d\\d$"));
    const QRegularExpression milliseconds(QStringLiteral(":\\d\\d\\.\\d{3}$"));
    const struct {
        bool option;
        int toggled;
        bool shown;
    } cases[] = {
        {false, 0, false}, {true, 0, true}, {false, 1, true}, {true, 1, false}, {false, 2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.option << " toggled " << c.toggled);
        Fakes fakes;
        fakes.serial.ports[1] = FakeSerialDevice::Port::Present;
        frmmain form(fakes.platform(), {nullptr, false, RunOptions().scrollback, c.option});
        ASSERT_TRUE(form.Text1->actions().contains(form.stampMilliseconds));
        for (int i = 0; i < c.toggled; ++i)
            form.stampMilliseconds->trigger();
        EXPECT_EQ(form.stampMilliseconds->isChecked(), c.shown);
        fakes.serial.receive("OK\r\n");
        EXPECT_TRUE((c.shown ? milliseconds : seconds).match(form.Text1->text()).hasMatch())
            << form.Text1->text().toStdString();
    }
}

TEST_F(ReceiveTest, CountsAddUpAcrossBatchesAndModes) {
    showHex(true);
    fakes.serial.receive("abc");
    EXPECT_EQ(counted(), 3);
    showHex(false);
    fakes.serial.receive("\xD6\xD0\xCE\xC4");
    EXPECT_EQ(counted(), 7);
    fakes.serial.receive("\xD6");
    fakes.serial.receive("\xD0");
    EXPECT_EQ(counted(), 9);
    EXPECT_EQ(shown(), u"61 \r62 \r63 \r\u4E2D\u6587\u4E2D");
}

TEST_F(ReceiveTest, OtherEventsAndEmptyBatchesChangeNothing) {
    fakes.serial.receive("x");
    fakes.serial.writes.clear();
    fakes.serial.raiseOtherEvent(1);
    fakes.serial.receive("");
    EXPECT_EQ(shown(), "x");
    EXPECT_EQ(counted(), 1);
    // Nothing received or waiting to be sent is thrown away.
    EXPECT_FALSE(fakes.serial.writes.contains("InBufferCount=0"));
    EXPECT_FALSE(fakes.serial.writes.contains("OutBufferCount=0"));
}

TEST_F(ReceiveTest, BatchesGoToTheEndAndLeaveTheSelectionAlone) {
    fakes.serial.receive("first\r");
    form->Text1->selectAll();
    fakes.serial.receive("second\r");
    fakes.serial.receive("");
    EXPECT_EQ(shown(), "first\rsecond\r");
    EXPECT_EQ(form->Text1->selectedText(), "first\r");
}

TEST_F(ReceiveTest, TheAreaHoldsExactlyWhatCameAfterManyBatches) {
    QString expected;
    for (int i = 0; i < 2000; ++i) {
        const QByteArray line = QByteArray::number(i) + (i % 3 ? "\r" : "\r\r");
        fakes.serial.receive(line);
        expected += QString::fromLatin1(line);
    }
    EXPECT_EQ(shown(), expected);
}

TEST_F(ReceiveTest, SwitchingTheDisplayChangesOnlyLaterBatches) {
    fakes.serial.receive("A");
    showHex(true);
    EXPECT_EQ(shown(), "A");
    fakes.serial.receive("A");
    EXPECT_EQ(shown(), u"A41 \r");
}

// "Frames by silence…" asks for the gap, hands it to the port and keeps it
// for the next start; --frame-gap wins for its run and is not kept.
TEST(FramesBySilence, TheGapAskedForGoesToThePortAndIsKept) {
    QTemporaryDir folder;
    SettingsFile settings(folder.filePath("varnolix.conf"));
    const struct Step {
        const char* what;
        std::optional<int> answer; // to the question, when ticked
        int frameGap;              // given on the command line of a new start
        bool ticked;
        const char* written;
    } steps[] = {
        {"ticked, the question cancelled", std::nullopt, 0, false, ""},
        {"ticked, 15 ms", 15, 0, true, "FrameGap=15"},
        {"started again", {}, 0, true, "FrameGap=15"},
        {"started with --frame-gap 40", {}, 40, true, "FrameGap=40"},
        {"started again", {}, 0, true, "FrameGap=15"},
        {"unticked", {}, 0, false, "FrameGap=0"},
        {"started again", {}, 0, false, ""},
    };
    std::unique_ptr<Fakes> fakes;
    std::unique_ptr<frmmain> form;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (QLatin1String(step.what).startsWith(QLatin1String("started"))) {
            form.reset();
            fakes = std::make_unique<Fakes>();
            fakes->serial.ports[1] = FakeSerialDevice::Port::Present;
            form = std::make_unique<frmmain>(
                fakes->platform(), RunOptions{.settings = &settings, .frameGap = step.frameGap});
        } else {
            if (!form) {
                fakes = std::make_unique<Fakes>();
                fakes->serial.ports[1] = FakeSerialDevice::Port::Present;
                form =
                    std::make_unique<frmmain>(fakes->platform(), RunOptions{.settings = &settings});
            }
            fakes->serial.writes.clear();
            fakes->messages.numbers.push_back(step.answer);
            form->framesBySilence->trigger();
        }
        EXPECT_EQ(form->framesBySilence->isChecked(), step.ticked);
        EXPECT_EQ(fakes->serial.writes.filter("FrameGap").join(u' '), step.written);
    }
}

// A short write into a capture (a full device, a write across the file-size
// limit): one warning with the system's reason in a box and on stderr, then
// everything else goes on. A new file when the path is empty; no limit when 0.
struct ReceiveWithACapture : ::testing::TestWithParam<std::tuple<std::string, rlim_t, int>> {};

TEST_P(ReceiveWithACapture, AFailedWriteStopsTheCaptureOnceAndNothingElse) {
    const auto [file, limit, error] = GetParam();
    QTemporaryDir dir;
    const QString path = file.empty() ? dir.filePath("capture.bin") : QString::fromStdString(file);
    QString why;
    const auto capture = CaptureFile::open(path, &why);
    ASSERT_TRUE(capture);
    Fakes fakes;
    fakes.serial.ports[1] = FakeSerialDevice::Port::Present;
    frmmain form(fakes.platform(), {capture.get()});
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit limited = before;
    limited.rlim_cur = limit ? limit : before.rlim_cur;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    testing::internal::CaptureStderr();
    const QByteArray batch(70000, 'x');
    fakes.serial.receive(batch);
    ASSERT_TRUE(waitUntil([&] { return !fakes.messages.shown.empty(); }));
    fakes.serial.receive(batch);
    capture->flush();
    waitUntil([] { return false; }, 50);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    const std::string said = testing::internal::GetCapturedStderr();

    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    ASSERT_EQ(fakes.messages.texts(), QStringList{"Capture stopped"});
    EXPECT_EQ(fakes.messages.shown[0].icon, MessageBoxes::Icon::Exclamation);
    EXPECT_EQ(fakes.messages.shown[0].detail, path + ": " + reason);
    // After the date and time: "2026-12-07 23:18:16 ".
    EXPECT_EQ(said.substr(20),
              "varnolix: capture to " + (path + " stopped: " + reason).toStdString() + "\n");
    EXPECT_FALSE(capture->capturing());
    EXPECT_EQ(form.Text1->text().size(), 2 * batch.size());
    EXPECT_EQ(form.Label10->text(), "140000");
}
INSTANTIATE_TEST_SUITE_P(ShortWrites, ReceiveWithACapture,
                         ::testing::Values(std::tuple("/dev/full", 0, ENOSPC),
                                           std::tuple("", 1000, EFBIG)),
                         [](const auto& info) {
                             return std::get<2>(info.param) == ENOSPC ? "DiskFull"
                                                                      : "FileSizeLimit";
                         });

} // namespace
