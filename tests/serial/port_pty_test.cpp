#include "platform/capture_file.h"
#include "platform/port_reader.h"
#include "platform/qt_serial_device.h"
#include "platform/quit_signals.h"
#include "window/frmmain.h"

#include "support/fakes.h"
#include "support/port_holder.h"
#include "support/pty_pair.h"
#include "support/wait.h"
#include "support/window_on_pty.h"
#include "window/combo_box.h"
#include "window/counter.h"
#include "window/log_view.h"
#include "window/shape.h"

#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

struct PortOverAPseudoTerminal : ::testing::Test {
    PtyPair com1, com2;
    QtSerialDevice serial{PortMap({{1, com1.portPath()}, {2, com2.portPath()}})};
    Fakes fakes;
    frmmain form{{serial, fakes.dialog, fakes.timer, fakes.messages, fakes.shell, fakes.events}};

    void choose(int port) {
        form.Combo1->setCurrentIndex(port - 1);
        emit form.Combo1->activated(port - 1);
    }
};

TEST_F(PortOverAPseudoTerminal, TheButtonOpensAndClosesThePort) {
    ASSERT_TRUE(serial.portOpen());
    form.Command1->click();
    EXPECT_FALSE(serial.portOpen());
    EXPECT_EQ(form.Command1->text(), "Open");
    choose(2);
    form.Command1->click();
    EXPECT_TRUE(serial.portOpen());
    EXPECT_EQ(form.Command1->text(), "Close");
    com2.write("on two");
    EXPECT_TRUE(waitUntil([&] { return form.Text1->text() == "on two"; }));
    EXPECT_TRUE(fakes.messages.shown.empty());
}

TEST_F(PortOverAPseudoTerminal, APortHeldByAnotherProgram) {
    form.Command1->click();
    PortHolder holder(com2.portPath());
    ASSERT_TRUE(holder.held());
    choose(2);
    EXPECT_EQ(fakes.messages.texts(), QStringList{"Serial Port Opened"});
    form.Command1->click();
    EXPECT_EQ(fakes.messages.texts(), QStringList({"Serial Port Opened", "Invalid port number"}));
    EXPECT_TRUE(fakes.messages.shown[1].detail.contains("another program"));
    EXPECT_EQ(form.shared.portState, 0);
    EXPECT_EQ(form.Shape1->fillColor(), QColor(0, 0, 0));
}

TEST_F(PortOverAPseudoTerminal, ADeviceThatGoesAwayLeavesTheWindowClosedAndItsDataShown) {
    com1.write("last line\r");
    ASSERT_TRUE(waitUntil([&] { return form.Text1->text() == "last line\r"; }));
    com1.closeDevice();
    ASSERT_TRUE(waitUntil([&] { return !fakes.messages.shown.empty(); }));
    EXPECT_EQ(fakes.messages.texts(), QStringList{"Serial port lost"});
    EXPECT_EQ(fakes.messages.shown[0].detail, com1.portPath() + ": The device was removed.");
    EXPECT_EQ(form.shared.portState, 0);
    EXPECT_EQ(form.Command1->text(), "Open");
    EXPECT_TRUE(form.Combo1->isEnabled());
    EXPECT_EQ(form.Text1->text(), "last line\r");
}

