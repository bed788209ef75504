#pragma once

#include "support/fakes.h"
#include "window/frmmain.h"

#include <gtest/gtest.h>

#include <memory>

// The window on test doubles, started with COM1 present, so it comes up with
// the port open.
struct WindowOnFakes : ::testing::Test {
    Fakes fakes;
    std::unique_ptr<frmmain> form;

    void SetUp() override {
        fakes.serial.ports[1] = FakeSerialDevice::Port::Present;
        form = std::make_unique<frmmain>(fakes.platform());
    }
};
