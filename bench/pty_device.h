#pragma once

#include <QString>

#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <termios.h>
#include <unistd.h>

// The device end of a pseudo-terminal pair for the benchmark drivers; the
// port end stays open here too, so that it never hangs up.
struct PtyDevice {
    int fd = -1;
    int port = -1;
    QString portPath;

    PtyDevice() {
        fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
            std::perror("no pseudo-terminal");
            std::exit(1);
        }
        portPath = QString::fromLocal8Bit(::ptsname(fd));
        port = ::open(::ptsname(fd), O_RDWR | O_NOCTTY);
        termios raw{};
        ::tcgetattr(port, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(port, TCSANOW, &raw);
    }
    ~PtyDevice() {
        ::close(fd);
        ::close(port);
    }
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;
};
