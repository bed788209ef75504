// Nothing lost under load: the virtual device streams random bytes into the
// window in hex display, then GBK text lines in text display, as fast as the
// window reads them. Afterwards RX must equal what was sent, and the log saved
// through "Seva log" must give back exactly the bytes, or the text, sent.
//
//   soak [--megabytes N]     (50 by default)
#include "platform/code_page.h"
#include "platform/qt_platform.h"
#include "window/counter.h"
#include "window/frmmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// Confirms the save dialog with a given file.
class SaveTo final : public CommonDialog {
public:
    QString path;
    bool showOpen() override { return false; }
    bool showSave() override {
        FileName = path;
        return true;
    }
};

long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

QByteArray gbkLines(qsizetype size) {
    const QByteArray line = encodeAnsi(QString::fromUtf16(
        u"\u4E32\u53E3\u8C03\u8BD5 \u6E29\u5EA6 23.5\u2103 \u6E7F\u5EA6 41% \u7535\u538B 3.3V "
        u"\u6B63\u5E38\r\n"));
    QByteArray data;
    while (data.size() + line.size() <= size)
        data += line;
    return data;
}

QByteArray hexToBytes(const QByteArray& shown) {
    QByteArray bytes;
    bytes.reserve(shown.size() / 4);
    for (qsizetype at = 0; at + 3 < shown.size(); at += 4)
        bytes.append(char(QByteArray::fromHex(shown.mid(at, 2)).at(0)));
    return bytes;
}

// The received text without the stamps and the line breaks that the window
// adds (a CR LF in front of a batch that ends in CR LF may land between the
// CR and the LF of the line before).
QString withoutStampsAndLineBreaks(QString text) {
    static const QRegularExpression stamp(
        QStringLiteral("\\d{1,2} [A-Z][a-z]{2} \\d{4} \\d{2}:\\d{2}:\\d{2}"));
    return text.remove(stamp).remove(u'\r').remove(u'\n');
}

// Starts the count of the peak resident set afresh.
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

bool soak(const QString& device, const QTemporaryDir& dir, bool hex, qsizetype size) {
    resetPeak();
    QByteArray data = hex ? QByteArray(size, Qt::Uninitialized) : gbkLines(size);
    if (hex)
        QRandomGenerator(50).fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    const QString stream =
        dir.filePath(hex ? QStringLiteral("random.bin") : QStringLiteral("gbk.txt"));
    QFile file(stream);
    file.open(QIODevice::WriteOnly);
    file.write(data);
    file.close();

    QProcess modem;
    modem.start(device, {QStringLiteral("--stream"), stream, QStringLiteral("--wait-open")});
    if (!modem.waitForReadyRead(10000))
        return false;
    const QString port = QString::fromLocal8Bit(modem.readLine()).trimmed();

    QtPlatform qt{PortMap({{1, port}})};
    SaveTo dialog;
    dialog.path = dir.filePath(QStringLiteral("log.txt"));
    frmmain form({qt.serial, dialog, qt.timer, qt.messages, qt.shell, qt.events});
    form.show();
    (hex ? form.Option1 : form.Option2)->setChecked(true);

    // Runs until everything came, or nothing more came for ten seconds.
    QElapsedTimer clock, stalled;
    clock.start();
    stalled.start();
    QEventLoop loop;
    QTimer check;
    long long received = 0;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (form.Label10->text().toLongLong() != received) {
            received = form.Label10->text().toLongLong();
            stalled.restart();
        }
        if (received >= data.size() || stalled.elapsed() > 10000)
            loop.quit();
    });
    check.start(20);
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    form.Command5_Click();
    modem.kill();
    modem.waitForFinished();

    QFile saved(dialog.path);
    saved.open(QIODevice::ReadOnly);
    QByteArray log = saved.readAll();
    const bool counted = form.Label10->text().toLongLong() == data.size();
    const bool ended = log.endsWith("\r\n");
    log.chop(2);
    const bool same = hex ? hexToBytes(log) == data
                          : withoutStampsAndLineBreaks(decodeAnsi(log)) ==
                                withoutStampsAndLineBreaks(decodeAnsi(data));
    std::printf("%s: %lld bytes in %.2f s, %.1f MB/s; RX %s; saved log %s the %s sent; peak "
                "memory %.0f MB\n",
                hex ? "random bytes, hex display" : "GBK lines, text display",
                static_cast<long long>(data.size()), seconds, data.size() / seconds / 1e6,
                qPrintable(form.Label10->text()),
                same && ended ? "gives back exactly" : "differs from", hex ? "bytes" : "text",
                peakKiB() / 1024.0);
    return counted && ended && same;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The stamps are taken out again by their C-locale form.
    ::setenv("LC_ALL", "C", 1);
    qsizetype megabytes = 50;
    if (argc == 3 && !std::strcmp(argv[1], "--megabytes"))
        megabytes = std::atoll(argv[2]);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString device = QStringLiteral(VARNOLIX_DEVICE);
    const bool hexOk = soak(device, dir, true, megabytes << 20);
    const bool textOk = soak(device, dir, false, megabytes << 20);
    std::printf("soak %s\n", hexOk && textOk ? "passed" : "FAILED");
    return hexOk && textOk ? 0 : 1;
}
