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
#include <QFile>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

namespace {

constexpr std::int64_t Megabyte = 1 << 20;
// Told to end by a signal, the program has ended within a second: closing
// the port takes at most half of it, the capture's last writes some of the
// rest.
constexpr int QuitDeadlineMs = 1000;
constexpr int CaptureFinishMs = 400;

struct CommandLine {
    QMap<int, QString> named;
    QString capture;
    bool reconnect = false;
    std::int64_t scrollback = RunOptions().scrollback;
    bool stampMilliseconds = false;
    std::optional<bool> dtr, rts;
    int frameGap = 0;
    std::optional<LineEnd> lineEnd;
    std::optional<TextEncoding> encoding;
    std::optional<std::vector<QuickSend>> quickSends;
    bool listPorts = false;
};

// The quick sends of a file, or nothing after a line on stderr that says why.
std::optional<std::vector<QuickSend>> readQuickSendsFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reportLine(
            QStringLiteral("cannot read quick sends from %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    const QuickSendFile read = readQuickSends(file.readAll());
    if (!read.ok()) {
        reportLine(QStringLiteral("%1: line %2: %3").arg(path).arg(read.faultLine).arg(read.fault));
        return std::nullopt;
    }
    return read.sends;
}

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
        "lines, the driver's error counts); the row below it, the line end and the quick\n"
        "sends, the wait for a lost port (--reconnect) and the receive rate over the\n"
        "last second. Each port selector entry's tooltip names its device. Every line\n"
        "on stderr starts with the local date and time."));
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
    parser.addOption(
        {QStringLiteral("frame-gap"),
         QStringLiteral("Cut what is received into frames at silences: a silence of at least MS "
                        "milliseconds (1 to 10000) before a byte ends the frame before it, which "
                        "shows on a line of its own with the time of its first byte, as "
                        "\"Frames by silence\" in the receive area's context menu does. A USB "
                        "adapter's latency timer (16 ms on FTDI) limits what can be told apart."),
         QStringLiteral("MS")});
    for (const QString& line : {QStringLiteral("dtr"), QStringLiteral("rts")})
        parser.addOption(QCommandLineOption(
            line,
            QStringLiteral("Put %1 on or off right after every open of the port, also a reopen "
                           "with --reconnect, as the %1 toggle in the status bar does (for a "
                           "board whose reset or boot pin is wired to it). Without it, %1 is "
                           "on, as the system puts it when a port opens.")
                .arg(line.toUpper()),
            QStringLiteral("on|off")));
    parser.addOption({QStringLiteral("line-end"),
                      QStringLiteral("What a text send adds while \"CR\" is ticked, and what each "
                                     "line break in the send box goes out as, as the \"Line "
                                     "end\" selector chooses: crlf (the default: CR LF after, "
                                     "line breaks as LF, as always), cr (CR for both), lf (LF for "
                                     "both) or none (nothing after, line breaks as LF)."),
                      QStringLiteral("crlf|cr|lf|none")});
    parser.addOption({QStringLiteral("encoding"),
                      QStringLiteral("How received text is shown, text sends go out and Save log "
                                     "writes, as \"Text encoding\" in the receive area's context "
                                     "menu chooses: gbk (code page 936, the default), utf-8 or "
                                     "latin-1."),
                      QStringLiteral("gbk|utf-8|latin-1")});
    parser.addOption({QStringLiteral("quick-sends"),
                      QStringLiteral("Take the quick sends (the \"Quick send\" button, Ctrl+1 to "
                                     "Ctrl+9) from FILE for this run: UTF-8, one send a line: a "
                                     "name, a tab, text or hex, a tab, then the data. Text takes "
                                     "the escapes \\r, \\n, \\t, \\\\ and \\xHH; hex is hex "
                                     "bytes separated by spaces; lines starting with # are "
                                     "comments. A file with a malformed line is refused."),
                      QStringLiteral("FILE")});
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
    if (parser.isSet(QStringLiteral("frame-gap"))) {
        const QString value = parser.value(QStringLiteral("frame-gap"));
        bool ok = false;
        line.frameGap = value.toInt(&ok);
        if (!ok || line.frameGap < MinFrameGapMs || line.frameGap > MaxFrameGapMs) {
            reportLine(QStringLiteral("--frame-gap expects milliseconds from %1 to %2, not %3")
                           .arg(MinFrameGapMs)
                           .arg(MaxFrameGapMs)
                           .arg(value));
            return std::nullopt;
        }
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
    if (parser.isSet(QStringLiteral("line-end"))) {
        const QString value = parser.value(QStringLiteral("line-end"));
        line.lineEnd = lineEndNamed(value);
        if (!line.lineEnd) {
            reportLine(
                QStringLiteral("--line-end expects crlf, cr, lf or none, not %1").arg(value));
            return std::nullopt;
        }
    }
    if (parser.isSet(QStringLiteral("encoding"))) {
        const QString value = parser.value(QStringLiteral("encoding"));
        line.encoding = textEncodingNamed(value);
        if (!line.encoding) {
            reportLine(
                QStringLiteral("--encoding expects gbk, utf-8 or latin-1, not %1").arg(value));
            return std::nullopt;
        }
    }
    if (parser.isSet(QStringLiteral("quick-sends"))) {
        line.quickSends = readQuickSendsFile(parser.value(QStringLiteral("quick-sends")));
        if (!line.quickSends)
            return std::nullopt;
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
    frmmain form(qt.platform(), {.capture = capture.get(),
                                 .reconnect = line->reconnect,
                                 .scrollback = line->scrollback,
                                 .stampMilliseconds = line->stampMilliseconds,
                                 .dtr = line->dtr,
                                 .rts = line->rts,
                                 .settings = &settings,
                                 .frameGap = line->frameGap,
                                 .lineEnd = line->lineEnd,
                                 .encoding = line->encoding,
                                 .quickSends = line->quickSends});
    // Told to end, the program ends as closing the window does, with status 0.
    QuitSignals quitSignals(QuitDeadlineMs);
    QObject::connect(&quitSignals, &QuitSignals::received, &form, [&form] {
        form.close();
        QApplication::quit();
    });
    form.show();
    const int status = QApplication::exec();
    // What the capture could not write by then is told on stderr.
    if (capture)
        capture->finish(CaptureFinishMs);
    return status;
}
