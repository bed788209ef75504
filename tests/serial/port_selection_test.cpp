#include "window/frmmain.h"

#include "support/fakes.h"
#include "window/combo_box.h"
#include "window/shape.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Port = FakeSerialDevice::Port;
using Icon = MessageBoxes::Icon;

// The user picks an entry from a selector's list.
void choose(ComboBox* combo, const QString& entry) {
    const int index = combo->findText(entry);
    ASSERT_GE(index, 0) << entry.toStdString();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

constexpr QKeyCombination Return = Qt::Key_Return;
constexpr QKeyCombination KeypadEnter = Qt::KeypadModifier | Qt::Key_Enter;

// A key pressed as the user presses it: on the widget that has the focus.
void press(QKeyCombination key) {
    QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
}

// The user moves to a selector and types a text over its own.
void type(ComboBox* combo, const QString& text) {
    combo->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), combo);
    press(Qt::ControlModifier | Qt::Key_A);
    QTest::keyClicks(QApplication::focusWidget(), text);
}

// The user types a text into a selector and confirms it.
void enter(ComboBox* combo, const QString& text, QKeyCombination key = Return) {
    type(combo, text);
    press(key);
}

struct PortSelectionTest : ::testing::Test {
    std::unique_ptr<Fakes> fakes;
    std::unique_ptr<frmmain> form;

    void start(Port com1 = Port::Present) {
        form.reset();
        fakes = std::make_unique<Fakes>();
        fakes->serial.ports = {{1, com1}, {2, Port::Present}, {3, Port::Present}, {4, Port::Held}};
        form = std::make_unique<frmmain>(fakes->platform());
        // Shown and active, so that the selectors can take the focus.
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        fakes->serial.writes.clear();
        fakes->messages.shown.clear();
    }
    void expectShownOpen(bool open) {
        EXPECT_EQ(form->shared.portState, open ? 1 : 0);
        EXPECT_EQ(fakes->serial.portOpen(), open);
        EXPECT_EQ(form->Command1->text(), open ? "Close" : "Open");
        EXPECT_EQ(form->Shape1->fillColor(), open ? QColor(0, 255, 0) : QColor(0, 0, 0));
        EXPECT_EQ(form->Combo1->isEnabled(), !open);
    }
};

struct Row {
    const char* event;
    bool startOpen;
    std::function<void(PortSelectionTest&)> act;
    bool endOpen;
    QStringList messages;
    int currentPort;
    const char* commSettings;
    const char* componentSettings;
};

