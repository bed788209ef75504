#include "support/fake_line_control.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Ioctl = int (*)(int, unsigned long, ...);

int realIoctl(int fd, unsigned long request, void* arg) {
    static const auto real = reinterpret_cast<Ioctl>(::dlsym(RTLD_NEXT, "ioctl"));
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    return real(fd, request, arg);
}

constexpr std::array InputBits{TIOCM_CTS, TIOCM_DSR, TIOCM_CD, TIOCM_RI};
constexpr int OutputBits = TIOCM_DTR | TIOCM_RTS;

// The device named by attach(), by its device number; 0 is none.
std::atomic<dev_t> attached{0};

struct Lines {
    std::mutex mutex;
    int bits = 0;
    // Each input's changes, as a driver counts them for a wait.
    std::array<int, InputBits.size()> changes{};
    fake_lines::Counts counts;
    bool waitingSupported = true;
    bool breakOn = false;
    int breaks = 0;
    std::chrono::steady_clock::time_point breakStart;
    double lastBreakMs = 0;
    // An eventfd for each wait in progress, written at each change.
    std::vector<int> waits;
};

Lines lines;
std::atomic<int> queuedOutput{-1};

bool isAttached(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) &&
           status.st_rdev == attached.load();
}

bool changedIn(int mask, const std::array<int, InputBits.size()>& before) {
    for (std::size_t i = 0; i < InputBits.size(); ++i)
        if ((mask & InputBits[i]) && lines.changes[i] != before[i])
            return true;
    return false;
}

// Like a driver's wait: until an input in `mask` changes, or a signal comes.
int waitForChange(int mask) {
    std::unique_lock lock(lines.mutex);
    if (!lines.waitingSupported) {
        errno = EINVAL;
        return -1;
    }
    const auto before = lines.changes;
    const int wake = ::eventfd(0, EFD_CLOEXEC);
    lines.waits.push_back(wake);
    int result = 0;
    while (!changedIn(mask, before)) {
        lock.unlock();
        pollfd ready{wake, POLLIN, 0};
        const bool interrupted = ::poll(&ready, 1, -1) < 0 && errno == EINTR;
        lock.lock();
        if (interrupted) {
            result = -1;
            break;
        }
        std::uint64_t count = 0;
        (void)!::read(wake, &count, sizeof count);
    }
    std::erase(lines.waits, wake);
    lock.unlock();
    ::close(wake);
    if (result < 0)
        errno = EINTR;
    return result;
}

int answer(unsigned long request, void* arg) {
    if (request == TIOCMIWAIT)
        return waitForChange(static_cast<int>(reinterpret_cast<std::uintptr_t>(arg)));
    const std::lock_guard lock(lines.mutex);
    switch (request) {
    case TIOCMGET:
        *static_cast<int*>(arg) = lines.bits;
        break;
    case TIOCMSET:
        lines.bits = (lines.bits & ~OutputBits) | (*static_cast<const int*>(arg) & OutputBits);
        break;
    case TIOCMBIS:
        lines.bits |= *static_cast<const int*>(arg) & OutputBits;
        break;
    case TIOCMBIC:
        lines.bits &= ~(*static_cast<const int*>(arg) & OutputBits);
        break;
    case TIOCSBRK:
        lines.breakOn = true;
        ++lines.breaks;
        lines.breakStart = std::chrono::steady_clock::now();
        break;
    case TIOCCBRK:
        if (lines.breakOn)
            lines.lastBreakMs = std::chrono::duration<double, std::milli>(
                                    std::chrono::steady_clock::now() - lines.breakStart)
                                    .count();
        lines.breakOn = false;
        break;
    case TIOCOUTQ:
        *static_cast<int*>(arg) = queuedOutput;
        break;
    case TIOCGICOUNT: {
        serial_icounter_struct counts{};
        counts.cts = lines.changes[0];
        counts.dsr = lines.changes[1];
        counts.dcd = lines.changes[2];
        counts.rng = lines.changes[3];
        counts.frame = lines.counts.framing;
        counts.parity = lines.counts.parity;
        counts.overrun = lines.counts.overrun;
        counts.buf_overrun = lines.counts.bufferOverrun;
        *static_cast<serial_icounter_struct*>(arg) = counts;
        break;
    }
    }
    return 0;
}

