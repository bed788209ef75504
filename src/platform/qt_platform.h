#pragma once

#include "platform/platform.h"
#include "platform/qt_desktop.h"
#include "platform/qt_dialogs.h"
#include "platform/qt_serial_device.h"
#include "platform/qt_timer.h"

// The platform on Qt, as the program runs it.
struct QtPlatform {
    explicit QtPlatform(PortMap ports)
        : serial(std::move(ports)) {}

    QtSerialDevice serial;
    QtCommonDialog dialog;
    QtTimer timer;
    QtMessageBoxes messages;
    QtShell shell;
    QtEventLoop events;

    Platform platform() { return {serial, dialog, timer, messages, shell, events}; }
};
