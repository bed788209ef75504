#include "platform/capture_file.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Written at once past this, else within FlushMs.
constexpr qsizetype FlushAt = 64 << 10;
constexpr int FlushMs = 500;

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

std::unique_ptr<CaptureFile> CaptureFile::open(const QString& path, QString* why) {
    const QByteArray name = QFile::encodeName(path);
    // Without O_NONBLOCK a FIFO that nothing reads from, or a modem line
    // without carrier, would hold the open for good.
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
    // Once open, writes wait for a slow reader (a pipe, a terminal) rather than
    // drop bytes.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::unique_ptr<CaptureFile>(new CaptureFile(path, fd));
}

CaptureFile::CaptureFile(const QString& path, int fd)
    : m_path(path)
    , m_fd(fd) {
    m_waiting.reserve(FlushAt);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FlushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &CaptureFile::flush);
}

CaptureFile::~CaptureFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void CaptureFile::write(QByteArrayView bytes) {
    if (m_fd < 0 || bytes.isEmpty())
        return;
    m_waiting.append(bytes);
    if (m_waiting.size() >= FlushAt)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void CaptureFile::flush() {
    m_flushTimer.stop();
    if (m_fd < 0 || m_waiting.isEmpty())
        return;
    // A write may take only part (the file-size limit, a disk filling up):
    // the rest is written again, and then the system says why it cannot be.
    qsizetype done = 0;
    int error = 0;
    while (done < m_waiting.size()) {
        const ssize_t written =
            ::write(m_fd, m_waiting.constData() + done, size_t(m_waiting.size() - done));
        if (written > 0)
            done += written;
        else if (written == 0)
            error = EIO;
        else if (errno != EINTR)
            error = errno;
        if (error)
            break;
    }
    m_waiting.truncate(0);
    if (!error)
        return;
    ::close(m_fd);
    m_fd = -1;
    emit stopped(systemReason(error));
}
