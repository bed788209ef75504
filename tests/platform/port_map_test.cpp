#include "platform/port_map.h"
#include "support/printers.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(PortMap, UsbAdaptersComeFirstInNaturalOrder) {
    const QStringList ordered =
        orderSystemPorts({"/dev/ttyS1", "/dev/ttyUSB10", "/dev/ttyS0", "/dev/ttyACM0",
                          "/dev/ttyUSB2", "/dev/ttyS10", "/dev/ttyS2"});
    EXPECT_EQ(ordered, QStringList({"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS0",
                                    "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS10"}));
}

TEST(PortMap, NamedDevicesKeepTheirNumbersAndTheRestFillTheGaps) {
    const auto devices = assignPorts({{1, "/dev/pts/3"}, {3, "/dev/ttyUSB1"}},
                                     {"/dev/ttyS0", "/dev/ttyUSB1", "/dev/ttyUSB0"});
    EXPECT_EQ(devices[1], "/dev/pts/3");
    EXPECT_EQ(devices[2], "/dev/ttyUSB0");
    EXPECT_EQ(devices[3], "/dev/ttyUSB1");
    EXPECT_EQ(devices[4], "/dev/ttyS0");
    EXPECT_EQ(devices[5], "");
    EXPECT_EQ(devices[15], "");
}

TEST(PortMap, NoMoreThanFifteenPorts) {
    QStringList many;
    for (int i = 0; i < 20; ++i)
        many << QStringLiteral("/dev/ttyS%1").arg(i);
    const auto devices = assignPorts({}, many);
    EXPECT_EQ(devices[15], "/dev/ttyS14");
}

TEST(PortMap, SystemPortsGoByTheirStableNames) {
    QTemporaryDir byId;
    QFile::link("/dev/ttyUSB0", byId.filePath("usb-FTDI_FT232R_A5028-if00-port0"));
    QFile::link("/dev/ttyACM0", byId.filePath("usb-Arduino_Uno_7563-if00"));
    const PortMap ports(
        {{4, "/dev/ttyS1"}},
        [] {
            return QStringList{"/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyACM0"};
        },
        byId.path());
    // Numbered in the order of the devices' own names.
    EXPECT_EQ(ports.device(1), byId.filePath("usb-Arduino_Uno_7563-if00"));
    EXPECT_EQ(ports.device(2), byId.filePath("usb-FTDI_FT232R_A5028-if00-port0"));
    EXPECT_EQ(ports.device(3), "/dev/ttyS0");
    EXPECT_EQ(ports.device(4), "/dev/ttyS1");
    EXPECT_TRUE(ports.describe(2).startsWith(byId.filePath("usb-FTDI_FT232R_A5028-if00-port0") +
                                             " (/dev/ttyUSB0)"));
    EXPECT_EQ(ports.describe(5), "No device");
}

TEST(PortMap, ReadsPortOptions) {
    EXPECT_EQ(parsePortOption("COM3=/dev/ttyUSB1"), std::pair(3, QString("/dev/ttyUSB1")));
    EXPECT_EQ(parsePortOption("com15=/tmp/a=b"), std::pair(15, QString("/tmp/a=b")));
    for (const char* bad :
         {"COM0=/dev/x", "COM16=/dev/x", "COM3", "COM3=", "/dev/ttyS0", "3=/dev/x"})
        EXPECT_FALSE(parsePortOption(bad)) << bad;
}

} // namespace
