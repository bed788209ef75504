#pragma once

#include "support/fakes.h"
#include "window/frmmain.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// The window on doubles with COM1 there, shown and active, its settings in a
// folder of its own; start() again is the next run with the same settings.
struct WindowWithSettings : ::testing::Test {
    QTemporaryDir folder;
    SettingsFile settings{folder.filePath("varnolix.conf")};
    Fakes fakes;
    std::unique_ptr<frmmain> form;

    void SetUp() override {
        fakes.serial.ports[1] = FakeSerialDevice::Port::Present;
        start();
    }
    void start(RunOptions options = {}) {
        if (form)
            form->close();
        options.settings = &settings;
        form = std::make_unique<frmmain>(fakes.platform(), options);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    // A key to the widget that has the focus, as the user presses it.
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
};
