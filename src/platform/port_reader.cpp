#include "platform/port_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

namespace {

// Reading stops while this much waits untaken, so that a flood faster than
// the window waits in the driver and the device rather than in memory; at
// 1 MB/s it is 4 seconds of a busy window, at 921600 baud 45.
constexpr qsizetype HoldLimit = 4 << 20;
// A read smaller than this makes the port rest, so that bytes trickling in
// every millisecond are taken as one batch instead of waking the window each
// time; a larger read comes when bytes arrive faster than a rest would save.
constexpr qsizetype SmallRead = 2048;
// The rests, and the rest while bytes stream (they were waiting at the end of
// the rest before).
constexpr int RestMs = 4;
constexpr int StreamRestMs = 8;
// One read of the driver at most.
constexpr qsizetype ReadSize = 64 << 10;
// Each of the two buffers has room for all that may wait from the start, so
// that the reading thread never allocates while the window is busy: pages
// that were never written take no memory.
constexpr qsizetype Room = HoldLimit + ReadSize;

void wakeUp(int eventFd) {
    const std::uint64_t one = 1;
    while (::write(eventFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

} // namespace

PortReader::PortReader(int fd, std::function<void()> told)
    : m_fd(fd)
    , m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    , m_notify(std::move(told)) {
    m_incoming.reserve(Room);
    m_taken.reserve(Room);
    m_thread = std::thread([this] { run(); });
}

PortReader::~PortReader() {
    stop();
    ::close(m_fd);
    ::close(m_wake);
}

void PortReader::stop() {
    m_stopping = true;
    wakeUp(m_wake);
    if (m_thread.joinable())
        m_thread.join();
}

void PortReader::run() {
    bool streaming = false;
    while (!m_stopping) {
        bool full = false;
        {
            const std::lock_guard lock(m_mutex);
            full = m_incoming.size() >= HoldLimit;
        }
        pollfd ready[2] = {{m_wake, POLLIN, 0}, {m_fd, short(full ? 0 : POLLIN), 0}};
        if (::poll(ready, 2, -1) < 0 && errno != EINTR)
            return;
        if (ready[0].revents & POLLIN) {
            std::uint64_t count = 0;
            (void)!::read(m_wake, &count, sizeof count);
            continue;
        }
        if (!ready[1].revents)
            continue;
        End end;
        bool windowBusy = false;
        const qsizetype read = readAll(&end, &windowBusy);
        if (end.hungUp || end.error) {
            {
                const std::lock_guard lock(m_mutex);
                m_end = end;
            }
            m_notify();
            return;
        }
        // While the window is still busy with what came before, bytes are
        // read as they come: it takes them as one batch anyway.
        if (read >= SmallRead || windowBusy)
            continue;
        if (!rest(streaming ? StreamRestMs : RestMs))
            return;
        int waiting = 0;
        streaming = ::ioctl(m_fd, FIONREAD, &waiting) == 0 && waiting > 0;
    }
}

// Waits for the rest to pass; false when asked to stop meanwhile.
bool PortReader::rest(int milliseconds) {
    pollfd wake{m_wake, POLLIN, 0};
    return ::poll(&wake, 1, milliseconds) == 0 || !m_stopping;
}

qsizetype PortReader::readAll(End* end, bool* windowBusy) {
    char buffer[ReadSize];
    qsizetype total = 0;
    for (bool full = false; !full || !windowBusy;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            if (!hand(buffer, n, &full) && windowBusy)
                *windowBusy = true;
            total += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            end->error = errno;
        break;
    }
    // A read of nothing says no more than "nothing now"; a hang-up is told by
    // poll, after the bytes that came before it were read.
    pollfd state{m_fd, POLLIN, 0};
    if (::poll(&state, 1, 0) == 1 && (state.revents & (POLLHUP | POLLERR | POLLNVAL)))
        end->hungUp = true;
    return total;
}

// Whether the window was told (it is not while a notice is still on its way),
// and in *full whether as much waits as may.
bool PortReader::hand(const char* bytes, qsizetype size, bool* full) {
    bool tell = false;
    {
        const std::lock_guard lock(m_mutex);
        m_incoming.append(bytes, size);
        tell = !std::exchange(m_told, true);
        *full = m_incoming.size() >= HoldLimit;
    }
    if (tell)
        m_notify();
    return tell;
}

// The two buffers keep their room as they change hands.
QByteArray PortReader::take(qsizetype most) {
    if (m_takenAt == m_taken.size()) {
        m_taken.resize(0);
        m_takenAt = 0;
        bool wasFull = false;
        {
            const std::lock_guard lock(m_mutex);
            wasFull = m_incoming.size() >= HoldLimit;
            std::swap(m_taken, m_incoming);
        }
        if (wasFull)
            wakeUp(m_wake);
    }
    const qsizetype size = std::min(most, m_taken.size() - m_takenAt);
    QByteArray bytes(m_taken.constData() + m_takenAt, size);
    m_takenAt += size;
    return bytes;
}

void PortReader::noticed() {
    const std::lock_guard lock(m_mutex);
    m_told = false;
}

void PortReader::remind() {
    bool tell = false;
    {
        const std::lock_guard lock(m_mutex);
        tell = !std::exchange(m_told, true);
    }
    if (tell)
        m_notify();
}

qsizetype PortReader::waiting() const {
    const std::lock_guard lock(m_mutex);
    return m_taken.size() - m_takenAt + m_incoming.size();
}

void PortReader::discard() {
    m_taken.resize(0);
    m_takenAt = 0;
    const std::lock_guard lock(m_mutex);
    m_incoming.resize(0);
}

void PortReader::finish() {
    stop();
    End end;
    readAll(&end, nullptr);
}

std::optional<PortReader::End> PortReader::ended() const {
    const std::lock_guard lock(m_mutex);
    return m_end;
}
