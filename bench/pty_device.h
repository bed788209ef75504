#pragma once

#include "pseudo_terminal.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <poll.h>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// The device end of a pseudo-terminal pair for the benchmark drivers; the
// port end stays open here too, so that it never hangs up.
struct PtyDevice {
    int fd = -1;
    int port = -1;
    QString portPath;

    PtyDevice() {
        PseudoTerminal pty;
        if (!openPseudoTerminal(pty, false)) {
            std::perror("no pseudo-terminal");
            std::exit(1);
        }
        fd = pty.device;
        port = pty.port;
        portPath = QString::fromStdString(pty.portPath);
    }
    ~PtyDevice() {
        ::close(fd);
        ::close(port);
    }
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;
};

// Reads everything the program sends to the device end, on a thread of its
// own, and counts it; as fast as it comes, or paced to bytesPerSecond in 1 ms
// steps, like a device that takes its time.
class Drain {
public:
    explicit Drain(int fd, long long bytesPerSecond = 0)
        : m_thread([this, fd, bytesPerSecond] {
            char buffer[65536];
            // What the device may still take: it never catches up on time it
            // had nothing to read.
            double budget = 0;
            auto last = std::chrono::steady_clock::now();
            while (!m_done) {
                size_t wanted = sizeof buffer;
                if (bytesPerSecond > 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    const auto now = std::chrono::steady_clock::now();
                    budget = std::min(budget + std::chrono::duration<double>(now - last).count() *
                                                   double(bytesPerSecond),
                                      std::max(1.0, double(bytesPerSecond) / 100));
                    last = now;
                    wanted = std::min(sizeof buffer, size_t(budget));
                    if (wanted == 0)
                        continue;
                }
                pollfd ready{fd, POLLIN, 0};
                if (::poll(&ready, 1, bytesPerSecond > 0 ? 0 : 50) > 0) {
                    const ssize_t n = ::read(fd, buffer, wanted);
                    if (n > 0) {
                        m_received += n;
                        budget -= double(n);
                    }
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
