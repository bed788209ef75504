#include "window/frmmain.h"

#include "support/fakes.h"

#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using Port = FakeSerialDevice::Port;

struct ProbeTest : ::testing::Test {
    Fakes fakes;
    std::unique_ptr<frmmain> form;

    void SetUp() override {
        fakes.serial.ports = {{1, Port::Present}, {2, Port::Present}, {3, Port::Held}};
        form = std::make_unique<frmmain>(fakes.platform());
        fakes.serial.setPortOpen(false);
        fakes.serial.writes.clear();
    }
};

struct Decision {
    std::int16_t port;
    std::int16_t currentPort;
    const char* caption;
    bool probed;
    bool answer;
    QStringList messages;
};

TEST_F(ProbeTest, ProbesUnlessThePortIsTheOneShownOpen) {
    const Decision decisions[] = {
        {2, 1, "Close", true, true, {}},
        {1, 1, "Close", false, false, {}},
        {1, 1, "Open", true, true, {}},
        // The comparison is exact.
        {1, 1, "open", false, false, {}},
        {1, 0, "Command1", true, true, {}},
        {3, 1, "Close", true, false, {"Serial Port Opened"}},
        {4, 1, "Close", true, false, {}},
    };
    for (const Decision& d : decisions) {
        SCOPED_TRACE(testing::Message() << d.port << " " << d.currentPort << " " << d.caption);
        fakes.serial.writes.clear();
        fakes.messages.shown.clear();
        form->shared.currentPort = d.currentPort;
        form->Command1->setText(d.caption);

        EXPECT_EQ(form->ProbePort(d.port), d.answer);
        EXPECT_EQ(!fakes.serial.writes.isEmpty(), d.probed);
        EXPECT_EQ(fakes.messages.texts(), d.messages);
        EXPECT_FALSE(fakes.serial.portOpen());
    }
}

TEST_F(ProbeTest, SetupPortWritesTheWholeConfigurationInOrder) {
    form->shared.commSettings = "19200,E,7,2";
    form->SetupPort(4);
    EXPECT_EQ(fakes.serial.writes,
              QStringList({"CommPort=4", "OutBufferSize=1024", "InBufferSize=1024", "InputMode=1",
                           "InputLen=0", "InBufferCount=0", "SThreshold=1", "RThreshold=1",
                           "Settings=19200,E,7,2"}));
    EXPECT_FALSE(fakes.serial.portOpen());
    EXPECT_EQ(fakes.serial.settings(), "19200,E,7,2");
}

TEST_F(ProbeTest, SetupPortPassesARefusedWriteToItsCaller) {
    form->shared.commSettings = "9600,,8,1";
    EXPECT_THROW(form->SetupPort(2), CommError);
    EXPECT_EQ(fakes.serial.settings(), "9600,N,8,1");
    EXPECT_EQ(fakes.serial.writes.last(), "Settings=9600,,8,1");
}

} // namespace
