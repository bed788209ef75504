#include "support/pty_pair.h"

#include "pseudo_terminal.h"
#include "support/wait.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

PtyPair::PtyPair() {
    PseudoTerminal pty;
    if (!openPseudoTerminal(pty, true))
        throw std::runtime_error("no pseudo-terminal");
    m_device = pty.device;
    m_port = pty.port;
    m_portPath = QString::fromStdString(pty.portPath);
}

PtyPair::~PtyPair() {
    closeDevice();
    if (m_port >= 0)
        ::close(m_port);
}

void PtyPair::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_device, bytes.constData() + done, bytes.size() - done);
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw std::runtime_error("device write failed");
        else
            QCoreApplication::processEvents(); // let the program drain the line
    }
}

QByteArray PtyPair::readNow() {
    QByteArray bytes;
    char buffer[4096];
    ssize_t n;
    while (m_device >= 0 && (n = ::read(m_device, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, n);
    return bytes;
}

QByteArray PtyPair::readAvailable() {
    QByteArray bytes;
    {
        const std::lock_guard lock(m_mutex);
        bytes = std::exchange(m_readSoFar, {});
    }
    if (!m_reader.joinable())
        bytes += readNow();
    return bytes;
}

void PtyPair::readInBackground(long long bytesPerSecond) {
    m_reader = std::thread([this, bytesPerSecond] {
        using Clock = std::chrono::steady_clock;
        // A slow device never catches up on time it had nothing to read.
        double budget = 0;
        auto last = Clock::now();
        char buffer[65536];
        while (!m_stop) {
            pollfd ready{m_device, POLLIN, 0};
            if (::poll(&ready, 1, 1) <= 0)
                continue;
            size_t wanted = sizeof buffer;
            if (bytesPerSecond > 0) {
                const auto now = Clock::now();
                budget = std::min(budget + std::chrono::duration<double>(now - last).count() *
                                               double(bytesPerSecond),
                                  std::max(1.0, double(bytesPerSecond) / 100));
                last = now;
                wanted = std::min(wanted, size_t(budget));
                if (wanted == 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
            }
            const ssize_t n = ::read(m_device, buffer, wanted);
            if (n > 0) {
                budget -= double(n);
                const std::lock_guard lock(m_mutex);
                m_readSoFar.append(buffer, n);
            }
        }
    });
}

void PtyPair::stopReading() {
    m_stop = true;
    if (m_reader.joinable())
        m_reader.join();
}

QByteArray PtyPair::read(qsizetype count, int milliseconds) {
    QByteArray bytes;
    waitUntil(
        [&] {
            bytes += readAvailable();
            return bytes.size() >= count;
        },
        milliseconds);
    return bytes;
}

void PtyPair::closeDevice() {
    stopReading();
    if (m_device >= 0)
        ::close(m_device);
    m_device = -1;
}