TEST_F(PortSelectionTest, EveryStateAndEventLeavesTheWindowTellingTheTruth) {
    const auto refuseOpenClose = [](PortSelectionTest& t) {
        t.fakes->serial.beforeWrite = [](const QString& write) {
            if (write.startsWith("PortOpen"))
                throw CommError(comm::DeviceFailed, "refused");
        };
    };
    const Row rows[] = {
        {"open accepted",
         false,
         [](auto& t) { t.form->Command1->click(); },
         true,
         {},
         1,
         "9600,N,8,1",
         "9600,N,8,1"},
        {"open refused",
         false,
         [&](auto& t) {
             refuseOpenClose(t);
             t.form->Command1->click();
         },
         false,
         {"Invalid port number"},
         1,
         "9600,N,8,1",
         "9600,N,8,1"},
        {"close accepted",
         true,
         [](auto& t) { t.form->Command1->click(); },
         false,
         {},
         1,
         "9600,N,8,1",
         "9600,N,8,1"},
        {"close refused",
         true,
         [&](auto& t) {
             refuseOpenClose(t);
             t.form->Command1->click();
         },
         true,
         {"Invalid port number"},
         1,
         "9600,N,8,1",
         "9600,N,8,1"},
        {"other port chosen",
         false,
         [](auto& t) {
             t.form->Combo3->setEditText("Even");
             choose(t.form->Combo1, "COM3");
         },
         false,
         {},
         3,
         "9600,E,8,1",
         "9600,E,8,1"},
        {"same port chosen",
         false,
         [](auto& t) {
             t.form->Combo3->setEditText("Even");
             choose(t.form->Combo1, "COM1");
         },
         false,
         {},
         1,
         "9600,N,8,1",
         "9600,N,8,1"},
        {"held port chosen",
         false,
         [](auto& t) { choose(t.form->Combo1, "COM4"); },
         false,
         {"Serial Port Opened"},
         4,
         "9600,N,8,1",
         "9600,N,8,1"},
        {"baud chosen while open",
         true,
         [](auto& t) {
             t.form->Combo3->setEditText("Odd");
             choose(t.form->Combo2, "19200");
         },
         true,
         {},
         1,
         "19200,O,8,1",
         "19200,O,8,1"},
        {"baud chosen while closed",
         false,
         [](auto& t) { choose(t.form->Combo2, "115200"); },
         false,
         {},
         1,
         "115200,N,8,1",
         "115200,N,8,1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.event);
        start();
        if (!row.startOpen)
            form->Command1->click();
        fakes->messages.shown.clear();
        row.act(*this);
        fakes->serial.beforeWrite = nullptr;
        expectShownOpen(row.endOpen);
        EXPECT_EQ(fakes->messages.texts(), row.messages);
        EXPECT_EQ(form->shared.currentPort, row.currentPort);
        EXPECT_EQ(form->shared.commSettings, row.commSettings);
        EXPECT_EQ(fakes->serial.settings(), row.componentSettings);
    }
}

TEST_F(PortSelectionTest, ClosingStopsRepeatSending) {
    start();
    form->shared.repeatActive = 1;
    fakes->timer.setEnabled(true);
    form->Check1->setChecked(true);
    form->Command1->click();
    expectShownOpen(false);
    EXPECT_EQ(form->shared.repeatActive, 0);
    EXPECT_FALSE(fakes->timer.enabled());
    EXPECT_FALSE(form->Check1->isChecked());
}

TEST_F(PortSelectionTest, ARefusedOpenSaysWhyAndCanBeTriedAgain) {
    start(Port::Held);
    form->Command1->click();
    ASSERT_EQ(fakes->messages.shown.size(), 1u);
    EXPECT_EQ(fakes->messages.shown[0].text, "Invalid port number");
    EXPECT_EQ(fakes->messages.shown[0].icon, Icon::Exclamation);
    EXPECT_EQ(fakes->messages.shown[0].detail, "COM1 is in use by another program");
    fakes->serial.ports[1] = Port::Present;
    form->Command1->click();
    expectShownOpen(true);
}

TEST_F(PortSelectionTest, EachSelectorChoiceIsAppliedAtOnce) {
    struct Choice {
        ComboBox* (*selector)(frmmain&);
        const char* entry;
        const char* applied;
    };
    const Choice choices[] = {
        {[](frmmain& f) { return f.Combo3; }, "Odd", "9600,O,8,1"},
        {[](frmmain& f) { return f.Combo4; }, "7", "9600,O,7,1"},
        {[](frmmain& f) { return f.Combo5; }, "2", "9600,O,7,2"},
        {[](frmmain& f) { return f.Combo2; }, "57600", "57600,O,7,2"},
        {[](frmmain& f) { return f.Combo3; }, "None", "57600,N,7,2"},
    };
    for (bool open : {true, false}) {
        start();
        if (!open)
            form->Command1->click();
        for (const Choice& c : choices) {
            SCOPED_TRACE(c.entry);
            choose(c.selector(*form), c.entry);
            EXPECT_EQ(fakes->serial.settings(), c.applied);
            EXPECT_EQ(form->shared.commSettings, c.applied);
        }
        expectShownOpen(open);
        EXPECT_TRUE(fakes->messages.shown.empty());
    }
}

TEST_F(PortSelectionTest, EnterAppliesATypedBaudRate) {
    struct Case {
        const char* selector;
        const char* typed;
        QKeyCombination key;
        bool open;
        QStringList settingsWrites;
        int currentPort;
        QString commSettings;
    };
    const Case cases[] = {
        {"Combo2", "19200", Return, true, {"Settings=19200,N,8,1"}, 1, "19200,N,8,1"},
        {"Combo2", "74880", KeypadEnter, true, {"Settings=74880,N,8,1"}, 1, "74880,N,8,1"},
        {"Combo2", "250000", Return, false, {"Settings=250000,N,8,1"}, 1, "250000,N,8,1"},
        {"Combo3", "Even", KeypadEnter, true, {"Settings=9600,E,8,1"}, 1, "9600,E,8,1"},
        {"Combo4", "7", Return, false, {"Settings=9600,N,7,1"}, 1, "9600,N,7,1"},
        {"Combo5", "2", KeypadEnter, true, {"Settings=9600,N,8,2"}, 1, "9600,N,8,2"},
        {"Combo1", "com2", Return, false, {"Settings=9600,N,8,1"}, 2, "9600,N,8,1"},
        {"Combo1", "COM3", KeypadEnter, false, {"Settings=9600,N,8,1"}, 3, "9600,N,8,1"},
        {"Combo1", "COM16", Return, false, {}, 1, "9600,N,8,1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.selector) + " " + c.typed);
        start();
        if (!c.open)
            form->Command1->click();
        fakes->serial.writes.clear();
        enter(form->findChild<ComboBox*>(c.selector), c.typed, c.key);
        EXPECT_EQ(fakes->serial.writes.filter("Settings="), c.settingsWrites);
        EXPECT_EQ(form->shared.currentPort, c.currentPort);
        EXPECT_EQ(form->shared.commSettings, c.commSettings);
        EXPECT_TRUE(fakes->messages.shown.empty());
        expectShownOpen(c.open);
    }
    // Open, the port selector cannot take the focus, so no key reaches it.
    start();
    form->Combo1->setFocus(Qt::TabFocusReason);
    EXPECT_NE(QApplication::focusWidget(), form->Combo1);
}

TEST_F(PortSelectionTest, TheListNamesEachPortsDeviceWhenItOpens) {
    start();
    form->Command1->click();
    fakes->serial.ports[5] = Port::Present;
    form->Combo1->showPopup();
    // Each entry keeps its name; its tooltip and what a screen reader reads
    // of it in the open list name the device.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(form->Combo1)->child(0);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->tableInterface(), nullptr);
    for (const auto& [entry, device] :
         {std::pair{0, "/dev/fake1"}, std::pair{4, "/dev/fake5"}, std::pair{5, "No device"}}) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(form->Combo1->itemText(entry), QString("COM%1").arg(entry + 1));
        EXPECT_EQ(form->Combo1->itemData(entry, Qt::ToolTipRole).toString(), device);
        QAccessibleInterface* item = list->tableInterface()->cellAt(entry, 0);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(QAccessible::Name), QString("COM%1").arg(entry + 1));
        EXPECT_EQ(item->text(QAccessible::Description), device);
    }
    form->Combo1->hidePopup();
}

