// Nothing the outside world does can hang the program: each row does what
// used to hold the window's thread for good, and must be over in time.
#include "platform/capture_file.h"
#include "platform/qt_dialogs.h"
#include "support/pty_pair.h"
#include "support/wait.h"
#include "support/window_on_pty.h"
#include "window/counter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <functional>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

// A FIFO whose reader is there but never reads.
struct StalledFifo {
    QTemporaryDir dir;
    QString path = dir.filePath("capture.fifo");
    int reader = -1;
    StalledFifo() {
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
        reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~StalledFifo() { ::close(reader); }
    bool full() const {
        int held = 0;
        return ::ioctl(reader, FIONREAD, &held) == 0 && held >= ::fcntl(reader, F_GETPIPE_SZ);
    }
};

// The program told to end while its capture cannot be written.
qint64 sigtermWithAStalledCapture() {
    StalledFifo fifo;
    PtyPair device;
    QTemporaryDir settings;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", settings.path());
    program.setProcessEnvironment(environment);
    program.start(VARNOLIX_PROGRAM,
                  {"--port", "COM1=" + device.portPath(), "--capture", fifo.path});
    EXPECT_TRUE(program.waitForStarted());
    const QByteArray line = QByteArray("line of a device that never stops talking\r\n");
    const bool stalled = waitUntil(
        [&] {
            device.write(line.repeated(100));
            return fifo.full();
        },
        10000);
    EXPECT_TRUE(stalled) << "the capture never filled its FIFO";
    device.write(line.repeated(2000));
    QElapsedTimer ending;
    ending.start();
    ::kill(pid_t(program.processId()), SIGTERM);
    EXPECT_TRUE(program.waitForFinished(5000));
    const qint64 elapsed = ending.elapsed();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardError().contains("capture to " + fifo.path.toLocal8Bit() +
                                                        " stopped: "));
    return elapsed;
}

// Close pressed while the device floods the line.
qint64 closeDuringAFlood() {
    WindowOnPty w;
    EXPECT_TRUE(w.serial.portOpen());
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        const QByteArray bytes(64 << 10, 'f');
        while (flooding) {
            pollfd room{w.device.deviceEnd(), POLLOUT, 0};
            ::poll(&room, 1, 10);
            (void)!::write(w.device.deviceEnd(), bytes.constData(), size_t(bytes.size()));
        }
    });
    waitUntil([&] { return w.form.Label10->text().toLongLong() > (1 << 20); });
    QElapsedTimer closing;
    closing.start();
    w.form.Command1->click();
    const qint64 elapsed = closing.elapsed();
    flooding = false;
    flood.join();
    EXPECT_FALSE(w.serial.portOpen());
    return elapsed;
}

// Send File's dialog given /proc/cpuinfo: the dialog lists /proc, /proc/kmsg
// among it, whose read never returns for root.
qint64 fileDialogInProc() {
    // A dialog that froze ends the test run.
    ::alarm(20);
    QtCommonDialog dialog;
    dialog.InitDir = "/proc";
    dialog.FileName = "/proc/cpuinfo";
    // Closed a moment after /proc was listed, its files' kinds told meanwhile.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* model = shown ? shown->findChild<QFileSystemModel*>() : nullptr;
        if (!model || model->rowCount(model->index("/proc")) < 10)
            return;
        closer.stop();
        QTimer::singleShot(300, shown, &QDialog::reject);
    });
    closer.start(10);
    QElapsedTimer open;
    open.start();
    EXPECT_FALSE(dialog.showOpen());
    ::alarm(0);
    return open.elapsed();
}

// A capture into a FIFO nobody reads takes what the window hands it without
// waiting, and stops with why once too much waits.
qint64 captureThatCannotKeepUp() {
    StalledFifo fifo;
    QString why;
    const auto capture = CaptureFile::open(fifo.path, &why);
    EXPECT_TRUE(capture) << why.toStdString();
    QSignalSpy stopped(capture.get(), &CaptureFile::stopped);
    QElapsedTimer writing;
    writing.start();
    const QByteArray piece(1 << 20, 'c');
    for (qsizetype written = 0; written <= CaptureFile::MostWaiting; written += piece.size())
        capture->write(piece);
    const qint64 elapsed = writing.elapsed();
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_FALSE(capture->capturing());
    return elapsed;
}

TEST(NothingHangs, EachWaitOnTheOutsideWorldIsOverInTime) {
    const struct Row {
        const char* name;
        std::function<qint64()> act;
        qint64 mostMs;
    } rows[] = {
        {"SIGTERM while the capture's FIFO is full", sigtermWithAStalledCapture, 1000},
        {"Close while the device floods the line", closeDuringAFlood, 1000},
        {"the file dialog given /proc/cpuinfo", fileDialogInProc, 5000},
        {"a capture that cannot keep up", captureThatCannotKeepUp, 1000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_LT(row.act(), row.mostMs);
    }
}

} // namespace
