// Floods the real window through a pseudo-terminal and reports how fast it
// drains, how long a posted event waits meanwhile, and how much memory the
// received data costs.
//
//   receive_flood [--kind ascii|words|gbk|hex] [--megabytes N] [--prefill N]
//                 [--capture FILE]
//
// --prefill N puts N MB of text (hex for hex, else ASCII lines) in the receive
// area first.
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
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return 0;
}

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
    qint64 worst = 0;
    long seen = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        worst = std::max(worst, clock.nsecsElapsed() - static_cast<Posted*>(event)->postedAt);
        ++seen;
        return true;
    }
};

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string kind = "ascii";
    qsizetype megabytes = 20, prefill = 0;
    QString capturePath;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--kind"))
            kind = argv[i + 1];
        else if (!std::strcmp(argv[i], "--megabytes"))
            megabytes = std::atoll(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--prefill"))
            prefill = std::atoll(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--capture"))
            capturePath = QString::fromLocal8Bit(argv[i + 1]);
    }
    QApplication app(argc, argv);

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
        capture->flush();
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
    std::printf("posted event latency: worst %.1f ms over %ld events\n", probe.worst / 1e6,
                probe.seen);
    std::printf("memory: %.2f bytes per received byte (peak %.2f)\n",
                (rssAfter - rssBefore) * 1024.0 / data.size(),
                (rssPeak - rssBefore) * 1024.0 / data.size());
    std::printf("receive area: %lld characters, %lld display lines\n",
                (long long)form.Text1->text().size(), (long long)form.Text1->displayLineCount());
    return form.Label10->text().toLongLong() == data.size() ? 0 : 1;
}