void reset(int outputs) {
    const std::lock_guard lock(lines.mutex);
    lines.bits = outputs;
    lines.counts = {};
    lines.waitingSupported = true;
    lines.breakOn = false;
    lines.breaks = 0;
    lines.lastBreakMs = 0;
}

bool isLineRequest(unsigned long request) {
    switch (request) {
    case TIOCMGET:
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCSBRK:
    case TIOCCBRK:
    case TIOCGICOUNT:
    case TIOCMIWAIT:
        return true;
    case TIOCOUTQ:
        return queuedOutput >= 0;
    default:
        return false;
    }
}

// Preloaded into the program: the device and its inputs from the environment.
bool attachFromEnvironment() {
    const char* device = std::getenv("VARNOLIX_FAKE_LINES_DEVICE");
    if (!device || !fake_lines::attach(device))
        return false;
    const std::string on =
        std::getenv("VARNOLIX_FAKE_LINES") ? std::getenv("VARNOLIX_FAKE_LINES") : "";
    fake_lines::setInputs({on.find("cts") != std::string::npos, on.find("dsr") != std::string::npos,
                           on.find("dcd") != std::string::npos,
                           on.find("ri") != std::string::npos});
    return true;
}

[[maybe_unused]] const bool fromEnvironment = attachFromEnvironment();

} // namespace

// Every caller's ioctl, the C library's and Qt's included, comes here first.
extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (attached.load() == 0 || !isAttached(fd))
        return realIoctl(fd, request, arg);
    // A flush of the output empties the queue the driver is said to hold.
    const auto queue = static_cast<int>(reinterpret_cast<std::uintptr_t>(arg));
    if (request == TCFLSH && (queue == TCOFLUSH || queue == TCIOFLUSH) && queuedOutput > 0)
        queuedOutput = 0;
    if (!isLineRequest(request))
        return realIoctl(fd, request, arg);
    return answer(request, arg);
}

namespace fake_lines {

bool attach(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    reset(OutputBits);
    attached = status.st_rdev;
    return true;
}

void detach() {
    attached = 0;
    queuedOutput = -1;
    reset(0);
}

void setOutputQueued(int bytes) {
    queuedOutput = bytes;
}

int outputQueued() {
    return queuedOutput;
}

void setInputs(const Inputs& inputs) {
    const std::array on{inputs.cts, inputs.dsr, inputs.dcd, inputs.ri};
    const std::lock_guard lock(lines.mutex);
    for (std::size_t i = 0; i < InputBits.size(); ++i) {
        if (bool(lines.bits & InputBits[i]) == on[i])
            continue;
        lines.bits ^= InputBits[i];
        ++lines.changes[i];
    }
    const std::uint64_t one = 1;
    for (const int wake : lines.waits)
        (void)!::write(wake, &one, sizeof one);
}

void setCounts(const Counts& counts) {
    const std::lock_guard lock(lines.mutex);
    lines.counts = counts;
}

void supportWaiting(bool supported) {
    const std::lock_guard lock(lines.mutex);
    lines.waitingSupported = supported;
}

bool dtr() {
    const std::lock_guard lock(lines.mutex);
    return lines.bits & TIOCM_DTR;
}

bool rts() {
    const std::lock_guard lock(lines.mutex);
    return lines.bits & TIOCM_RTS;
}

bool breakOn() {
    const std::lock_guard lock(lines.mutex);
    return lines.breakOn;
}

int breaks() {
    const std::lock_guard lock(lines.mutex);
    return lines.breaks;
}

double lastBreakMs() {
    const std::lock_guard lock(lines.mutex);
    return lines.lastBreakMs;
}

int waiting() {
    const std::lock_guard lock(lines.mutex);
    return static_cast<int>(lines.waits.size());
}

} // namespace fake_lines
