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

// Through a double of the system's list: a USB adapter with its stable
// name, a plain port, a path named on the command line that is not there, and
// numbers with nothing behind them.
TEST(PortMap, SystemPortsGoByTheirStableNamesAndAreDescribed) {
    QTemporaryDir byId;
    QFile::link("/dev/ttyUSB0", byId.filePath("usb-FTDI_FT232R_A5028-if00-port0"));
    QFile::link("/dev/ttyACM0", byId.filePath("usb-Arduino_Uno_7563-if00"));
    const PortMap ports(
        {{4, "/dev/ttyS1"}, {6, "/nonexistent/ttyUSB9"}},
        [] {
            return QList<PortFacts>{{.device = "/dev/ttyUSB0",
                                     .manufacturer = "FTDI",
                                     .product = "FT232R USB UART",
                                     .serialNumber = "A5028",
                                     .vendorId = 0x0403,
                                     .productId = 0x6001},
                                    {.device = "/dev/ttyS0"},
                                    // An adapter that does not say who made it.
                                    {.device = "/dev/ttyACM0",
                                     .product = "Uno",
                                     .vendorId = 0x2341,
                                     .productId = 0x43}};
        },
        byId.path());
    // Numbered in the order of the devices' own names.
    EXPECT_EQ(ports.device(1), byId.filePath("usb-Arduino_Uno_7563-if00"));
    EXPECT_EQ(ports.device(2), byId.filePath("usb-FTDI_FT232R_A5028-if00-port0"));
    EXPECT_EQ(ports.device(3), "/dev/ttyS0");
    EXPECT_EQ(ports.device(4), "/dev/ttyS1");

    const QString ftdi = byId.filePath("usb-FTDI_FT232R_A5028-if00-port0");
    const QString uno = byId.filePath("usb-Arduino_Uno_7563-if00");
    const struct {
        int number;
        QString described, listed;
    } expected[] = {
        {1, "/dev/ttyACM0\n" + uno + "\nProduct: Uno\nVID:PID 2341:0043",
         "COM1\t/dev/ttyACM0\t" + uno + "\t\tUno\t\t2341:0043"},
        {2,
         "/dev/ttyUSB0\n" + ftdi +
             "\nMaker: FTDI\nProduct: FT232R USB UART\nSerial number: A5028\nVID:PID 0403:6001",
         "COM2\t/dev/ttyUSB0\t" + ftdi + "\tFTDI\tFT232R USB UART\tA5028\t0403:6001"},
        {3, "/dev/ttyS0", "COM3\t/dev/ttyS0"},
        {5, "No device", ""},
        {6, "No device at /nonexistent/ttyUSB9", ""},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.number);
        EXPECT_EQ(ports.describe(e.number), e.described);
        const auto facts = ports.facts(e.number);
        EXPECT_EQ(facts && facts->present ? listedPort(e.number, *facts) : QString(), e.listed);
    }
}

TEST(PortMap, ReadsPortOptions) {
    EXPECT_EQ(parsePortOption("COM3=/dev/ttyUSB1"), std::pair(3, QString("/dev/ttyUSB1")));
    EXPECT_EQ(parsePortOption("com15=/tmp/a=b"), std::pair(15, QString("/tmp/a=b")));
    for (const char* bad :
         {"COM0=/dev/x", "COM16=/dev/x", "COM3", "COM3=", "/dev/ttyS0", "3=/dev/x"})
        EXPECT_FALSE(parsePortOption(bad)) << bad;
}

} // namespace
