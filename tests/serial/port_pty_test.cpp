#include "platform/qt_serial_device.h"
#include "window/frmmain.h"

#include "support/fakes.h"
#include "support/port_holder.h"
#include "support/pty_pair.h"
#include "support/wait.h"
#include "window/combo_box.h"
#include "window/log_view.h"
#include "window/shape.h"

#include <QPushButton>

#include <gtest/gtest.h>

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
    EXPECT_TRUE(fakes.messages.shown[0].detail.startsWith(com1.portPath()));
    EXPECT_EQ(form.shared.portState, 0);
    EXPECT_EQ(form.Command1->text(), "Open");
    EXPECT_TRUE(form.Combo1->isEnabled());
    EXPECT_EQ(form.Text1->text(), "last line\r");
}

} // namespace
