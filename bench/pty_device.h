#pragma once

#include <QString>

#include <atomic>
#include <poll.h>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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

// Reads everything the program sends to the device end, on a thread of its
// own, and counts it.
class Drain {
public:
    explicit Drain(int fd)
        : m_thread([this, fd] {
            char buffer[65536];
            while (!m_done) {
                pollfd ready{fd, POLLIN, 0};
                if (::poll(&ready, 1, 50) > 0) {
                    const ssize_t n = ::read(fd, buffer, sizeof buffer);
                    if (n > 0)
                        m_received += n;
                }
            }
        }) {}
    ~Drain() { stop(); }
    Drain(const Drain&) = delete;
    Drain& operator=(const Drain&) = delete;

    long long received() const { return m_received; }
    void stop() {
        m_done = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::atomic<bool> m_done{false};
    std::atomic<long long> m_received{0};
    std::thread m_thread; // last: it starts once the counters exist
};
