#include "platform/capture_file.h"
#include "platform/port_map.h"
#include "platform/qt_platform.h"
#include "platform/quit_signals.h"
#include "platform/report.h"
#include "platform/user_settings.h"
#include "window/frmmain.h"
#include "window/run_options.h"

#include <QApplication>
#include <QCommandLineParser>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

namespace {

constexpr std::int64_t Megabyte = 1 << 20;

struct CommandLine {
    QMap<int, QString> named;
    QString capture;
    bool reconnect = false;
    std::int64_t scrollback = RunOptions().scrollback;
    bool stampMilliseconds = false;
    std::optional<bool> dtr, rts;
    bool listPorts = false;
};

// A whole number of megabytes from 1 to the machine's memory: an area of none
// would show nothing, and one larger than the memory would not stop the
// system from ending the program.
std::optional<std::int64_t> parseScrollback(const QString& value) {
    bool ok = false;
    const qlonglong megabytes = value.toLongLong(&ok);
    if (!ok || megabytes < 1 || megabytes > physicalMemory() / Megabyte)
        return std::nullopt;
    return megabytes * Megabyte;
}

// Reads the command line before the window system is needed, so that --help
// and a wrong option work without a display.
std::optional<CommandLine> readCommandLine(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnolix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNOLIX_VERSION));
    QCommandLineParser parser;
    // The window's behaviour, wrapped as the options below are.
    parser.setApplicationDescription(QStringLiteral(
        "Serial-port debugging assistant: open a port, send text or hex bytes, watch\n"
        "what the device answers.\n\n"
        "The window grows from its design size, also its smallest: the receive area\n"
        "takes the extra width and height, the send box the extra width; what stands\n"
        "below the send box keeps its distance to the bottom edge. Ctrl+Plus, Ctrl+Minus\n"
        "and Ctrl+0, or Ctrl and the wheel, size the text of the receive area and the\n"
        "echo of what was sent. The window's size, maximised state and text size are\n"
        "kept between runs.\n\n"
        "The status bar holds the line control (DTR, RTS, Break, flow control, the modem\n"
        "lines, the driver's error counts); the row below it, the wait for a lost port\n"
        "(--reconnect) and the receive rate over the last second. Each port selector\n"
        "entry's tooltip names its device. Every line on stderr starts with the local\n"
        "date and time."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption({QStringLiteral("port"),
                      QStringLiteral("Use DEVICE as port n (1 to 15), for example "
                                     "--port COM1=/dev/ttyUSB0. May be given more than once; "
                                     "the other numbers go to the system's ports in order, "
                                     "USB adapters first."),
                      QStringLiteral("COMn=DEVICE")});
    parser.addOption({QStringLiteral("capture"),
                      QStringLiteral("Append every byte received to FILE, raw, as it came off the "
                                     "line (created if missing). Bytes reach the file within a "
                                     "second of arriving. FILE may be a FIFO or a device, such as "
                                     "/dev/stdout into a pipe; a FIFO must have its reader "
                                     "already. A write that fails (a full disk) stops the "
                                     "capture, with a message box and a line on stderr."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("reconnect"),
                      QStringLiteral("When the open port is lost (adapter unplugged), show no "
                                     "message box: wait for the same device to come back and "
                                     "open it again. Loss and return are reported on stderr, and "
                                     "so, once for each reason, a device that is there but does "
                                     "not open. An Open that fails meanwhile leaves the wait "
                                     "going; choosing a port ends it.")});
    parser.addOption(
        {QStringLiteral("scrollback"),
         QStringLiteral("Let the receive area, and the echo of what was sent, each take at most MB "
                        "megabytes of memory (1 MB = 1048576 bytes; from 1 to this machine's "
                        "memory; default a quarter of it). Past that, the oldest lines give way "
                        "and the first line says how many characters went; --capture keeps "
                        "everything."),
         QStringLiteral("MB")});
    parser.addOption({QStringLiteral("stamp-ms"),
                      QStringLiteral("Give milliseconds in the date-and-time stamp after each "
                                     "received line (04:05:09.123), as \"Milliseconds in "
                                     "stamps\" in the receive area's context menu does.")});
    for (const QString& line : {QStringLiteral("dtr"), QStringLiteral("rts")})
        parser.addOption(QCommandLineOption(
            line,
            QStringLiteral("Put %1 on or off right after every open of the port, also a reopen "
                           "with --reconnect, as the %1 toggle in the status bar does (for a "
                           "board whose reset or boot pin is wired to it). Without it, %1 is "
                           "on, as the system puts it when a port opens.")
                .arg(line.toUpper()),
            QStringLiteral("on|off")));
    parser.addOption({QStringLiteral("list-ports"),
                      QStringLiteral("Print a line for each port number that has a device and "
                                     "exit: COMn, the device's path and, for a USB adapter, its "
                                     "/dev/serial/by-id/ name, maker, product, serial number and "
                                     "VID:PID, separated by tabs. Takes --port into account; needs "
                                     "no display.")});
    // A mistake goes to stderr as every other line there does.
    if (!parser.parse(QCoreApplication::arguments())) {
        reportLine(parser.errorText());
        std::exit(EXIT_FAILURE);
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
        parser.showHelp();
    if (parser.isSet(version))
        parser.showVersion();

    CommandLine line;
    line.capture = parser.value(QStringLiteral("capture"));
    line.reconnect = parser.isSet(QStringLiteral("reconnect"));
    line.stampMilliseconds = parser.isSet(QStringLiteral("stamp-ms"));
    line.listPorts = parser.isSet(QStringLiteral("list-ports"));
    for (const QString& value : parser.values(QStringLiteral("port"))) {
        const auto port = parsePortOption(value);
        if (!port) {
            reportLine(QStringLiteral("--port expects COMn=DEVICE with n from 1 to 15, not %1")
                           .arg(value));
            return std::nullopt;
        }
        line.named.insert(port->first, port->second);
    }
    for (auto [name, state] : {std::pair{"dtr", &line.dtr}, std::pair{"rts", &line.rts}}) {
        if (!parser.isSet(QLatin1String(name)))
            continue;
        const QString value = parser.value(QLatin1String(name));
        if (value != QLatin1String("on") && value != QLatin1String("off")) {
            reportLine(
                QStringLiteral("--%1 expects on or off, not %2").arg(QLatin1String(name), value));
            return std::nullopt;
        }
        *state = value == QLatin1String("on");
    }
    if (parser.isSet(QStringLiteral("scrollback"))) {
        const QString value = parser.value(QStringLiteral("scrollback"));
        const auto bytes = parseScrollback(value);
        if (!bytes) {
            reportLine(QStringLiteral("--scrollback expects megabytes from 1 to %1 (this "
                                      "machine's memory), not %2")
                           .arg(physicalMemory() / Megabyte)
                           .arg(value));
            return std::nullopt;
        }
        line.scrollback = *bytes;
    }
    return line;
}

// What Qt itself has to say goes to stderr stamped like the program's own lines.
void reportQtMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    reportLine(message);
}

// One line per port number that has a device, for scripts and for finding a
// board's number.
int listPorts(const QMap<int, QString>& named) {
    const PortMap ports(named);
    for (int number = 1; number <= PortMap::Count; ++number) {
        const auto port = ports.facts(number);
        if (port && port->present)
            std::printf("%s\n", qPrintable(listedPort(number, *port)));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(reportQtMessage);
    const auto line = readCommandLine(argc, argv);
    if (!line)
        return 2;
    if (line->listPorts)
        return listPorts(line->named);
    // A capture that reaches the file-size limit, or whose reader (a pipe)
    // went away, stops with the reason instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<CaptureFile> capture;
    if (!line->capture.isEmpty()) {
        QString why;
        capture = CaptureFile::open(line->capture, &why);
        if (!capture) {
            reportLine(QStringLiteral("cannot capture to %1: %2").arg(line->capture, why));
            return 2;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnolix"));
    // Chinese text is shown with Simplified Chinese glyphs where the default
    // font has none.
    QFont font = QApplication::font();
    font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK SC")});
    QApplication::setFont(font);

    QtPlatform qt{PortMap(line->named)};
    SettingsFile settings(SettingsFile::userPath());
    frmmain form(qt.platform(), {capture.get(), line->reconnect, line->scrollback,
                                 line->stampMilliseconds, line->dtr, line->rts, &settings});
    // Told to end, the program ends as closing the window does, with status 0.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, &form, [&form] {
        form.close();
        QApplication::quit();
    });
    form.show();
    const int status = QApplication::exec();
    if (capture)
        capture->flush();
    return status;
}
