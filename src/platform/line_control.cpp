#include "platform/line_control.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

std::optional<ModemLines> readModemLines(int fd) {
    int bits = 0;
    if (::ioctl(fd, TIOCMGET, &bits) != 0)
        return std::nullopt;
    ModemLines lines;
    lines.cts = bits & TIOCM_CTS;
    lines.dsr = bits & TIOCM_DSR;
    lines.dcd = bits & TIOCM_CD;
    lines.ri = bits & TIOCM_RI;
    lines.dtr = bits & TIOCM_DTR;
    lines.rts = bits & TIOCM_RTS;
    return lines;
}

bool setModemOutput(int fd, ModemOutput line, bool on) {
    const int bit = line == ModemOutput::Dtr ? TIOCM_DTR : TIOCM_RTS;
    return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool setLineBreak(int fd, bool on) {
    return ::ioctl(fd, on ? TIOCSBRK : TIOCCBRK) == 0;
}

std::optional<LineErrors> readErrorCounts(int fd) {
    serial_icounter_struct counts{};
    if (::ioctl(fd, TIOCGICOUNT, &counts) != 0)
        return std::nullopt;
    return LineErrors{counts.frame, counts.parity, counts.overrun, counts.buf_overrun};
}

bool waitForLineChange(int fd) {
    return ::ioctl(fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG) == 0;
}

std::optional<int> outputQueued(int fd) {
    int bytes = 0;
    if (::ioctl(fd, TIOCOUTQ, &bytes) != 0)
        return std::nullopt;
    return bytes;
}

bool dropOutput(int fd) {
    return ::tcflush(fd, TCOFLUSH) == 0;
}

bool restartOnlyOnXon(int fd) {
    termios line{};
    if (::tcgetattr(fd, &line) != 0)
        return false;
    line.c_iflag &= ~IXANY;
    return ::tcsetattr(fd, TCSANOW, &line) == 0;
}