TEST_F(PortSelectionTest, LeavingASelectorIsNoChoice) {
    struct Case {
        const char* selector;
        const char* typed;
        bool byClick; // else by Tab
    };
    const Case cases[] = {
        {"Combo1", "COM2", false}, {"Combo2", "19200", true}, {"Combo3", "Odd", false},
        {"Combo4", "7", true},     {"Combo5", "2", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.selector) + (c.byClick ? " left by a click" : " left by Tab"));
        start();
        form->Command1->click();
        fakes->serial.writes.clear();
        auto* combo = form->findChild<ComboBox*>(c.selector);
        type(combo, c.typed);
        if (c.byClick)
            QTest::mouseClick(form->Text2->viewport(), Qt::LeftButton);
        else
            press(Qt::Key_Tab);
        EXPECT_NE(QApplication::focusWidget(), combo);
        EXPECT_TRUE(fakes->serial.writes.isEmpty()) << fakes->serial.writes.join(' ').toStdString();
        EXPECT_TRUE(fakes->messages.shown.empty());
        EXPECT_EQ(form->shared.currentPort, 1);
    }
}

TEST_F(PortSelectionTest, RefusedSettingsChangeNothing) {
    start();
    const QStringList typed[] = {
        {"Combo2", "fast"}, {"Combo4", "9"}, {"Combo5", "3"}, {"Combo2", "0"}};
    for (const QStringList& t : typed) {
        SCOPED_TRACE(t.join(' ').toStdString());
        fakes->messages.shown.clear();
        enter(form->findChild<ComboBox*>(t[0]), t[1]);
        ASSERT_EQ(fakes->messages.shown.size(), 1u);
        EXPECT_EQ(fakes->messages.shown[0].text, "Invalid port settings");
        EXPECT_EQ(fakes->messages.shown[0].icon, Icon::Exclamation);
        EXPECT_FALSE(fakes->messages.shown[0].detail.isEmpty());
        EXPECT_EQ(fakes->serial.settings(), "9600,N,8,1");
        EXPECT_EQ(form->shared.commSettings, "9600,N,8,1");
        expectShownOpen(true);
        // The selectors show again what the port runs with.
        EXPECT_EQ(form->Combo2->currentText() + form->Combo3->currentText() +
                      form->Combo4->currentText() + form->Combo5->currentText(),
                  "9600None81");
    }
}

