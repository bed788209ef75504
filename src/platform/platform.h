#pragma once

#include "platform/desktop.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/serial_device.h"
#include "platform/timer.h"

// What the window's handlers use of the platform.
struct Platform {
    SerialDevice& serial;
    CommonDialog& dialog;
    Timer& timer;
    MessageBoxes& messages;
    Shell& shell;
    EventLoop& events;
};
