#include "window/frmmain.h"

#include "support/fakes.h"
#include "window/combo_box.h"
#include "window/shape.h"

#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using Port = FakeSerialDevice::Port;

const QStringList probe = {"CommPort=1", "PortOpen=true", "PortOpen=false"};
const QStringList setupAndOpen = {"CommPort=1",   "OutBufferSize=1024", "InBufferSize=1024",
                                  "InputMode=1",  "InputLen=0",         "InBufferCount=0",
                                  "SThreshold=1", "RThreshold=1",       "Settings=9600,N,8,1",
                                  "PortOpen=true"};

struct StartUp {
    const char* name;
    Port com1;
    bool openRefusedAfterProbe;
    bool shownOpen;
    QStringList messages;
    QStringList writes;
    const char* commSettings;
};

const StartUp startUps[] = {
    {"present and free", Port::Present, false, true, {}, probe + setupAndOpen, "9600,N,8,1"},
    {"absent", Port::Absent, false, false, {}, {"CommPort=1", "PortOpen=true"}, ""},
    {"held by another program",
     Port::Held,
     false,
     false,
     {"Serial Port Opened"},
     {"CommPort=1", "PortOpen=true"},
     ""},
    {"refusing the open after the probe",
     Port::Present,
     true,
     false,
     {"Invalid port number"},
     probe + setupAndOpen,
     "9600,N,8,1"},
};

TEST(FormLoad, OpensComOneWhenItAnswersAndShowsTheTruth) {
    for (const StartUp& s : startUps) {
        SCOPED_TRACE(s.name);
        Fakes fakes;
        fakes.serial.ports[1] = s.com1;
        int opens = 0;
        fakes.serial.beforeWrite = [&](const QString& write) {
            if (write == "PortOpen=true" && ++opens == 2 && s.openRefusedAfterProbe)
                throw CommError(comm::DeviceFailed, "/dev/fake1: Input/output error");
        };
        frmmain form(fakes.platform());

        EXPECT_EQ(fakes.serial.writes, s.writes);
        EXPECT_EQ(fakes.messages.texts(), s.messages);
        EXPECT_EQ(fakes.serial.portOpen(), s.shownOpen);
        EXPECT_EQ(form.shared.portState, s.shownOpen ? 1 : 0);
        EXPECT_EQ(form.Command1->text(), s.shownOpen ? "Close" : "Open");
        EXPECT_EQ(form.Shape1->fillColor(), s.shownOpen ? QColor(0, 255, 0) : QColor(0, 0, 0));
        EXPECT_EQ(form.Combo1->isEnabled(), !s.shownOpen);
        EXPECT_EQ(form.shared.commSettings, s.commSettings);

        EXPECT_EQ(form.shared.currentPort, 1);
        EXPECT_EQ(form.shared.showAsText, 1);
        EXPECT_EQ(form.shared.sendAsText, 1);
        EXPECT_EQ(form.shared.repeatActive, 0);
        EXPECT_EQ(form.shared.repeatInterval, 0);
        EXPECT_TRUE(form.shared.lineEnding.isEmpty());
        EXPECT_TRUE(form.shared.parityLetter.isEmpty());
        EXPECT_EQ(form.Text3->text(), "1000");
        EXPECT_FALSE(fakes.timer.enabled());
    }
}

TEST(FormLoad, ARefusedOpenSaysWhy) {
    Fakes fakes;
    fakes.serial.ports[1] = Port::Present;
    int opens = 0;
    fakes.serial.beforeWrite = [&](const QString& write) {
        if (write == "PortOpen=true" && ++opens == 2)
            throw CommError(comm::DeviceFailed, "/dev/fake1: Input/output error");
    };
    frmmain form(fakes.platform());
    ASSERT_EQ(fakes.messages.shown.size(), 1u);
    EXPECT_EQ(fakes.messages.shown[0].icon, MessageBoxes::Icon::Exclamation);
    EXPECT_EQ(fakes.messages.shown[0].detail, "/dev/fake1: Input/output error");
}

} // namespace
