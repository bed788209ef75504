#pragma once

#include <string>

// Modem lines, a break and error counts for one pseudo-terminal, which has
// none of them. Linked into a test, or preloaded into the program with
// LD_PRELOAD, this library answers ioctl's line-control requests on that
// device from the values set here, and passes every other request, and every
// request on another device, to the C library. Until a device is named it
// answers nothing itself.
//
// Preloaded, it reads the device and the inputs that are on from the
// environment: VARNOLIX_FAKE_LINES_DEVICE=/dev/pts/N
// VARNOLIX_FAKE_LINES=cts,dsr,dcd,ri
namespace fake_lines {

struct Inputs {
    bool cts = false, dsr = false, dcd = false, ri = false;
};

struct Counts {
    int framing = 0, parity = 0, overrun = 0, bufferOverrun = 0;
};

// Answers for the device at `path` from now on, with its inputs off, DTR and
// RTS on as an open leaves them, no break, no errors, and waiting for line changes supported;
// false when there is no such device.
bool attach(const std::string& path);
// Answers for no device any more, and forgets what it was told.
void detach();

// The device changes its inputs: a wait for a change that one of them makes
// returns.
void setInputs(const Inputs& inputs);
// The driver's error counts.
void setCounts(const Counts& counts);
// Without it a wait for line changes fails at once with EINVAL, as with a
// driver that cannot wait.
void supportWaiting(bool supported);

// What the driver says it holds for the line (TIOCOUTQ) from now on, until a
// flush of its output; below 0 the pseudo-terminal's own answer.
void setOutputQueued(int bytes);
int outputQueued();

bool dtr();
bool rts();
bool breakOn();
// How many times break was put on, and how long the last one lasted.
int breaks();
double lastBreakMs();
// Waits for line changes in progress.
int waiting();

} // namespace fake_lines
