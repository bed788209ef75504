#include "support/pty_pair.h"

#include "support/wait.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
    m_device = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_device < 0 || ::grantpt(m_device) != 0 || ::unlockpt(m_device) != 0)
        throw std::runtime_error("no pseudo-terminal");
    m_portPath = QString::fromLocal8Bit(::ptsname(m_device));
    // Held open so that the port end never hangs up while the program closes
    // and reopens it.
    m_port = ::open(::ptsname(m_device), O_RDWR | O_NOCTTY);
    termios raw{};
    ::tcgetattr(m_port, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_port, TCSANOW, &raw);
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

QByteArray PtyPair::readAvailable() {
    QByteArray bytes;
    char buffer[4096];
    ssize_t n;
    while (m_device >= 0 && (n = ::read(m_device, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, n);
    return bytes;
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
    if (m_device >= 0)
        ::close(m_device);
    m_device = -1;
}
