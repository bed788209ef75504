// Bytes a line without flow control drops while the window is busy. The
// device end writes at a fixed rate and, like a UART, drops what the line
// cannot take; meanwhile the window, with a large log already shown, does one
// thing a user does: nothing, Save log, Send File, Clear, or a re-wrap of the
// receive area (as a resize or a font change does).
//
//   lossy_line [--rate BYTES_PER_SECOND] [--prefill MB] [--action NAME]
//
// Without --rate it runs 92000 (921600 baud) and 1000000 (USB full speed);
// without --action every action. --prefill is 50 MB by default, and the file
// sent is as large.
#include "lossy_writer.h"
#include "platform/qt_platform.h"
#include "pty_device.h"
#include "window/counter.h"
#include "window/frmmain.h"
#include "window/log_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string>
#include <vector>

namespace {

const QByteArray Line = "temperature=23.5 humidity=41% voltage=3.3V status=OK\r\n";

// Confirms every dialog with the files given.
class ChosenFiles final : public CommonDialog {
public:
    QString open, save;
    bool showOpen() override {
        FileName = open;
        return true;
    }
    bool showSave() override {
        FileName = save;
        return true;
    }
};

class QuietBoxes final : public MessageBoxes {
public:
    void show(const QString& text, Icon, const QString& detail) override {
        std::fprintf(stderr, "box: %s %s\n", qPrintable(text), qPrintable(detail));
    }
    std::optional<int> askNumber(const QString&, int, int, int) override { return {}; }
    bool showing() const override { return false; }
};

void runEventsFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Action {
    const char* name;
    std::function<void(frmmain&)> run;
};

int measure(long long rate, const Action& action, int prefillMB, const QString& folder) {
    PtyDevice pty;
    ::fcntl(pty.fd, F_SETFL, ::fcntl(pty.fd, F_GETFL) | O_NONBLOCK);
    QtPlatform qt{PortMap({{1, pty.portPath}})};
    ChosenFiles files;
    files.open = folder + QStringLiteral("/sent.bin");
    files.save = folder + QStringLiteral("/saved.txt");
    QuietBoxes boxes;
    frmmain form({qt.serial, files, qt.timer, boxes, qt.shell, qt.events});
    form.show();
    form.Text1->setText(
        QString::fromLatin1(Line).repeated((qsizetype(prefillMB) << 20) / Line.size()));
    runEventsFor(100);
    if (!qt.serial.portOpen()) {
        std::fprintf(stderr, "the port did not open\n");
        return 1;
    }
    // The program's sends are read as fast as they come.
    Drain drain(pty.fd);

    LossyWriter device(pty.fd, Line.toStdString(), rate);
    runEventsFor(200);
    QElapsedTimer busy;
    busy.start();
    action.run(form);
    const double busyMs = busy.nsecsElapsed() / 1e6;
    runEventsFor(300);
    device.stop();
    QElapsedTimer deadline;
    deadline.start();
    while (form.Label10->text().toLongLong() < device.written() && deadline.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("%-9lld %-10s %8.0f ms busy  %9lld written  %9lld dropped  %9lld received\n", rate,
                action.name, busyMs, device.written(), device.dropped(),
                form.Label10->text().toLongLong());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::vector<long long> rates{92000, 1000000};
    int prefillMB = 50;
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--rate"))
            rates = {std::atoll(argv[i + 1])};
        else if (!std::strcmp(argv[i], "--prefill"))
            prefillMB = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--action"))
            only = argv[i + 1];
    }
    QApplication app(argc, argv);
    QTemporaryDir folder;
    {
        QFile sent(folder.filePath(QStringLiteral("sent.bin")));
        sent.open(QIODevice::WriteOnly);
        const QByteArray block = Line.repeated(1 << 14);
        for (qsizetype size = 0; size < (qsizetype(prefillMB) << 20); size += block.size())
            sent.write(block);
    }
    const Action actions[] = {
        {"nothing", [](frmmain&) {}},
        {"save", [](frmmain& form) { form.Command5->click(); }},
        {"sendfile", [](frmmain& form) { form.Command3->click(); }},
        {"clear", [](frmmain& form) { form.Command4->click(); }},
        {"rewrap",
         [](frmmain& form) {
             form.Text1->resize(form.Text1->width() - 40, form.Text1->height());
             form.Text1->resize(form.Text1->width() + 40, form.Text1->height());
         }},
    };
    std::printf("rate B/s  action\n");
    int status = 0;
    for (const long long rate : rates)
        for (const Action& action : actions)
            if (only.empty() || only == action.name)
                status |= measure(rate, action, prefillMB, folder.path());
    return status;
}
