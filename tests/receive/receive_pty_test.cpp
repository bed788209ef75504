#include "platform/qt_serial_device.h"
#include "window/frmmain.h"

#include "support/fakes.h"
#include "support/pty_pair.h"
#include "support/wait.h"
#include "window/counter.h"
#include "window/log_view.h"

#include <QLabel>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace {

// Bytes written on the device's end appear in the window, in order, whatever
// the display mode and the component's input mode.
TEST(ReceiveOverAPseudoTerminal, BytesFromTheDeviceAppearInOrder) {
    PtyPair device;
    QtSerialDevice serial{PortMap({{1, device.portPath()}})};
    Fakes fakes;
    frmmain form({serial, fakes.dialog, fakes.timer, fakes.messages, fakes.shell, fakes.events});
    ASSERT_TRUE(serial.portOpen());

    struct Step {
        bool hex;
        int inputMode;
        QByteArray bytes;
        std::u16string shown;
    };
    const Step steps[] = {
        {false, comm::InputModeBinary, "\xD6", u""},
        {false, comm::InputModeText, "\xD0 ok", u"\u4E2D ok"},
        {true, comm::InputModeText, "A\x01", u"41 \r01 \r"},
        {true, comm::InputModeBinary, QByteArray("\xFF\x00", 2), u"FF \r00 \r"},
    };
    QString expected;
    long long count = 0;
    for (const Step& step : steps) {
        (step.hex ? form.Option1 : form.Option2)->setChecked(true);
        serial.setInputMode(step.inputMode);
        device.write(step.bytes);
        expected += QString::fromStdU16String(step.shown);
        count += step.bytes.size();
        ASSERT_TRUE(waitUntil([&] { return form.Label10->text().toLongLong() == count; }))
            << form.Label10->text().toStdString();
        EXPECT_EQ(form.Text1->text(), expected);
    }
}

} // namespace
