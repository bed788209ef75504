#include "platform/quit_signals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array Handled{SIGINT, SIGTERM, SIGHUP};
// The handler only writes the signal's number here; the window's thread
// reads it. [0] is the reading end.
int pipeEnds[2] = {-1, -1};
std::array<struct sigaction, Handled.size()> earlier{};
struct sigaction earlierAlarm {};
volatile sig_atomic_t told = 0;
// Ends the program when it overstays the deadline; armed by the first signal.
timer_t deadline{};
timespec deadlineAfter{};

void onSignal(int number) {
    const int saved = errno;
    if (told) {
        ::signal(number, SIG_DFL);
        ::raise(number);
    }
    told = 1;
    const auto byte = static_cast<unsigned char>(number);
    (void)!::write(pipeEnds[1], &byte, 1);
    if (deadlineAfter.tv_sec || deadlineAfter.tv_nsec) {
        const itimerspec once{{0, 0}, deadlineAfter};
        ::timer_settime(deadline, 0, &once, nullptr);
    }
    errno = saved;
}

void onDeadline(int) {
    static const char line[] = "varnolix: not ended in time after a signal; ending now\n";
    (void)!::write(STDERR_FILENO, line, sizeof line - 1);
    ::_exit(1);
}

} // namespace

QuitSignals::QuitSignals(int deadlineMs, QObject* parent)
    : QObject(parent) {
    if (::pipe2(pipeEnds, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    told = 0;
    deadlineAfter = {};
    if (deadlineMs > 0) {
        struct sigaction alarm {};
        alarm.sa_handler = onDeadline;
        sigemptyset(&alarm.sa_mask);
        ::sigaction(SIGALRM, &alarm, &earlierAlarm);
        sigevent event{};
        event.sigev_notify = SIGEV_SIGNAL;
        event.sigev_signo = SIGALRM;
        m_deadline = ::timer_create(CLOCK_MONOTONIC, &event, &deadline) == 0;
        if (m_deadline)
            deadlineAfter = {deadlineMs / 1000, long(deadlineMs % 1000) * 1'000'000};
    }
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(pipeEnds[0], &byte, 1) == 1)
            emit received(byte);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < Handled.size(); ++i)
        ::sigaction(Handled[i], &action, &earlier[i]);
}

QuitSignals::~QuitSignals() {
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < Handled.size(); ++i)
        ::sigaction(Handled[i], &earlier[i], nullptr);
    if (m_deadline) {
        ::timer_delete(deadline);
        ::sigaction(SIGALRM, &earlierAlarm, nullptr);
    }
    delete m_notifier;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}
