#include "window/frmmain.h"

#include "support/fakes.h"
#include "support/window_on_fakes.h"
#include "window/counter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace {

struct RepeatTest : WindowOnFakes {

    void SetUp() override {
        WindowOnFakes::SetUp();
        form->Text2->setPlainText("A");
    }
    void expectIdle() {
        EXPECT_EQ(form->shared.repeatActive, 0);
        EXPECT_FALSE(fakes.timer.enabled());
        EXPECT_FALSE(form->Check1->isChecked());
    }
};

TEST_F(RepeatTest, TicksSendUntilUnticked) {
    form->Check1->setChecked(true);
    EXPECT_EQ(form->shared.repeatActive, 1);
    EXPECT_EQ(form->shared.repeatInterval, 1000);
    EXPECT_TRUE(fakes.timer.enabled());
    EXPECT_EQ(fakes.timer.interval(), 1000);
    EXPECT_EQ(fakes.serial.sent, "") << "the first send comes one interval later";
    fakes.timer.elapse();
    fakes.timer.elapse();
    EXPECT_EQ(fakes.serial.sent, "AA");
    form->Check1->setChecked(false);
    expectIdle();
    fakes.timer.elapse();
    EXPECT_EQ(fakes.serial.sent, "AA");
}

TEST_F(RepeatTest, EachTickUsesTheModeAndTextOfItsTime) {
    form->Text3->setText("250.5");
    form->Check1->setChecked(true);
    EXPECT_EQ(fakes.timer.interval(), 250);
    fakes.timer.elapse();
    form->Option3->setChecked(true);
    form->Text2->setPlainText("42");
    fakes.timer.elapse();
    // The Send button adds one send; the interval is read only at the start.
    form->Text3->setText("10");
    form->Command2->click();
    EXPECT_EQ(fakes.serial.sent, "ABB");
    EXPECT_EQ(fakes.timer.interval(), 250);
}

TEST_F(RepeatTest, TickingWhileClosedUnticksAtOnce) {
    form->Command1->click();
    fakes.messages.shown.clear();
    form->Check1->setChecked(true);
    expectIdle();
    EXPECT_TRUE(fakes.messages.shown.empty());
}

TEST_F(RepeatTest, ClosingThePortStopsItAndReopeningDoesNotRestartIt) {
    form->Check1->setChecked(true);
    form->Command1->click();
    expectIdle();
    form->Command1->click();
    expectIdle();
}

TEST_F(RepeatTest, AnIntervalOutsideOneTo32767IsRefused) {
    for (const char* text : {"abc", "0", "0.4", "-5", "32767.5", "1e9", ""}) {
        SCOPED_TRACE(text);
        fakes.messages.shown.clear();
        form->Text3->setText(text);
        form->Check1->setChecked(true);
        expectIdle();
        ASSERT_EQ(fakes.messages.texts(), QStringList{"Invalid interval"});
        EXPECT_EQ(fakes.messages.shown[0].icon, MessageBoxes::Icon::Exclamation);
    }
    form->Text3->setText("32767");
    form->Check1->setChecked(true);
    EXPECT_EQ(fakes.timer.interval(), 32767);
}

TEST_F(RepeatTest, TicksDuringAMessageBoxDoNotOpenMoreBoxes) {
    form->Option3->setChecked(true);
    form->Text2->setPlainText("ZZ");
    form->Check1->setChecked(true);
    int nested = 0;
    fakes.messages.whileOpen = [&] {
        ++nested;
        fakes.timer.elapse();
        fakes.timer.elapse();
    };
    fakes.timer.elapse();
    EXPECT_EQ(nested, 1);
    fakes.messages.whileOpen = nullptr;
    fakes.timer.elapse();
    EXPECT_EQ(fakes.messages.texts(), QStringList({"hex err", "hex err"}));
}

} // namespace
