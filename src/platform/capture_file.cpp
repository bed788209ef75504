#include "platform/capture_file.h"

#include <QFile>
#include <QMetaObject>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Written at once past this much, else within FlushMs of arriving.
constexpr qsizetype FlushAt = 64 << 10;
constexpr auto FlushMs = std::chrono::milliseconds(500);

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

std::unique_ptr<CaptureFile> CaptureFile::open(const QString& path, QString* why) {
    const QByteArray name = QFile::encodeName(path);
    // Without O_NONBLOCK a FIFO that nothing reads from, or a modem line
    // without carrier, would hold the open for good; the writer waits for
    // room in it with poll, where it can be woken.
    const int fd = ::open(name.constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        struct stat status {};
        if (error == ENXIO && ::stat(name.constData(), &status) == 0 && S_ISFIFO(status.st_mode))
            *why = QStringLiteral("it is a FIFO that no program reads from; start the reader "
                                  "first");
        else
            *why = systemReason(error);
        return {};
    }
    return std::unique_ptr<CaptureFile>(new CaptureFile(path, fd));
}

CaptureFile::CaptureFile(const QString& path, int fd)
    : m_path(path)
    , m_fd(fd)
    , m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    m_waiting.reserve(FlushAt);
    m_writer = std::thread([this] { run(); });
}

CaptureFile::~CaptureFile() {
    endWriter(true);
    ::close(m_fd);
    if (m_wake >= 0)
        ::close(m_wake);
}

void CaptureFile::write(QByteArrayView bytes) {
    if (!m_capturing || bytes.isEmpty())
        return;
    {
        const std::lock_guard lock(m_mutex);
        if (m_waiting.size() + m_writing + bytes.size() <= MostWaiting) {
            if (m_waiting.isEmpty())
                m_since = std::chrono::steady_clock::now();
            m_waiting.append(bytes);
            m_changed.notify_all();
            return;
        }
    }
    stop(QStringLiteral("it does not take bytes as fast as they come: %1 MB waited to be written")
             .arg(MostWaiting >> 20));
}

void CaptureFile::flush() {
    const std::lock_guard lock(m_mutex);
    m_flushNow = true;
    m_changed.notify_all();
}

bool CaptureFile::finish(int milliseconds) {
    qsizetype unwritten = 0;
    {
        std::unique_lock lock(m_mutex);
        m_flushNow = true;
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [this] { return (m_waiting.isEmpty() && m_writing == 0) || m_quit; });
        unwritten = m_quit ? 0 : m_waiting.size() + m_writing - m_written;
    }
    endWriter(unwritten > 0);
    if (unwritten > 0 && m_capturing)
        stop(QStringLiteral("%1 bytes could not be written within %2 ms")
                 .arg(unwritten)
                 .arg(milliseconds));
    return unwritten == 0;
}

// Stops the writer, at once when abandoned, else once it wrote what waits.
void CaptureFile::endWriter(bool abandon) {
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
        m_abandon = m_abandon || abandon;
        m_changed.notify_all();
    }
    if (abandon && m_wake >= 0) {
        const std::uint64_t one = 1;
        (void)!::write(m_wake, &one, sizeof one);
    }
    if (m_writer.joinable())
        m_writer.join();
}

void CaptureFile::stop(const QString& reason) {
    if (!m_capturing)
        return;
    m_capturing = false;
    {
        const std::lock_guard lock(m_mutex);
        m_quit = m_abandon = true;
        m_changed.notify_all();
    }
    if (m_wake >= 0) {
        const std::uint64_t one = 1;
        (void)!::write(m_wake, &one, sizeof one);
    }
    emit stopped(reason);
}

void CaptureFile::run() {
    QByteArray bytes;
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto due = [this] {
            return m_abandon || m_flushNow || m_waiting.size() >= FlushAt ||
                   (!m_waiting.isEmpty() && std::chrono::steady_clock::now() >= m_since + FlushMs);
        };
        while (!due() && !(m_quit && m_waiting.isEmpty())) {
            if (m_waiting.isEmpty())
                m_changed.wait(lock);
            else
                m_changed.wait_until(lock, m_since + FlushMs);
        }
        if (m_abandon || m_waiting.isEmpty()) {
            if (m_quit || m_abandon)
                break;
            m_flushNow = false;
            continue;
        }
        std::swap(bytes, m_waiting);
        m_writing = bytes.size();
        m_written = 0;
        m_flushNow = false;
        lock.unlock();
        const int error = writeAll(bytes);
        bytes.truncate(0);
        lock.lock();
        m_writing = 0;
        m_written = 0;
        m_changed.notify_all();
        if (error == ECANCELED)
            break;
        if (error) {
            // The window hears of it, and stops the capture, on its own thread.
            m_quit = true;
            m_changed.notify_all();
            const QString reason = systemReason(error);
            QMetaObject::invokeMethod(
                this, [this, reason] { stop(reason); }, Qt::QueuedConnection);
            break;
        }
    }
}

// A write may take only part (a pipe, the file-size limit, a disk filling
// up): the rest is written again, and then the system says why it cannot be.
int CaptureFile::writeAll(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written > 0) {
            done += written;
            m_written = done;
            continue;
        }
        if (written == 0)
            return EIO;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return errno;
        pollfd ready[2] = {{m_fd, POLLOUT, 0}, {m_wake, POLLIN, 0}};
        if (::poll(ready, 2, -1) < 0 && errno != EINTR)
            return errno;
        if (ready[1].revents & POLLIN)
            return ECANCELED;
    }
    return 0;
}
