#include "window/log_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

constexpr qsizetype Megabyte = 1 << 20;
constexpr qsizetype BatchSize = 1024;

// What the receive area shows: hex display (never a line feed), text lines, Chinese text.
constexpr QStringView Hex = u"4F \r";
constexpr QStringView Lines = u"T=23.5 H=41% P=1013 OK\r\n";
constexpr QStringView Chinese = u"串口调试助手接收数据";

QString repeatedTo(QStringView unit, qsizetype size) {
    QString text = unit.toString().repeated(size / unit.size() + 1);
    text.truncate(size);
    return text;
}

// A view like the receive area, holding state.range(0) MB of text.
void fill(LogView& view, QStringView unit, const benchmark::State& state) {
    view.setFixedSize(465, 293);
    view.show();
    view.setText(repeatedTo(unit, state.range(0) * Megabyte));
}

// Characters count as bytes: one batch is 1 KB of text as shown.
void BM_Append(benchmark::State& state, QStringView unit) {
    LogView view;
    fill(view, unit, state);
    const QString batch = repeatedTo(unit, BatchSize);
    for (auto _ : state)
        view.append(batch);
    state.SetBytesProcessed(state.iterations() * BatchSize);
    state.counters["lines"] = double(view.displayLineCount());
}

void BM_Paint(benchmark::State& state, QStringView unit) {
    LogView view;
    fill(view, unit, state);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        view.render(&image);
}

// A frame after one more line came: only that line is new to the view.
void BM_PaintAfterALine(benchmark::State& state, QStringView unit) {
    LogView view;
    fill(view, unit, state);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.append(unit);
        view.render(&image);
    }
}

// The append that makes room, with state.range(0) MB of text held: the text
// and line index move down by a quarter of what they hold.
void BM_MakeRoom(benchmark::State& state, QStringView unit) {
    LogView view;
    view.setFixedSize(465, 293);
    view.show();
    const QString text = repeatedTo(unit, state.range(0) * Megabyte);
    const QString batch = repeatedTo(unit, BatchSize);
    for (auto _ : state) {
        state.PauseTiming();
        // A text of its own with room for the batch, as a receive area has.
        QString held;
        held.reserve(text.size() + BatchSize);
        held.append(text);
        view.setScrollback(std::numeric_limits<qint64>::max());
        view.setText(std::move(held));
        view.setScrollback(view.heldBytes());
        state.ResumeTiming();
        view.append(batch);
    }
    state.counters["held MB"] = double(view.heldBytes()) / Megabyte;
}

// A resize with state.range(0) MB held (40 pixels narrower and back, or
// maximised on a 1280 x 1024 screen and back), following the end or scrolled
// to the middle: the time is the resize itself, in which the lines in sight
// are wrapped again; then the rest is wrapped between events, and a 1 ms
// timer tells the longest any other event waited meanwhile.
void BM_Resize(benchmark::State& state, QStringView unit, bool follow, QSize other) {
    LogView view;
    fill(view, unit, state);
    if (!follow)
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
    double caughtUp = 0;
    double longestWait = 0;
    for (auto _ : state) {
        view.setFixedSize(view.size() == QSize(465, 293) ? other : QSize(465, 293));
        state.PauseTiming();
        QElapsedTimer clock;
        clock.start();
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longestWait = std::max(longestWait, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        tick.start();
        while (view.rewrapping())
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        caughtUp = std::max(caughtUp, double(clock.nsecsElapsed()) / 1e6);
        state.ResumeTiming();
    }
    state.counters["all wrapped ms"] = caughtUp;
    state.counters["longest wait ms"] = longestWait;
    state.counters["lines"] = double(view.displayLineCount());
}

// The held text grows by a batch per iteration, so the count is fixed to keep it near its size.
BENCHMARK_CAPTURE(BM_Append, hex, Hex)->Arg(1)->Arg(50)->Iterations(4096);
BENCHMARK_CAPTURE(BM_Append, lines, Lines)->Arg(1)->Arg(50)->Iterations(4096);
BENCHMARK_CAPTURE(BM_Append, chinese, Chinese)->Arg(1)->Arg(50)->Iterations(4096);
BENCHMARK_CAPTURE(BM_Paint, hex, Hex)->Arg(50)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Paint, lines, Lines)->Arg(50)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Paint, chinese, Chinese)->Arg(50)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PaintAfterALine, lines, Lines)->Arg(50)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MakeRoom, lines, Lines)->Arg(50)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MakeRoom, hex, Hex)->Arg(50)->Iterations(5)->Unit(benchmark::kMillisecond);
const QSize Narrower(425, 293);
const QSize Maximised(1043, 931);
BENCHMARK_CAPTURE(BM_Resize, lines_following, Lines, true, Narrower)
    ->Arg(50)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Resize, lines_middle, Lines, false, Narrower)
    ->Arg(50)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Resize, hex_following, Hex, true, Narrower)
    ->Arg(50)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Resize, hex_middle, Hex, false, Narrower)
    ->Arg(50)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Resize, lines_maximised, Lines, true, Maximised)
    ->Arg(50)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Resize, hex_maximised, Hex, true, Maximised)
    ->Arg(50)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
