// varnolix-device: a pseudo-terminal that behaves like a serial device, so the
// program can be run and tested without hardware.
#include "pseudo_terminal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kChunk = 65536;

constexpr const char* kUsage = R"(Usage: varnolix-device [options]

Creates a pseudo-terminal, prints the path of its port end (e.g. /dev/pts/3)
on stdout and serves it until SIGINT or SIGTERM. By default it behaves like a
simple AT modem: "ATI" answers an identification line and OK, other lines
starting with "AT" answer OK, any other line answers ERROR.

Options:
  --echo               write back every received byte unchanged
  --stream FILE        write the content of FILE as fast as the reader takes it
  --repeat N           stream the file N times (default 1)
  --wait-open          start streaming only when another process opens the port
                       (noticed through inotify) or sends a byte to it
  --exit-after-stream  exit once the reader has taken the whole stream, instead
                       of keeping the port open
  --log FILE           append every byte received from the port to FILE
  --link PATH          create a symlink PATH to the port (removed on exit)
  --help               show this text
)";

struct Options {
    bool echo = false;
    const char* stream = nullptr;
    long repeat = 1;
    bool waitOpen = false;
    bool exitAfterStream = false;
    const char* log = nullptr;
    const char* link = nullptr;
};

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

int fail(const char* what) {
    std::fprintf(stderr, "varnolix-device: %s: %s\n", what, std::strerror(errno));
    return 1;
}

int usageError(const char* message) {
    std::fprintf(stderr, "varnolix-device: %s (see --help)\n", message);
    return 2;
}

// Returns 0 to go on, -1 after --help, otherwise the exit status.
int parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (arg == "--echo") {
            options.echo = true;
        } else if (arg == "--wait-open") {
            options.waitOpen = true;
        } else if (arg == "--exit-after-stream") {
            options.exitAfterStream = true;
        } else if (arg == "--stream" && hasValue) {
            options.stream = argv[++i];
        } else if (arg == "--log" && hasValue) {
            options.log = argv[++i];
        } else if (arg == "--link" && hasValue) {
            options.link = argv[++i];
        } else if (arg == "--repeat" && hasValue) {
            const std::string_view value = argv[++i];
            const auto [end, ec] =
                std::from_chars(value.data(), value.data() + value.size(), options.repeat);
            if (ec != std::errc() || end != value.data() + value.size() || options.repeat < 1)
                return usageError("--repeat needs a positive number");
        } else {
            return usageError(("bad argument: " + std::string(arg)).c_str());
        }
    }
    return 0;
}

