#include "platform/qt_serial_device.h"
#include "support/printers.h"

#include "support/fake_line_control.h"
#include "support/port_holder.h"
#include "support/pty_pair.h"
#include "support/wait.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <termios.h>

namespace {

struct QtSerialDeviceTest : ::testing::Test {
    PtyPair device;
    QtSerialDevice serial{PortMap({{1, device.portPath()}, {2, "/dev/varnolix-no-such-port"}})};

    void openConfigured() {
        serial.setCommPort(1);
        serial.setInputMode(comm::InputModeBinary);
        serial.setInputLen(0);
        serial.setRThreshold(1);
        serial.setSettings("9600,N,8,1");
        serial.setPortOpen(true);
    }
};

int refusal(const std::function<void()>& action) {
    try {
        action();
    } catch (const CommError& error) {
        return error.number();
    }
    return 0;
}

TEST_F(QtSerialDeviceTest, AByteFromTheDeviceRaisesAReceiveEvent) {
    openConfigured();
    ASSERT_TRUE(serial.portOpen());
    QByteArray received;
    QObject::connect(&serial, &SerialDevice::onComm, [&] {
        ASSERT_EQ(serial.commEvent(), comm::EvReceive);
        received += serial.input();
    });
    device.write("\xA5");
    ASSERT_TRUE(waitUntil([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received, QByteArray("\xA5"));
}

TEST_F(QtSerialDeviceTest, OutputReachesTheDeviceByteForByte) {
    openConfigured();
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    serial.output(all);
    EXPECT_EQ(device.read(all.size()), all);
}

TEST_F(QtSerialDeviceTest, BytesHandedOverGoOutEvenWhenThePortClosesAtOnce) {
    openConfigured();
    for (char byte : QByteArray("one byte at a time"))
        serial.output(QByteArrayView(&byte, 1));
    serial.output(QByteArray(10000, 'x'));
    serial.setPortOpen(false);
    EXPECT_EQ(device.read(10018), QByteArray("one byte at a time") + QByteArray(10000, 'x'));
}

// A UART's driver keeps what it took in its output queue for as long as the
// flow is held: those bytes are not sent yet, and a close drops them unsent.
TEST_F(QtSerialDeviceTest, BytesCountAsSentOnceTheyLeftTheDriversQueue) {
    const auto detach = qScopeGuard([] { fake_lines::detach(); });
    ASSERT_TRUE(fake_lines::attach(device.portPath().toStdString()));
    openConfigured();
    QSignalSpy taken(&serial, &SerialDevice::outputTaken);
    fake_lines::setOutputQueued(40);
    serial.output(QByteArray(100, 'x'));
    ASSERT_TRUE(waitUntil([&] { return serial.bytesAccepted() == 60; }));
    EXPECT_EQ(serial.bytesToWrite(), 40);
    // The queue drains without an event of its own.
    taken.clear();
    fake_lines::setOutputQueued(10);
    EXPECT_TRUE(waitUntil([&] { return !taken.isEmpty(); }));
    EXPECT_EQ(serial.bytesAccepted(), 90);
    serial.setPortOpen(false);
    EXPECT_EQ(serial.bytesAccepted(), 90);
}

TEST_F(QtSerialDeviceTest, ClosingOverAFullDriverIsNoLoss) {
    openConfigured();
    QSignalSpy lost(&serial, &SerialDevice::portLost);
    // The device reads nothing, so the driver fills up.
    serial.output(QByteArray(256 << 10, 'x'));
    ASSERT_TRUE(waitUntil([&] { return serial.bytesAccepted() > 0; }));
    serial.setPortOpen(false);
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(lost.count(), 0);
    EXPECT_FALSE(serial.portOpen());
    EXPECT_EQ(serial.bytesToWrite(), 0);
    // The device gets exactly what the driver took.
    EXPECT_EQ(device.read(serial.bytesAccepted() + 1, 500).size(), serial.bytesAccepted());
}

TEST_F(QtSerialDeviceTest, NoReceiveEventsWithoutAThreshold) {
    serial.setCommPort(1);
    serial.setPortOpen(true);
    QSignalSpy events(&serial, &SerialDevice::onComm);
    device.write("x");
    serial.output("ping");
    ASSERT_EQ(device.read(4), QByteArray("ping"));
    EXPECT_EQ(events.count(), 0);
}

// Held by its own path or behind a link, a port is the device's, and so is
// its lock.
TEST_F(QtSerialDeviceTest, APortHeldByAnotherProgramIsRefusedWith8005) {
    QTemporaryDir dir;
    const QString link = dir.filePath("usb-adapter");
    ASSERT_TRUE(QFile::link(device.portPath(), link));
    PortHolder holder(device.portPath());
    ASSERT_TRUE(holder.held());
    for (const QString& path : {device.portPath(), link}) {
        SCOPED_TRACE(path.toStdString());
        QtSerialDevice other{PortMap({{1, path}})};
        other.setCommPort(1);
        try {
            other.setPortOpen(true);
            ADD_FAILURE() << "opened";
        } catch (const CommError& error) {
            EXPECT_EQ(error.number(), comm::PortAlreadyOpen);
            EXPECT_TRUE(error.reason().contains(QString("process %1").arg(holder.pid())))
                << error.reason().toStdString();
        }
        EXPECT_FALSE(other.portOpen());
    }
}

TEST_F(QtSerialDeviceTest, RefusalsThatAreNot8005) {
    serial.setCommPort(2);
    EXPECT_EQ(refusal([&] { serial.setPortOpen(true); }), comm::NoSuchDevice);
    serial.setCommPort(9);
    EXPECT_EQ(refusal([&] { serial.setPortOpen(true); }), comm::NoSuchDevice);
    EXPECT_EQ(refusal([&] { serial.output("x"); }), comm::PortNotOpen);
    EXPECT_EQ(refusal([&] { serial.setCommPort(16); }), comm::NoSuchDevice);
}

TEST_F(QtSerialDeviceTest, ARefusedSettingsStringChangesNothing) {
    serial.setSettings("19200,O,8,1");
    EXPECT_EQ(refusal([&] { serial.setSettings("9600,X,8,1"); }), comm::InvalidSettings);
    EXPECT_EQ(serial.settings(), "19200,O,8,1");

    openConfigured();
    // A pseudo-terminal has no even parity: refused whole while open.
    EXPECT_EQ(refusal([&] { serial.setSettings("4800,E,8,1"); }), comm::InvalidSettings);
    EXPECT_EQ(serial.settings(), "9600,N,8,1");
    EXPECT_TRUE(serial.portOpen());
    serial.setSettings("115200,O,8,2");
    EXPECT_EQ(serial.settings(), "115200,O,8,2");
}

TEST_F(QtSerialDeviceTest, SettingsAGoneDeviceRefusesAreARefusalNotALoss) {
    openConfigured();
    QSignalSpy lost(&serial, &SerialDevice::portLost);
    device.closeDevice();
    EXPECT_EQ(refusal([&] { serial.setSettings("19200,N,8,1"); }), comm::InvalidSettings);
    EXPECT_EQ(lost.count(), 0);
    EXPECT_EQ(serial.settings(), "9600,N,8,1");
    // The loss itself is noticed by the next read.
    EXPECT_TRUE(waitUntil([&] { return lost.count() == 1; }));
}

TEST_F(QtSerialDeviceTest, ThePortCannotBeChangedWhileOpen) {
    openConfigured();
    EXPECT_EQ(refusal([&] { serial.setCommPort(2); }), comm::PortAlreadyOpen);
    EXPECT_EQ(refusal([&] { serial.setPortOpen(true); }), comm::PortAlreadyOpen);
    EXPECT_EQ(serial.commPort(), 1);
    serial.setPortOpen(false);
    EXPECT_FALSE(serial.portOpen());
    serial.setCommPort(2);
}

TEST_F(QtSerialDeviceTest, ADeviceThatGoesAwayClosesThePortOnceAndKeepsItsLastBytes) {
    openConfigured();
    QByteArray received;
    QObject::connect(&serial, &SerialDevice::onComm, [&] { received += serial.input(); });
    QSignalSpy lost(&serial, &SerialDevice::portLost);
    device.write("last words");
    ASSERT_TRUE(waitUntil([&] { return received.size() == 10; }));
    device.closeDevice();
    ASSERT_TRUE(waitUntil([&] { return lost.count() > 0; }));
    EXPECT_FALSE(serial.portOpen());
    EXPECT_EQ(received, QByteArray("last words"));
    EXPECT_EQ(lost.first().at(0).toString(), device.portPath());
    EXPECT_EQ(lost.first().at(1).toString(), "The device was removed.");
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(lost.count(), 1);
}

// The device's driver is played by fake_line_control where it has modem lines.
TEST_F(QtSerialDeviceTest, LineControlReachesTheDeviceAndItsLinesComeBack) {
    struct Case {
        const char* name;
        bool lines;   // modem lines, break and error counts
        bool waiting; // the driver can wait for the lines to change
        int flow;
        bool dtr, rts;             // wanted
        bool deviceDtr, deviceRts; // as the device has them after the open
    };
    const Case cases[] = {
        {"lines waited for, XON/XOFF", true, true, comm::HandshakeXonXoff, false, true, false,
         true},
        // The kernel drives RTS under RTS/CTS: the component leaves it.
        {"lines read in turn, RTS/CTS", true, false, comm::HandshakeRtsCts, true, false, true,
         true},
        {"plain pseudo-terminal", false, false, comm::HandshakeNone, false, true, false, false},
    };
    const auto detach = qScopeGuard([] { fake_lines::detach(); });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.lines) {
            ASSERT_TRUE(fake_lines::attach(device.portPath().toStdString()));
            fake_lines::supportWaiting(c.waiting);
            fake_lines::setCounts({4, 3, 2, 1});
        }
        serial.setHandshaking(c.flow);
        serial.setDTREnable(c.dtr);
        serial.setRTSEnable(c.rts);
        openConfigured();
        EXPECT_EQ(serial.lineOffer(),
                  (c.lines ? LineOffer{true, true, true, true, true} : LineOffer{}));
        EXPECT_EQ(fake_lines::dtr(), c.deviceDtr);
        EXPECT_EQ(fake_lines::rts(), c.deviceRts);
        termios line{};
        ASSERT_EQ(::tcgetattr(device.deviceEnd(), &line), 0);
        EXPECT_EQ(bool(line.c_iflag & IXON), c.flow == comm::HandshakeXonXoff);
        EXPECT_FALSE(line.c_iflag & IXANY);
        EXPECT_EQ(bool(line.c_cflag & CRTSCTS), c.flow == comm::HandshakeRtsCts);
        EXPECT_EQ(refusal([&] { serial.setHandshaking(3); }), comm::InvalidSettings);
        EXPECT_EQ(serial.handshaking(), c.flow);

        QSignalSpy changed(&serial, &SerialDevice::lineChanged);
        fake_lines::setInputs({.cts = true, .dcd = true});
        fake_lines::setCounts({6, 3, 2, 4});
        const ModemLines up{.cts = true, .dcd = true, .dtr = c.deviceDtr, .rts = c.deviceRts};
        const bool cameBack = waitUntil(
            [&] {
                return serial.modemLines() == up && serial.lineErrors() == LineErrors{2, 0, 0, 3};
            },
            c.lines ? 5000 : 300);
        EXPECT_EQ(cameBack, c.lines);
        EXPECT_EQ(changed.isEmpty(), !c.lines);
        serial.resetLineErrors();
        EXPECT_EQ(serial.lineErrors(), LineErrors{});
        // A break lasts its length while the window is busy for longer.
        serial.sendBreak(250);
        EXPECT_EQ(fake_lines::breakOn(), c.lines);
        QThread::msleep(600);
        EXPECT_FALSE(fake_lines::breakOn());
        // The notice of its end, which came meanwhile.
        QCoreApplication::processEvents();
        EXPECT_NEAR(fake_lines::lastBreakMs(), c.lines ? 255 : 0, 5);

        // A close ends a break still on, and at once a watch that waits in the driver.
        serial.sendBreak(250);
        ASSERT_TRUE(waitOffTheLoop([&] { return fake_lines::waiting() == int(c.waiting); }));
        QElapsedTimer closing;
        closing.start();
        serial.setPortOpen(false);
        EXPECT_LT(closing.elapsed(), 2000);
        EXPECT_EQ(fake_lines::waiting(), 0);
        EXPECT_FALSE(fake_lines::breakOn());
        EXPECT_EQ(fake_lines::breaks(), c.lines ? 2 : 0);
        EXPECT_EQ(serial.lineOffer(), LineOffer{});
        fake_lines::detach();
    }
}

} // namespace
