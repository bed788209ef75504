// Send File into a pseudo-terminal: the rate of the byte-by-byte send, and how
// long the window is busy before the send starts (reading the file and
// showing it).
//
//   send_file_rate [--megabytes N]
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

// Notes when the send loop first lets events run.
class TimedEventLoop final : public EventLoop {
public:
    QElapsedTimer clock;
    qint64 firstYield = -1;
    void yield() override {
        if (firstYield < 0)
            firstYield = clock.nsecsElapsed();
        QCoreApplication::processEvents();
    }
};

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qsizetype megabytes = 10;
    if (argc == 3 && !std::strcmp(argv[1], "--megabytes"))
        megabytes = std::atoll(argv[2]);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    ChosenFile dialog;
    dialog.path = dir.filePath(QStringLiteral("payload.bin"));
    QByteArray content(megabytes << 20, Qt::Uninitialized);
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32*>(content.data()), content.size() / 4);
    QFile file(dialog.path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    file.close();

    PtyDevice device;
    Drain drain(device.fd);

    QtPlatform qt{PortMap({{1, device.portPath}})};
    TimedEventLoop events;
    frmmain form({qt.serial, dialog, qt.timer, qt.messages, qt.shell, events});
    form.show();
    QCoreApplication::processEvents();

    events.clock.start();
    form.Command3_Click();
    const double seconds = events.clock.nsecsElapsed() / 1e9;
    while (drain.received() < content.size() && events.clock.nsecsElapsed() < 60e9)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    drain.stop();

    std::printf("file of %lld MB: shown in the receive area after %.0f ms\n",
                static_cast<long long>(megabytes), events.firstYield / 1e6);
    std::printf("send loop: %.0f KB/s (%.1f s, one write and one yield per byte)\n",
                content.size() / 1024.0 / (seconds - events.firstYield / 1e9),
                seconds - events.firstYield / 1e9);
    std::printf("bytes at the device end: %lld of %lld, log ends with \"%s\"\n", drain.received(),
                static_cast<long long>(content.size()), qPrintable(form.Text1->text().right(17)));
    return drain.received() == content.size() ? 0 : 1;
}
