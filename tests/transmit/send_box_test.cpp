#include "window/frmmain.h"

#include "support/window_with_settings.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <functional>

namespace {

// The keyboard in the send box.
struct SendBoxTest : WindowWithSettings {
    void SetUp() override {
        WindowWithSettings::SetUp();
        form->Text2->setFocus();
    }
    void type(const QString& text, bool hex) {
        (hex ? form->Option3 : form->Option4)->setChecked(true);
        form->Text2->setPlainText(text);
    }
    // What the box shows, "hex:" in front in hex mode.
    QString shown() const {
        return (form->Option3->isChecked() ? "hex:" : "") + form->Text2->toPlainText();
    }
};

TEST_F(SendBoxTest, CtrlUpAndDownBringBackSendsWithTheirModeAlsoAfterARestart) {
    // Each step acts, then presses Ctrl and its key, if any.
    const struct Step {
        const char* what;
        std::function<void(SendBoxTest&)> act;
        int key;
        const char* shown;
    } steps[] = {
        {"a text send with Ctrl+Return", [](SendBoxTest& t) { t.type("AT", false); },
         Qt::Key_Return, "AT"},
        {"a hex send with the button, twice; a repeat tick",
         [](SendBoxTest& t) {
             t.type("41 42", true);
             t.form->Command2->click();
             t.form->Command2->click();
             t.type("ticked", false);
             t.form->Timer1_Timer();
             t.type("typed, not sent", false);
         },
         0, "typed, not sent"},
        {"Ctrl+Up", nullptr, Qt::Key_Up, "hex:41 42"},
        {"Ctrl+Up", nullptr, Qt::Key_Up, "AT"},
        {"Ctrl+Up at the oldest", nullptr, Qt::Key_Up, "AT"},
        {"Ctrl+Down", nullptr, Qt::Key_Down, "hex:41 42"},
        {"Ctrl+Down past the newest", nullptr, Qt::Key_Down, "typed, not sent"},
        {"Ctrl+Down at the end", nullptr, Qt::Key_Down, "typed, not sent"},
        {"a restart", [](SendBoxTest& t) { t.SetUp(); }, Qt::Key_Up, "hex:41 42"},
        {"past 200 sends the oldest give way",
         [](SendBoxTest& t) {
             for (int i = 0; i < 201; ++i) {
                 t.type(QString::number(i), false);
                 t.form->Command2->click();
             }
             for (int i = 0; i < 209; ++i)
                 t.press(Qt::Key_Up);
         },
         Qt::Key_Up, "1"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.act)
            step.act(*this);
        if (step.key)
            press(Qt::Key(step.key));
        EXPECT_EQ(shown(), step.shown);
    }
    EXPECT_TRUE(fakes.serial.sent.startsWith("ATABABticked"));
}

// Tab goes on to the next control, as everywhere; Ctrl+Tab types a tab.
TEST_F(SendBoxTest, TabLeavesTheSendBoxForwardsAndCtrlTabTypesATab) {
    form->Text2->moveCursor(QTextCursor::End);
    press(Qt::Key_Tab);
    EXPECT_EQ(form->Text2->toPlainText(), "ATI\n\t");
    EXPECT_EQ(QApplication::focusWidget(), form->Text2);
    press(Qt::Key_Tab, Qt::NoModifier);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "Command4");
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), form->Text2);
    EXPECT_EQ(form->Text2->toPlainText(), "ATI\n\t");
}

} // namespace
