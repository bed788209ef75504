// A lost port waited for with --reconnect: how much of a core the window
// uses while its device is away, and how soon it is open again once back.
//
//   reconnect_wait [--seconds N]
#include "measure.h"
#include "platform/qt_platform.h"
#include "pty_device.h"
#include "window/frmmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

void runFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    double seconds = 10;
    if (argc == 3 && !std::strcmp(argv[1], "--seconds"))
        seconds = std::atof(argv[2]);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("usb-adapter"));
    auto device = std::make_unique<PtyDevice>();
    QFile::link(device->portPath, link);
    QtPlatform qt{PortMap({{1, link}})};
    frmmain form(qt.platform(), {nullptr, true});
    form.show();
    runFor(0.2);
    if (form.shared.portState != 1)
        return 1;

    device.reset();
    runFor(0.5);
    const double cpuBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    runFor(seconds);
    const double waiting = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;

    PtyDevice back;
    QFile::remove(link);
    QFile::link(back.portPath, link);
    QElapsedTimer reopened;
    reopened.start();
    while (form.shared.portState != 1 && reopened.elapsed() < 5000)
        runFor(0.001);

    std::printf("waiting for the device: %.2f%% of a core over %.0f s\n", 100 * waiting / seconds,
                seconds);
    std::printf("open again %lld ms after the device came back\n",
                static_cast<long long>(reopened.elapsed()));
    return form.shared.portState == 1 ? 0 : 1;
}
