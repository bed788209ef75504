// Repeat sending over a pseudo-terminal: how many sends a 1 ms repeat makes in
// a second, and whether 100,000 sends slow the echo down.
#include "platform/qt_platform.h"
#include "pty_device.h"
#include "window/counter.h"
#include "window/frmmain.h"
#include "window/log_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    PtyDevice device;
    Drain drain(device.fd);

    QtPlatform qt{PortMap({{1, device.portPath}})};
    frmmain form(qt.platform());
    form.show();
    form.Text2->setPlainText(QStringLiteral("AT+PING\r\n"));

    // A 1 ms repeat for one second.
    form.Text3->setText(QStringLiteral("1"));
    form.Check1->setChecked(true);
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> ticks;
    QObject::connect(&qt.timer, &Timer::tick, [&] { ticks.push_back(clock.nsecsElapsed()); });
    QTimer::singleShot(1000, &app, &QApplication::quit);
    app.exec();
    form.Check1->setChecked(false);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const long long sends = form.Label11->text().toLongLong() / 8;
    int late = 0;
    qint64 worst = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        late += ticks[i] - ticks[i - 1] > 1500000;
        worst = std::max(worst, ticks[i] - ticks[i - 1]);
    }
    std::printf("tick gaps over 1.5 ms: %d, worst %.2f ms\n", late, worst / 1e6);
    std::printf("1 ms repeat: %lld sends in %.3f s, %.0f a second\n", sends, seconds,
                sends / seconds);

    // 100,000 sends: the first thousand against the last thousand.
    auto thousand = [&] {
        QElapsedTimer timed;
        timed.start();
        for (int i = 0; i < 1000; ++i) {
            form.Timer1_Timer();
            if (i % 100 == 0)
                QCoreApplication::processEvents();
        }
        return timed.nsecsElapsed() / 1e6;
    };
    const double first = thousand();
    for (int i = 0; i < 98; ++i)
        thousand();
    const double last = thousand();
    std::printf("100,000 sends: first thousand %.1f ms, last thousand %.1f ms; echo holds %lld "
                "characters\n",
                first, last, static_cast<long long>(form.Text4->text().size()));
    // Sends go out when the event loop waits.
    while (qt.serial.portOpen() && drain.received() < form.Label11->text().toLongLong())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    drain.stop();
    std::printf("bytes on the line: %lld of %s counted\n", drain.received(),
                qPrintable(form.Label11->text()));
    return 0;
}