// With reconnecting on, an adapter unplugged and plugged back in is taken up
// again without a box, and what came before the loss is in the capture; an
// Open too early, or a device there that does not open, does not end the wait.
TEST(AReconnectingWindow, OpensTheLostPortAgainWhenItsDeviceIsBack) {
    QTemporaryDir dir;
    const QString link = dir.filePath("usb-adapter");
    auto first = std::make_unique<PtyPair>();
    ASSERT_TRUE(QFile::link(first->portPath(), link));
    QString why;
    const auto capture = CaptureFile::open(dir.filePath("capture.bin"), &why);
    QtSerialDevice serial{PortMap({{1, link}})};
    Fakes fakes;
    frmmain form{{serial, fakes.dialog, fakes.timer, fakes.messages, fakes.shell, fakes.events},
                 {capture.get(), true}};
    ASSERT_EQ(form.shared.portState, 1);
    form.Check1->setChecked(true);
    ASSERT_TRUE(fakes.timer.enabled());
    first->write("before");
    ASSERT_TRUE(waitUntil([&] { return form.Text1->text() == "before"; }));

    testing::internal::CaptureStderr();
    QFile stderrNow("/proc/self/fd/2");
    stderrNow.open(QIODevice::ReadOnly);
    QByteArray said;
    const auto lines = [&] { return (said += stderrNow.readAll()).count("varnolix: "); };
    first.reset();
    ASSERT_TRUE(waitUntil([&] { return form.shared.portState == 0; }));
    EXPECT_EQ(form.Command1->text(), "Open");
    // The status bar says what is waited for since when, as a screen reader reads it.
    const auto statusReads = [&](const char* pattern) {
        const QRegularExpression expected(pattern);
        EXPECT_TRUE(expected.match(form.portWait->text()).hasMatch())
            << form.portWait->text().toStdString();
        EXPECT_EQ(QAccessible::queryAccessibleInterface(form.portWait)->text(QAccessible::Name),
                  form.portWait->text());
        EXPECT_TRUE(form.portWait->isVisibleTo(&form));
    };
    statusReads("^COM1 lost at \\d\\d:\\d\\d:\\d\\d, waiting for it$");
    QFile captured(dir.filePath("capture.bin"));
    captured.open(QIODevice::ReadOnly);
    EXPECT_EQ(captured.readAll(), "before");

    form.Command1->click();
    EXPECT_EQ(fakes.messages.texts(), QStringList{"Invalid port number"});
    const int opens = ::inotify_init1(IN_NONBLOCK);
    ::inotify_add_watch(opens, QFile::encodeName(captured.fileName()).constData(), IN_OPEN);
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(captured.fileName(), link));
    // Six tries to open a regular file, and one line says why.
    std::array<inotify_event, 8> events{};
    ssize_t seen = 0;
    EXPECT_TRUE(waitUntil([&] {
        return (seen += std::max<ssize_t>(0, ::read(opens, &events, sizeof events))) >=
               6 * ssize_t(sizeof(inotify_event));
    }));
    ::close(opens);
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(dir.path(), link));
    EXPECT_TRUE(waitUntil([&] { return lines() == 3; }));

    PtyPair second;
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(second.portPath(), link));
    ASSERT_TRUE(waitUntil([&] { return form.shared.portState == 1; }, 1000));
    EXPECT_TRUE(serial.portOpen());
    EXPECT_EQ(form.Command1->text(), "Close");
    EXPECT_EQ(form.Shape1->fillColor(), QColor(0, 255, 0));
    EXPECT_FALSE(form.Combo1->isEnabled());
    statusReads("^COM1 back at \\d\\d:\\d\\d:\\d\\d$");
    // A repeat that ran stays stopped: restarting it would send unasked.
    EXPECT_FALSE(form.Check1->isChecked());
    EXPECT_FALSE(fakes.timer.enabled());
    second.write(" after");
    EXPECT_TRUE(waitUntil([&] { return form.Text1->text() == "before after"; }));
    EXPECT_EQ(fakes.messages.texts(), QStringList{"Invalid port number"});
    lines();
    testing::internal::GetCapturedStderr();
    const QStringList told = QString(said).split(u'\n').filter("varnolix: ");
    ASSERT_EQ(told.size(), 4) << said.toStdString();
    EXPECT_TRUE(told[0].contains(" lost: ") && told[1].contains(std::strerror(ENOTTY)) &&
                told[2].contains(std::strerror(EISDIR)) && told[3].contains(" back: "));
    // Each line says when: a night's log tells when the board went and came back.
    for (const QString& line : told)
        EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d varnolix: COM1 ")
                        .match(line)
                        .hasMatch())
            << line.toStdString();
}

