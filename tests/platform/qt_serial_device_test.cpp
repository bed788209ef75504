#include "platform/qt_serial_device.h"
#include "support/printers.h"

#include "support/port_holder.h"
#include "support/pty_pair.h"
#include "support/wait.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

} // namespace
