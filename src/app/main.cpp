#include "platform/port_map.h"
#include "platform/qt_platform.h"
#include "window/frmmain.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <optional>

namespace {

// Reads the command line before the window system is needed, so that --help
// and a wrong option work without a display.
std::optional<QMap<int, QString>> readCommandLine(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnolix"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serial-port debugging assistant: open a port, send text or hex bytes, "
                       "watch what the device answers."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("port"),
                      QStringLiteral("Use DEVICE as port n (1 to 15), for example "
                                     "--port COM1=/dev/ttyUSB0. May be given more than once; "
                                     "the other numbers go to the system's ports in order, "
                                     "USB adapters first."),
                      QStringLiteral("COMn=DEVICE")});
    parser.process(app);

    QMap<int, QString> named;
    for (const QString& value : parser.values(QStringLiteral("port"))) {
        const auto port = parsePortOption(value);
        if (!port) {
            std::fprintf(stderr,
                         "varnolix: --port expects COMn=DEVICE with n from 1 to 15, not %s\n",
                         qPrintable(value));
            return std::nullopt;
        }
        named.insert(port->first, port->second);
    }
    return named;
}

} // namespace

int main(int argc, char** argv) {
    const auto named = readCommandLine(argc, argv);
    if (!named)
        return 2;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnolix"));
    // Chinese text is shown with Simplified Chinese glyphs where the default
    // font has none.
    QFont font = QApplication::font();
    font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK SC")});
    QApplication::setFont(font);

    QtPlatform qt{PortMap(*named)};
    frmmain form(qt.platform());
    form.show();
    return app.exec();
}