void choose(ComboBox* combo, const QString& entry) {
    const int index = combo->findText(entry);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// An adapter plugged in after start-up: whatever the user does first, the
// port shown open receives.
TEST(APortPluggedInLater, ReceivesOnceShownOpen) {
    struct Case {
        const char* name;
        std::function<void(frmmain&)> before;
        const char* settings;
    };
    const Case cases[] = {
        {"Open at once", [](frmmain&) {}, "9600,N,8,1"},
        {"COM1 chosen first", [](frmmain& f) { choose(f.Combo1, "COM1"); }, "9600,N,8,1"},
        {"a baud rate, then COM1",
         [](frmmain& f) {
             choose(f.Combo2, "19200");
             choose(f.Combo1, "COM1");
         },
         "19200,N,8,1"},
        {"a baud rate only", [](frmmain& f) { choose(f.Combo2, "19200"); }, "19200,N,8,1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyUSB0");
        QtSerialDevice serial{PortMap({{1, link}})};
        Fakes fakes;
        frmmain form{
            {serial, fakes.dialog, fakes.timer, fakes.messages, fakes.shell, fakes.events}};
        ASSERT_EQ(form.shared.portState, 0);
        PtyPair device;
        ASSERT_TRUE(QFile::link(device.portPath(), link));
        c.before(form);
        form.Command1->click();
        EXPECT_TRUE(fakes.messages.shown.empty());
        ASSERT_TRUE(serial.portOpen());
        EXPECT_EQ(serial.settings(), c.settings);
        device.write("hello");
        EXPECT_TRUE(waitUntil([&] { return form.Text1->text() == "hello"; }));
    }
}

// COMn stays with the device it was probed on: when that adapter is gone and
// another takes its place in the system's list, Open refuses rather than
// open the other one, until the user chooses the port again.
TEST(APortNumber, KeepsItsDeviceUntilChosenAgain) {
    std::array<std::unique_ptr<PtyPair>, 2> adapters{std::make_unique<PtyPair>(),
                                                     std::make_unique<PtyPair>()};
    QStringList listed{adapters[0]->portPath(), adapters[1]->portPath()};
    QtSerialDevice serial{PortMap({}, [&] { return listed; })};
    Fakes fakes;
    frmmain form{{serial, fakes.dialog, fakes.timer, fakes.messages, fakes.shell, fakes.events}};
    ASSERT_TRUE(serial.portOpen());
    form.Command1->click();
    // The adapter on COM1 is unplugged; the other one now comes first.
    const int first = orderSystemPorts(listed).constFirst() == listed[0] ? 0 : 1;
    const QString gone = listed.takeAt(first);
    adapters[first].reset();
    PtyPair& other = *adapters[1 - first];

    form.Command1->click();
    ASSERT_EQ(fakes.messages.texts(), QStringList{"Invalid port number"});
    EXPECT_TRUE(fakes.messages.shown[0].detail.contains(gone + ") is gone"));
    EXPECT_FALSE(serial.portOpen());
    EXPECT_EQ(form.shared.portState, 0);

    choose(form.Combo1, "COM1");
    form.Command1->click();
    ASSERT_TRUE(serial.portOpen());
    other.write("other");
    EXPECT_TRUE(waitUntil([&] { return form.Text1->text() == "other"; }));
}

// Bytes the port has read and the window not yet shown are shown, counted
// and captured before the port closes: at Close, when the device goes away,
// and when the program is told to end.
// The port's reader holds as much as it may, so that more waits in the
// driver, not read yet: a close and SIGTERM show, count and capture all of it
// before the port closes. A device that goes away takes what its driver held
// with it; what was read is still shown.
TEST(BytesInFlight, AreShownCountedAndCapturedBeforeThePortCloses) {
    struct Case {
        const char* name;
        std::function<void(frmmain&, PtyPair&)> end;
        bool driverKept;
    };
    const Case cases[] = {
        {"Close", [](frmmain& f, PtyPair&) { f.Command1->click(); }, true},
        {"the device gone", [](frmmain&, PtyPair& device) { device.closeDevice(); }, false},
        {"SIGTERM", [](frmmain&, PtyPair&) { std::raise(SIGTERM); }, true},
    };
    // Written without letting the window take anything meanwhile.
    const auto deviceWrites = [](PtyPair& device, const QByteArray& bytes) {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n =
                ::write(device.deviceEnd(), bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            pollfd room{device.deviceEnd(), POLLOUT, 0};
            ::poll(&room, 1, 100);
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WindowOnPty w;
        QuitSignals quitSignals;
        QObject::connect(&quitSignals, &QuitSignals::received, &w.form, &QWidget::close);
        w.form.show();
        ASSERT_TRUE(w.serial.portOpen());
        const QByteArray held(PortReader::HoldLimit, 'x');
        const QByteArray inDriver = QByteArray("in flight ").repeated(300);
        deviceWrites(w.device, held);
        ASSERT_TRUE(waitOffTheLoop([&] { return w.serial.bytesWaiting() == held.size(); }));
        deviceWrites(w.device, inDriver);
        c.end(w.form, w.device);
        ASSERT_TRUE(waitUntil([&] { return !w.serial.portOpen(); }));
        const QByteArray all = c.driverKept ? held + inDriver : held;
        EXPECT_EQ(w.form.Label10->text(), QString::number(all.size()));
        EXPECT_TRUE(w.form.Text1->text().endsWith(QString::fromLatin1(all.right(3000))));
        EXPECT_TRUE(waitUntil([&] { return w.captured() == all; }, 1000));
    }
}

} // namespace
