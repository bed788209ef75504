#include "platform/port_reader.h"

#include "platform/read_pace.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// Shorter rests are not worth a wake-up.
constexpr std::int64_t ShortestRestUs = 250;
// One read of the driver at most.
constexpr qsizetype ReadSize = 64 << 10;
// What a close reads beyond what the driver said it held: its buffers hold
// about this much more than it says.
constexpr qsizetype DrainBeyond = 64 << 10;
// Each of the two buffers has room for all that may wait from the start, so
// that the reading thread never allocates while the window is busy: pages
// that were never written take no memory.
constexpr qsizetype Room = PortReader::HoldLimit + ReadSize;
constexpr std::size_t ArrivalRoom = 4096;

void wakeUp(int eventFd) {
    const std::uint64_t one = 1;
    while (::write(eventFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

// The system's clock, as a stamp shows it: steps and all.
qint64 systemMs() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

} // namespace

PortReader::PortReader(int fd, std::function<void()> told)
    : m_fd(fd)
    , m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    , m_wakeError(m_wake < 0 ? errno : 0)
    , m_notify(std::move(told)) {
    m_incoming.reserve(Room);
    m_taken.reserve(Room);
    m_incomingArrivals.reserve(ArrivalRoom);
    m_takenArrivals.reserve(ArrivalRoom);
    // Without its eventfd the thread could never be stopped: the port is lost.
    m_thread = std::thread([this] { m_wakeError ? fail(m_wakeError) : run(); });
}

PortReader::~PortReader() {
    stop();
    ::close(m_fd);
    if (m_wake >= 0)
        ::close(m_wake);
}

void PortReader::stop() {
    m_stopping = true;
    if (m_wake >= 0)
        wakeUp(m_wake);
    if (m_thread.joinable())
        m_thread.join();
}

void PortReader::setFrameGap(int milliseconds) {
    if (m_frameGap.exchange(milliseconds) != milliseconds && m_wake >= 0)
        wakeUp(m_wake);
}

void PortReader::fail(int error) {
    {
        const std::lock_guard lock(m_mutex);
        m_end = End{false, error};
    }
    m_notify();
}

void PortReader::run() {
    ReadPace pace;
    bool streaming = false;
    // A frame is open from a read until its gap of silence passed.
    bool frameOpen = false;
    while (!m_stopping) {
        bool full = false;
        {
            const std::lock_guard lock(m_mutex);
            full = m_incoming.size() >= HoldLimit;
        }
        const int gap = m_frameGap;
        int timeout = -1;
        if (gap > 0 && frameOpen && !full) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                pace.lastRead() + std::chrono::milliseconds(gap) - Clock::now());
            timeout = int(std::max<std::int64_t>(0, left.count()));
        }
        pollfd ready[2] = {{m_wake, POLLIN, 0}, {m_fd, short(full ? 0 : POLLIN), 0}};
        const int polled = ::poll(ready, 2, timeout);
        if (polled < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (ready[0].revents & POLLIN) {
            std::uint64_t count = 0;
            (void)!::read(m_wake, &count, sizeof count);
            continue;
        }
        if (polled == 0) {
            frameOpen = false;
            handSilence(systemMs());
            continue;
        }
        if (!ready[1].revents)
            continue;
        End end;
        const auto now = Clock::now();
        const qsizetype read = readAll(&end, -1);
        if (end.hungUp || end.error) {
            {
                const std::lock_guard lock(m_mutex);
                m_end = end;
            }
            m_notify();
            return;
        }
        if (read == 0)
            continue;
        frameOpen = frameOpen || gap > 0;
        double restMs = pace.restAfter(read, now, streaming);
        // A silence is measured from the last read: a rest makes it look
        // shorter by as much.
        if (gap > 0)
            restMs = std::min(restMs, gap / 4.0);
        const auto restUs = std::int64_t(restMs * 1000);
        if (restUs < ShortestRestUs)
            continue;
        if (!rest(restUs))
            return;
        int waiting = 0;
        streaming = ::ioctl(m_fd, FIONREAD, &waiting) == 0 && waiting > 0;
    }
}

// Waits for the rest to pass; false when asked to stop meanwhile.
bool PortReader::rest(std::int64_t microseconds) {
    pollfd wake{m_wake, POLLIN, 0};
    const timespec span{time_t(microseconds / 1'000'000), long(microseconds % 1'000'000) * 1000};
    return ::ppoll(&wake, 1, &span, nullptr) == 0 || !m_stopping;
}

qsizetype PortReader::readAll(End* end, qsizetype most) {
    char buffer[ReadSize];
    qsizetype total = 0;
    for (bool full = false; !full && (most < 0 || total < most);) {
        const qint64 at = systemMs();
        const auto wanted = most < 0 ? ReadSize : std::min(ReadSize, most - total);
        const ssize_t n = ::read(m_fd, buffer, size_t(wanted));
        if (n > 0) {
            hand(buffer, n, at, &full);
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
// and in *full whether as much waits as may. Reads within one millisecond are
// one arrival.
bool PortReader::hand(const char* bytes, qsizetype size, qint64 at, bool* full) {
    bool tell = false;
    {
        const std::lock_guard lock(m_mutex);
        m_incoming.append(bytes, size);
        if (!m_incomingArrivals.empty() && m_incomingArrivals.back().size > 0 &&
            m_incomingArrivals.back().msecsSinceEpoch == at)
            m_incomingArrivals.back().size += size;
        else
            m_incomingArrivals.push_back({size, at});
        tell = !std::exchange(m_told, true);
        *full = m_incoming.size() >= HoldLimit;
    }
    if (tell)
        m_notify();
    return tell;
}

void PortReader::handSilence(qint64 at) {
    bool tell = false;
    {
        const std::lock_guard lock(m_mutex);
        m_incomingArrivals.push_back({0, at});
        tell = !std::exchange(m_told, true);
    }
    if (tell)
        m_notify();
}

// The two buffers keep their room as they change hands.
QByteArray PortReader::take(qsizetype most, QList<Arrival>* arrivals) {
    arrivals->clear();
    if (m_takenAt == m_taken.size() && m_arrival == m_takenArrivals.size()) {
        m_taken.resize(0);
        m_takenArrivals.clear();
        m_takenAt = 0;
        m_arrival = 0;
        m_arrivalTaken = 0;
        bool wasFull = false;
        {
            const std::lock_guard lock(m_mutex);
            wasFull = m_incoming.size() >= HoldLimit;
            std::swap(m_taken, m_incoming);
            std::swap(m_takenArrivals, m_incomingArrivals);
        }
        if (wasFull)
            wakeUp(m_wake);
    }
    const qsizetype size = std::min(most, m_taken.size() - m_takenAt);
    QByteArray bytes(m_taken.constData() + m_takenAt, size);
    m_takenAt += size;
    // The arrivals of those bytes, and the silences right after them.
    for (qsizetype left = size; m_arrival < m_takenArrivals.size(); ++m_arrival) {
        const Arrival& arrival = m_takenArrivals[m_arrival];
        if (arrival.size == 0) {
            arrivals->append(arrival);
            continue;
        }
        if (left == 0)
            break;
        const qsizetype part = std::min(left, arrival.size - m_arrivalTaken);
        arrivals->append({part, arrival.msecsSinceEpoch});
        left -= part;
        m_arrivalTaken += part;
        if (m_arrivalTaken < arrival.size)
            break;
        m_arrivalTaken = 0;
    }
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

bool PortReader::pending() const {
    const std::lock_guard lock(m_mutex);
    return m_takenAt < m_taken.size() || m_arrival < m_takenArrivals.size() ||
           !m_incomingArrivals.empty();
}

void PortReader::discard() {
    m_taken.resize(0);
    m_takenArrivals.clear();
    m_takenAt = 0;
    m_arrival = 0;
    m_arrivalTaken = 0;
    const std::lock_guard lock(m_mutex);
    m_incoming.resize(0);
    m_incomingArrivals.clear();
}

void PortReader::finish() {
    stop();
    int held = 0;
    if (::ioctl(m_fd, FIONREAD, &held) != 0)
        held = 0;
    End end;
    readAll(&end, qsizetype(held) + DrainBeyond);
}

std::optional<PortReader::End> PortReader::ended() const {
    const std::lock_guard lock(m_mutex);
    return m_end;
}
