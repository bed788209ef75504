// Find in a receive area that holds hundreds of megabytes: how long after a
// key the match is selected, how long the count takes, and the longest the
// window's thread was kept from other events meanwhile (a 1 ms timer's
// longest wait).
//
//   find_bench [--megabytes N]
//
// N million characters in the area (200 by default), as received in text
// display (ASCII lines with their stamps) and in hex display (random bytes).
#include "receive/render_batch.h"
#include "window/find_bar.h"
#include "window/find_session.h"
#include "window/log_view.h"
#include "window/text_search.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

// The longest wait between ticks of a 1 ms timer since the last reset.
class Heartbeat {
public:
    Heartbeat() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_since.nsecsElapsed() / 1e6);
            m_since.start();
        });
        m_timer.start();
        reset();
    }
    void reset() {
        m_longest = 0;
        m_since.start();
    }
    double longest() const { return std::max(m_longest, m_since.nsecsElapsed() / 1e6); }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    double m_longest = 0;
};

// Milliseconds until the condition holds, running the event loop.
double until(const std::function<bool()>& condition) {
    QElapsedTimer spent;
    spent.start();
    while (!condition())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return spent.nsecsElapsed() / 1e6;
}

// Lines as the receive area shows them: CR LF, the line, CR LF, the stamp.
QString textLines(qsizetype characters) {
    QString text;
    text.reserve(characters + 256);
    for (int i = 0; text.size() < characters; ++i)
        text += QStringLiteral("\r\nseq=%1 temperature=23.5 humidity=41% voltage=3.3V status=OK"
                               "\r\n12/7/26 4:05:%2 AM")
                    .arg(i)
                    .arg(i % 60, 2, 10, QLatin1Char('0'));
    return text;
}

QString hexText(qsizetype characters) {
    QByteArray bytes(characters / 4, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    PendingLead lead;
    return renderBatch(bytes, false, lead);
}

struct Area {
    LogView view;
    FindBar* bar = new FindBar(&view, QStringLiteral("receive area"));
    Heartbeat heartbeat;

    explicit Area(QString text) {
        view.setFixedSize(465, 293);
        view.show();
        view.setText(std::move(text));
        QTest::keyClick(&view, Qt::Key_F, Qt::ControlModifier);
    }
    bool searching() const { return bar->session().status() == QStringLiteral("Searching\u2026"); }
    bool counting() const { return bar->session().busy(); }

    // Keys to the field, one at a time, each answered before the next.
    void row(const char* what, const std::function<void()>& keys) {
        heartbeat.reset();
        QElapsedTimer spent;
        spent.start();
        keys();
        until([&] { return !searching(); });
        const double found = spent.nsecsElapsed() / 1e6;
        until([&] { return !counting(); });
        const double counted = spent.nsecsElapsed() / 1e6;
        std::printf("| %s | %.0f ms | %.0f ms | %.1f ms | %s |\n", what, found, counted,
                    heartbeat.longest(), qPrintable(bar->status()->text()));
        std::fflush(stdout);
    }
    void type(const QString& needle) {
        bar->field()->clear();
        until([&] { return !counting(); });
        for (const QChar c : needle) {
            heartbeat.reset();
            QElapsedTimer spent;
            spent.start();
            QTest::keyClicks(bar->field(), QString(c));
            const double answered = spent.nsecsElapsed() / 1e6;
            const double found = until([&] { return !searching(); });
            std::printf(
                "|   key '%c' | %.1f ms to answer, %.0f ms to the match | | %.1f ms | %s |\n",
                c.toLatin1(), answered, found, heartbeat.longest(),
                qPrintable(bar->status()->text()));
        }
        heartbeat.reset();
        const double counted = until([&] { return !counting(); });
        std::printf("|   the count after the last key | | %.0f ms more | %.1f ms | %s |\n", counted,
                    heartbeat.longest(), qPrintable(bar->status()->text()));
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(bar->field(), key, modifiers);
    }
    // The scan alone, without the window: every match counted, best of three.
    void scan(const QString& needle) const {
        const TextPattern pattern(needle, Qt::CaseInsensitive);
        double best = 1e9;
        qsizetype matches = 0;
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer spent;
            spent.start();
            matches = pattern.count(view.text(), 0, view.text().size()).matches;
            best = std::min(best, spent.nsecsElapsed() / 1e6);
        }
        std::printf("| the scan alone for \"%s\" | | %.0f ms | | %lld matches |\n",
                    qPrintable(needle), best, static_cast<long long>(matches));
    }
};

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    qsizetype millions = 200;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--megabytes") == 0)
            millions = std::atoll(argv[i + 1]);
    const qsizetype characters = millions * 1'000'000;

    std::printf("%lld million characters, text lines\n\n", static_cast<long long>(millions));
    std::printf("| What | Match selected after | Count done after | Longest wait of the window "
                "| Bar says |\n|---|---|---|---|---|\n");
    {
        // One fault a third of the way in, the caret just after it: every
        // search for it goes round the whole text.
        QString text = textLines(characters);
        const QString fault = QStringLiteral("\r\nFAULT 0x7E at seq=999999999");
        const qsizetype at = text.indexOf(u"\r\n", text.size() / 3);
        text.insert(at, fault);
        Area area(std::move(text));
        area.view.select(at + fault.size(), at + fault.size());
        std::printf("| typing \"fault 0x7e\", its one match behind the caret | | | | |\n");
        area.type(QStringLiteral("fault 0x7e"));
        area.row("F3, round the whole text to the same match", [&] { area.press(Qt::Key_F3); });
        area.row("match case on (Alt+C), no match: round the whole text",
                 [&] { area.press(Qt::Key_C, Qt::AltModifier); });
        area.row("Shift+F3, no match", [&] { area.press(Qt::Key_F3, Qt::ShiftModifier); });
        area.press(Qt::Key_C, Qt::AltModifier);
        area.type(QStringLiteral("status=ok"));
        area.row("F3 with a match on every line", [&] { area.press(Qt::Key_F3); });
        area.row("Shift+F3 with a match on every line",
                 [&] { area.press(Qt::Key_F3, Qt::ShiftModifier); });
        for (const char* needle : {"fault 0x7e", "status=ok", "temperature=99"})
            area.scan(QString::fromLatin1(needle));
    }
    std::printf("\n%lld million characters, hex display\n\n", static_cast<long long>(millions));
    std::printf("| What | Match selected after | Count done after | Longest wait of the window "
                "| Bar says |\n|---|---|---|---|---|\n");
    {
        Area area(hexText(characters));
        area.type(QStringLiteral("0d 0a"));
        area.row("F3 to the next CR LF", [&] { area.press(Qt::Key_F3); });
        area.type(QStringLiteral("7e 7e 7e 7e"));
        area.row("F3, round the whole text", [&] { area.press(Qt::Key_F3); });
        for (const char* needle : {"0d 0a", "7e 7e 7e 7e", " 0a 0b 0c"})
            area.scan(QString::fromLatin1(needle));
    }
    return 0;
}
