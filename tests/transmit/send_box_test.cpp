#include "window/frmmain.h"

#include "support/fakes.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// The window on doubles with COM1 there, shown, with the keyboard in the
// send box; its settings in a folder of its own.
struct SendBoxTest : ::testing::Test {
    QTemporaryDir folder;
    SettingsFile settings{folder.filePath("varnolix.conf")};
    Fakes fakes;
    std::unique_ptr<frmmain> form;

    void SetUp() override {
        fakes.serial.ports[1] = FakeSerialDevice::Port::Present;
        start();
    }
    void start() {
        if (form)
            form->close();
        form = std::make_unique<frmmain>(fakes.platform(), RunOptions{.settings = &settings});
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->Text2->setFocus();
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
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
    const struct Step {
        const char* what;
        std::function<void(SendBoxTest&)> act;
        const char* shown;
    } steps[] = {
        {"a text send with Ctrl+Return",
         [](SendBoxTest& t) {
             t.type("AT", false);
             t.press(Qt::Key_Return);
         },
         "AT"},
        {"a hex send with the button, twice; a repeat tick",
         [](SendBoxTest& t) {
             t.type("41 42", true);
             t.form->Command2->click();
             t.form->Command2->click();
             t.type("ticked", false);
             t.form->Timer1_Timer();
             t.type("typed, not sent", false);
         },
         "typed, not sent"},
        {"Ctrl+Up", [](SendBoxTest& t) { t.press(Qt::Key_Up); }, "hex:41 42"},
        {"Ctrl+Up", [](SendBoxTest& t) { t.press(Qt::Key_Up); }, "AT"},
        {"Ctrl+Up at the oldest", [](SendBoxTest& t) { t.press(Qt::Key_Up); }, "AT"},
        {"Ctrl+Down", [](SendBoxTest& t) { t.press(Qt::Key_Down); }, "hex:41 42"},
        {"Ctrl+Down past the newest", [](SendBoxTest& t) { t.press(Qt::Key_Down); },
         "typed, not sent"},
        {"Ctrl+Down at the end", [](SendBoxTest& t) { t.press(Qt::Key_Down); }, "typed, not sent"},
        {"a restart, then Ctrl+Up",
         [](SendBoxTest& t) {
             t.start();
             t.press(Qt::Key_Up);
         },
         "hex:41 42"},
        {"past 200 sends the oldest give way",
         [](SendBoxTest& t) {
             for (int i = 0; i < 201; ++i) {
                 t.type(QString::number(i), false);
                 t.form->Command2->click();
             }
             for (int i = 0; i < 210; ++i)
                 t.press(Qt::Key_Up);
         },
         "1"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(*this);
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
