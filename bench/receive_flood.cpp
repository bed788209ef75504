// Floods the real window through a pseudo-terminal and reports how fast it
// drains, how long a posted event waits meanwhile, and how much memory the
// received data costs.
//
//   receive_flood [--kind ascii|words|gbk|hex] [--megabytes N] [--prefill N]
//                 [--capture FILE]
//   receive_flood --rate BYTES_PER_SECOND [--kind ...] [--seconds N] [--busy MS]
//
// --rate paces the device end instead, like a USB adapter at a real line
// rate: every 1 ms it writes what the rate owes, in packets of 62 bytes, for N
// seconds (4 by default), first to a bare poll/read loop, then to the window,
// and reports the share of a core each took. --busy MS keeps the window's
// thread busy (asleep in a handler) for MS of every 100 ms, as a window that
// draws a large area or saves a log is.
//
// --prefill N puts N MB of text (hex for hex, else ASCII lines) in the receive
// area first.
#include "measure.h"
#include "platform/capture_file.h"
#include "platform/qt_platform.h"
#include "pty_device.h"
#include "window/counter.h"
#include "window/frmmain.h"
#include "window/log_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QByteArray floodData(const std::string& kind, qsizetype size) {
    QByteArray data;
    data.reserve(size + 128);
    QRandomGenerator random(42);
    if (kind == "hex") {
        data.resize(size);
        random.fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
        return data;
    }
    const QByteArray line =
        kind == "words" ? QByteArray("a stream of words that never ends in a line break ")
        : kind == "gbk" ? QByteArray("\xB4\xAE\xBF\xDA\xB5\xF7\xCA\xD4\xD6\xFA\xCA\xD6\xA3\xBA"
                                     "\xCE\xC2\xB6\xC8 23.5 \xCA\xAA\xB6\xC8 41% \xB5\xE7\xD1\xB9 "
                                     "3.3V \xD5\xFD\xB3\xA3\r\n")
                        : QByteArray("temperature=23.5 humidity=41% voltage=3.3V status=OK\r\n");
    while (data.size() < size)
        data += line;
    data.truncate(size);
    return data;
}

struct Posted : QEvent {
    explicit Posted(qint64 at)
        : QEvent(QEvent::User)
        , postedAt(at) {}
    qint64 postedAt;
};

class Probe : public QObject {
public:
    QElapsedTimer clock;
    std::vector<qint64> waits;

    double medianMs() {
        if (waits.empty())
            return 0;
        std::nth_element(waits.begin(), waits.begin() + waits.size() / 2, waits.end());
        return waits[waits.size() / 2] / 1e6;
    }
    double worstMs() const {
        return waits.empty() ? 0 : *std::max_element(waits.begin(), waits.end()) / 1e6;
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        waits.push_back(clock.nsecsElapsed() - static_cast<Posted*>(event)->postedAt);
        return true;
    }
};

// A USB full-speed adapter hands its driver 62 bytes of data a packet, each
// packet on its own: every one of them can wake the reader.
constexpr qsizetype PacketSize = 62;

// Writes `data` round and round into `fd`, rate / 1000 bytes every 1 ms in
// packets of PacketSize, for `seconds`; returns how many bytes it wrote.
long long writePaced(int fd, const QByteArray& data, long long rate, double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto tick = start;
    long long written = 0;
    qsizetype at = 0;
    while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
        tick += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(tick);
        const auto since = std::chrono::duration<double>(Clock::now() - start).count();
        for (long long owed = (long long)(since * double(rate)) - written; owed > 0;) {
            const qsizetype n = std::min<qsizetype>({owed, data.size() - at, PacketSize});
            const ssize_t done = ::write(fd, data.constData() + at, size_t(n));
            if (done <= 0)
                break;
            written += done;
            owed -= done;
            at = (at + done) % data.size();
        }
    }
    return written;
}

// The floor: a plain poll/read loop on the port end, on a thread of its own.
double bareReaderShare(const QByteArray& data, long long rate, double seconds) {
    PtyDevice pty;
    std::atomic<bool> done{false};
    std::atomic<long long> received{0};
    double cpu = 0;
    std::thread reader([&] {
        const double before = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        char buffer[65536];
        while (!done) {
            pollfd ready{pty.port, POLLIN, 0};
            if (::poll(&ready, 1, 50) > 0) {
                const ssize_t n = ::read(pty.port, buffer, sizeof buffer);
                if (n > 0)
                    received += n;
            }
        }
        cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before;
    });
    const long long written = writePaced(pty.fd, data, rate, seconds);
    while (received < written)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    done = true;
    reader.join();
    return cpu / seconds;
}

