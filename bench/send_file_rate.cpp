// Send File into a pseudo-terminal whose device end reads at a fixed rate (or
// as fast as it can): how long the file takes to show, how long the send
// takes against size / rate, and how much of a core the window's thread uses
// meanwhile.
//
//   send_file_rate [--megabytes N] [--rate BYTES_PER_SECOND]
//
// The file holds random bytes, so most of it shows as Chinese characters; it
// is written a piece at a time and never held here, so the peak resident set
// reported is the window's own.
#include "measure.h"
#include "platform/qt_platform.h"
#include "pty_device.h"
#include "window/frmmain.h"
#include "window/log_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// Confirms the dialog with a given file.
class ChosenFile final : public CommonDialog {
public:
    QString path;
    bool showOpen() override {
        FileName = path;
        return true;
    }
    bool showSave() override { return false; }
};

// Notes when the send first lets events run.
class TimedEventLoop final : public EventLoop {
public:
    QtEventLoop real;
    QElapsedTimer clock;
    qint64 firstYield = -1;
    double cpuAtFirstYield = 0;
    void yield() override {
        note();
        real.yield();
    }
    void wait() override {
        note();
        real.wait();
    }

private:
    void note() {
        if (firstYield >= 0)
            return;
        firstYield = clock.nsecsElapsed();
        cpuAtFirstYield = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    }
};

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qsizetype megabytes = 10;
    long long rate = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--megabytes"))
            megabytes = std::atoll(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rate"))
            rate = std::atoll(argv[i + 1]);
    }
    QApplication app(argc, argv);

    QTemporaryDir dir;
    ChosenFile dialog;
    dialog.path = dir.filePath(QStringLiteral("payload.bin"));
    const qint64 size = qint64(megabytes) << 20;
    {
        QFile file(dialog.path);
        file.open(QIODevice::WriteOnly);
        QByteArray piece(1 << 20, Qt::Uninitialized);
        QRandomGenerator random(11);
        for (qint64 at = 0; at < size; at += piece.size()) {
            random.fillRange(reinterpret_cast<quint32*>(piece.data()), piece.size() / 4);
            file.write(piece);
        }
    }
    const long rssBefore = statusKiB("VmRSS:");

    PtyDevice device;
    Drain drain(device.fd, rate);

    QtPlatform qt{PortMap({{1, device.portPath}})};
    TimedEventLoop events;
    frmmain form({qt.serial, dialog, qt.timer, qt.messages, qt.shell, events});
    form.show();
    QCoreApplication::processEvents();

    events.clock.start();
    form.Command3_Click();
    const double seconds = events.clock.nsecsElapsed() / 1e9;
    const double shown = events.firstYield / 1e9;
    const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    while (drain.received() < size && events.clock.nsecsElapsed() < 600e9)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    drain.stop();

    std::printf("file of %lld MB: shown in the receive area after %.0f ms\n",
                static_cast<long long>(megabytes), shown * 1e3);
    std::printf("send: %.2f s", seconds - shown);
    if (rate > 0)
        std::printf(" (size / rate: %.2f s)", double(size) / double(rate));
    std::printf(", %.0f KB/s\n", size / 1024.0 / (seconds - shown));
    std::printf("window thread while sending: %.1f%% of a core\n",
                100 * (cpu - events.cpuAtFirstYield) / (seconds - shown));
    std::printf("bytes at the device end: %lld of %lld, log ends with \"%s\"\n", drain.received(),
                static_cast<long long>(size), qPrintable(form.Text1->text().right(17)));
    std::printf("log: %lld characters; peak memory %.2f bytes per byte of the file\n",
                static_cast<long long>(form.Text1->text().size()),
                (statusKiB("VmHWM:") - rssBefore) * 1024.0 / double(size));
    return drain.received() == size ? 0 : 1;
}