TEST_F(PortSelectionTest, ADeviceRefusingSettingsWhileOpenLeavesThemAsTheyWere) {
    start();
    fakes->serial.beforeWrite = [](const QString& write) {
        if (write == "Settings=9600,E,8,1")
            throw CommError(comm::InvalidSettings, "no even parity here");
    };
    choose(form->Combo3, "Even");
    EXPECT_EQ(fakes->messages.texts(), QStringList{"Invalid port settings"});
    EXPECT_EQ(fakes->messages.shown[0].detail, "no even parity here");
    EXPECT_EQ(fakes->serial.settings(), "9600,N,8,1");
    EXPECT_EQ(form->Combo3->currentText(), "None");
}

TEST_F(PortSelectionTest, AnEmptyParityBeforeAnyChoiceIsRefused) {
    start(Port::Absent);
    form->Combo3->setEditText("Parity?");
    choose(form->Combo1, "COM2");
    EXPECT_EQ(fakes->messages.texts(), QStringList{"Invalid port settings"});
    EXPECT_EQ(form->shared.currentPort, 1);
    EXPECT_TRUE(form->shared.commSettings.isEmpty());
    EXPECT_EQ(form->Combo1->currentText(), "COM1");
}

TEST_F(PortSelectionTest, ComOneAfterAFailedStartUpProbeIsConfigured) {
    start(Port::Absent);
    fakes->serial.ports[1] = Port::Present;
    choose(form->Combo1, "COM1");
    EXPECT_TRUE(fakes->serial.writes.contains("Settings=9600,N,8,1"));
    EXPECT_EQ(form->shared.commSettings, "9600,N,8,1");
    EXPECT_EQ(fakes->serial.commPort(), 1);
    form->Command1->click();
    expectShownOpen(true);
}

TEST_F(PortSelectionTest, ALostPortShowsClosedOnceAndCanBeReopened) {
    start();
    form->shared.repeatActive = 1;
    fakes->timer.setEnabled(true);
    form->Check1->setChecked(true);
    fakes->serial.lose("Input/output error");
    expectShownOpen(false);
    EXPECT_EQ(form->shared.repeatActive, 0);
    EXPECT_FALSE(fakes->timer.enabled());
    EXPECT_FALSE(form->Check1->isChecked());
    ASSERT_EQ(fakes->messages.shown.size(), 1u);
    EXPECT_EQ(fakes->messages.shown[0].text, "Serial port lost");
    EXPECT_EQ(fakes->messages.shown[0].icon, Icon::Exclamation);
    EXPECT_EQ(fakes->messages.shown[0].detail, "/dev/fake1: Input/output error");
    form->Command1->click();
    expectShownOpen(true);
}

} // namespace