// The window, fed the same way: the share of its thread, and of the whole
// program (its thread and the threads Qt starts, such as those that share out
// large fills), which is the process less the writer.
int paced(QApplication& app, const std::string& kind, long long rate, double seconds, int busyMs) {
    const QByteArray data = floodData(kind, 1 << 20);
    const double bare = bareReaderShare(data, rate, seconds);

    PtyDevice pty;
    QtPlatform qt{PortMap({{1, pty.portPath}})};
    frmmain form(qt.platform());
    form.show();
    if (kind == "hex")
        form.Option1->setChecked(true);
    QCoreApplication::processEvents();
    long batches = 0;
    QObject::connect(&qt.serial, &SerialDevice::onComm, [&] { ++batches; });

    std::atomic<long long> written{-1};
    double writerCpu = 0;
    const double before = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double processBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    std::thread writer([&] {
        const double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const long long n = writePaced(pty.fd, data, rate, seconds);
        writerCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
        written = n;
    });
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (written >= 0 && form.Label10->text().toLongLong() >= written)
            app.quit();
    });
    check.start(50);
    QTimer busy;
    QObject::connect(&busy, &QTimer::timeout, [&] {
        if (written < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(busyMs));
    });
    if (busyMs > 0)
        busy.start(100);
    app.exec();
    const double window = (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before) / seconds;
    writer.join();
    const double program =
        (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore - writerCpu) / seconds;

    std::printf("kind=%s rate=%lld B/s for %.0f s: %ld batches, %.0f bytes each\n", kind.c_str(),
                rate, seconds, batches, double(written) / double(std::max(batches, 1L)));
    std::printf("bare reader: %.1f%% of a core\n", 100 * bare);
    std::printf("window:      %.1f%% of a core (%.2f x the bare reader)\n", 100 * window,
                window / bare);
    std::printf("program:     %.1f%% of a core (%.2f x the bare reader)\n", 100 * program,
                program / bare);
    return form.Label10->text().toLongLong() == written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string kind = "ascii";
    qsizetype megabytes = 20, prefill = 0;
    QString capturePath;
    long long rate = 0;
    double pacedSeconds = 4;
    int busyMs = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--kind"))
            kind = argv[i + 1];
        else if (!std::strcmp(argv[i], "--megabytes"))
            megabytes = std::atoll(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--prefill"))
            prefill = std::atoll(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--capture"))
            capturePath = QString::fromLocal8Bit(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rate"))
            rate = std::atoll(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seconds"))
            pacedSeconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--busy"))
            busyMs = std::atoi(argv[i + 1]);
    }
    QApplication app(argc, argv);
    if (rate > 0)
        return paced(app, kind, rate, pacedSeconds, busyMs);

    PtyDevice pty;
    const int device = pty.fd;
    const QString port = pty.portPath;

    std::unique_ptr<CaptureFile> capture;
    if (!capturePath.isEmpty()) {
        QString why;
        capture = CaptureFile::open(capturePath, &why);
        if (!capture) {
            std::fprintf(stderr, "cannot capture: %s\n", qPrintable(why));
            return 2;
        }
    }
    QtPlatform qt{PortMap({{1, port}})};
    frmmain form(qt.platform(), {capture.get()});
    form.show();
    if (kind == "hex")
        form.Option1->setChecked(true);
    if (prefill > 0) {
        const QString text = kind == "hex" ? QStringLiteral("4F \r").repeated(prefill << 18)
                                           : QString::fromLatin1(floodData("ascii", prefill << 20));
        form.Text1->setText(text);
    }

    const QByteArray data = floodData(kind, megabytes << 20);
    QCoreApplication::processEvents();
    const long rssBefore = statusKiB("VmRSS:");
    long batches = 0;
    QObject::connect(&qt.serial, &SerialDevice::onComm, [&] { ++batches; });

    Probe probe;
    probe.clock.start();
    std::atomic<bool> done{false};
    std::thread poster([&] {
        while (!done) {
            QCoreApplication::postEvent(&probe, new Posted(probe.clock.nsecsElapsed()));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    QElapsedTimer elapsed;
    elapsed.start();
    std::thread writer([&] {
        for (qsizetype at = 0; at < data.size();) {
            const ssize_t n = ::write(device, data.constData() + at,
                                      std::min<qsizetype>(65536, data.size() - at));
            if (n > 0)
                at += n;
        }
    });

    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (form.Label10->text().toLongLong() >= data.size())
            app.quit();
    });
    check.start(5);
    app.exec();
    const double seconds = elapsed.nsecsElapsed() / 1e9;
    if (capture)
        capture->finish(10000);
    done = true;
    writer.join();
    poster.join();

    const long rssPeak = statusKiB("VmHWM:");
    const long rssAfter = statusKiB("VmRSS:");
    std::printf("kind=%s megabytes=%lld prefill=%lld capture=%s\n", kind.c_str(),
                (long long)megabytes, (long long)prefill, capture ? "on" : "off");
    std::printf("drain rate: %.1f MB/s (%.2f s)\n", data.size() / seconds / 1e6, seconds);
    std::printf("batches: %ld, %.0f bytes each on average\n", batches,
                double(data.size()) / std::max(batches, 1L));
    std::printf("posted event latency: median %.2f ms, worst %.1f ms over %zu events\n",
                probe.medianMs(), probe.worstMs(), probe.waits.size());
    std::printf("memory: %.2f bytes per received byte (peak %.2f)\n",
                (rssAfter - rssBefore) * 1024.0 / data.size(),
                (rssPeak - rssBefore) * 1024.0 / data.size());
    std::printf("receive area: %lld characters, %lld display lines\n",
                (long long)form.Text1->text().size(), (long long)form.Text1->displayLineCount());
    return form.Label10->text().toLongLong() == data.size() ? 0 : 1;
}
