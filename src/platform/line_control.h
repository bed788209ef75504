#pragma once

#include "platform/serial_device.h"

#include <optional>

// The serial driver's line-control requests on a port's descriptor. Each says
// whether the driver did it: a pseudo-terminal does few of them, some USB
// adapters lack some.

enum class ModemOutput { Dtr, Rts };

// The modem lines as they are, inputs and outputs.
std::optional<ModemLines> readModemLines(int fd);
bool setModemOutput(int fd, ModemOutput line, bool on);
bool setLineBreak(int fd, bool on);
// The driver's error counts since it was loaded; they wrap at 2^32.
std::optional<LineErrors> readErrorCounts(int fd);
// Blocks until CTS, DSR, DCD or RI changes; false with errno set when the
// driver cannot wait or a signal interrupted the wait (EINTR).
bool waitForLineChange(int fd);
// Bytes the driver holds for the line.
std::optional<int> outputQueued(int fd);
// Drops what the driver holds for the line.
bool dropOutput(int fd);
// With XON/XOFF, only XON restarts output held by XOFF, not any byte.
bool restartOnlyOnXon(int fd);
