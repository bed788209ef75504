#pragma once

#include <string>

// The two ends of a pseudo-terminal that stands in for a serial device: a
// program opens `portPath` as its serial port, and whoever plays the device
// reads and writes `device`. `port` is the port end held open here in raw
// mode, so that the pair never hangs up while the program closes and reopens
// its own end.
struct PseudoTerminal {
    int device = -1;
    int port = -1;
    std::string portPath;
};

// Opens a pair, its device end non-blocking if asked. False, with errno set
// and nothing left open, when the system gives none.
bool openPseudoTerminal(PseudoTerminal& ends, bool nonBlockingDevice);