std::string modemAnswer(std::string line) {
    std::transform(line.begin(), line.end(), line.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    if (line == "ATI")
        return "Varnolix virtual modem 1.0\r\nOK\r\n";
    return line.starts_with("AT") ? "OK\r\n" : "ERROR\r\n";
}

class Device {
public:
    Device(const Options& options, int master, int slave)
        : m_options(options)
        , m_master(master)
        , m_slave(slave) {}

    int run(const char* port, const sigset_t& waitMask);

private:
    bool receive();
    bool refill();

    const Options& m_options;
    int m_master;
    int m_slave;
    int m_logFile = -1;
    int m_streamFile = -1;
    int m_openWatch = -1;
    long m_passesLeft = 0;
    bool m_streaming = false;
    std::string m_line;
    // Bytes to write to the master; the first m_sent of them are written already.
    std::string m_out;
    size_t m_sent = 0;
};

int Device::run(const char* port, const sigset_t& waitMask) {
    if (m_options.log && (m_logFile = open(m_options.log, O_WRONLY | O_CREAT | O_APPEND, 0644)) < 0)
        return fail(m_options.log);
    if (m_options.stream) {
        if ((m_streamFile = open(m_options.stream, O_RDONLY)) < 0)
            return fail(m_options.stream);
        m_passesLeft = m_options.repeat;
        m_streaming = !m_options.waitOpen;
        // Watching before the path is printed means no client open can be missed.
        if (m_options.waitOpen && ((m_openWatch = inotify_init1(IN_NONBLOCK)) < 0 ||
                                   inotify_add_watch(m_openWatch, port, IN_OPEN) < 0))
            return fail("inotify");
    }
    std::printf("%s\n", port);
    std::fflush(stdout);

    const timespec pause{0, 20'000'000};
    int emptyChecks = 0;
    while (!stopRequested) {
        while (m_streaming && m_out.empty() && m_passesLeft > 0)
            if (!refill())
                return fail(m_options.stream);
        if (m_options.exitAfterStream && m_streaming && m_passesLeft == 0 && m_out.empty()) {
            // Exiting drops unread bytes, and the queue refills from a hidden buffer, so it
            // must stay empty for several checks.
            int queued = 0;
            if (ioctl(m_slave, TIOCINQ, &queued) < 0)
                return fail("ioctl");
            emptyChecks = queued == 0 ? emptyChecks + 1 : 0;
            if (emptyChecks == 5)
                return 0;
            ppoll(nullptr, 0, &pause, &waitMask);
            continue;
        }
        pollfd fds[2] = {{m_master, 0, 0}, {m_openWatch, POLLIN, 0}};
        if (m_out.size() < kChunk)
            fds[0].events |= POLLIN;
        if (!m_out.empty())
            fds[0].events |= POLLOUT;
        if (ppoll(fds, 2, nullptr, &waitMask) < 0) {
            if (errno == EINTR)
                continue;
            return fail("poll");
        }
        if (fds[1].revents) {
            m_streaming = true;
            close(m_openWatch);
            m_openWatch = -1;
        }
        if ((fds[0].revents & POLLIN) && !receive())
            return fail("read");
        if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Without any open port end the master reports hang-up; do not spin on it.
            ppoll(nullptr, 0, &pause, &waitMask);
        }
        if (fds[0].revents & POLLOUT) {
            const ssize_t n = write(m_master, m_out.data() + m_sent, m_out.size() - m_sent);
            if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
                return fail("write");
            m_sent += size_t(std::max<ssize_t>(n, 0));
            if (m_sent == m_out.size()) {
                m_out.clear();
                m_sent = 0;
            }
        }
    }
    return 0;
}

bool Device::receive() {
    char buffer[4096];
    const ssize_t n = read(m_master, buffer, sizeof buffer);
    if (n < 0)
        return errno == EAGAIN || errno == EINTR || errno == EIO;
    const std::string_view data(buffer, size_t(n));
    if (m_logFile >= 0 && write(m_logFile, data.data(), data.size()) != n)
        return false;
    if (m_options.stream) {
        m_streaming = true;
    } else if (m_options.echo) {
        m_out += data;
    } else {
        for (const char c : data) {
            if (c != '\r' && c != '\n') {
                if (m_line.size() < kChunk)
                    m_line += c;
            } else if (!m_line.empty()) {
                m_out += modemAnswer(m_line);
                m_line.clear();
            }
        }
    }
    return true;
}

bool Device::refill() {
    m_out.resize(kChunk);
    const ssize_t n = read(m_streamFile, m_out.data(), kChunk);
    m_out.resize(n > 0 ? size_t(n) : 0);
    if (n == 0 && --m_passesLeft > 0)
        return lseek(m_streamFile, 0, SEEK_SET) == 0;
    return n >= 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = parse(argc, argv, options))
        return status < 0 ? 0 : status;

    PseudoTerminal pty;
    if (!openPseudoTerminal(pty, true))
        return fail("pseudo-terminal");
    const char* port = pty.portPath.c_str();

    struct sigaction action {};
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // Whoever started the device may stop reading its output; that must not end it.
    std::signal(SIGPIPE, SIG_IGN);
    // Stop signals stay blocked except inside ppoll, so none is lost between checks.
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);

    if (options.link) {
        struct stat info {};
        if (lstat(options.link, &info) == 0 && S_ISLNK(info.st_mode))
            unlink(options.link);
        if (symlink(port, options.link) < 0)
            return fail(options.link);
    }
    const int status = Device(options, pty.device, pty.port).run(port, waitMask);
    if (options.link)
        unlink(options.link);
    return status;
}
