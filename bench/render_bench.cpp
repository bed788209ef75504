// Rendering received bytes alone, without the window: 4 KB batches.
#include "receive/render_batch.h"

#include <QRandomGenerator>

#include <benchmark/benchmark.h>

namespace {

QByteArray batchOf(const QByteArray& pattern) {
    QByteArray batch;
    while (batch.size() < 4096)
        batch += pattern;
    batch.truncate(4096);
    return batch;
}

void render(benchmark::State& state, const QByteArray& batch, bool asText) {
    PendingLead lead;
    for (auto _ : state)
        benchmark::DoNotOptimize(renderBatch(batch, asText, lead));
    state.SetBytesProcessed(state.iterations() * batch.size());
}

void TextAscii(benchmark::State& state) {
    render(state, batchOf("temperature=23.5 humidity=41% voltage=3.3V status=OK\r\n"), true);
}

void TextGbk(benchmark::State& state) {
    render(state,
           batchOf("\xB4\xAE\xBF\xDA\xB5\xF7\xCA\xD4\xD6\xFA\xCA\xD6 \xCE\xC2\xB6\xC8 23.5\r\n"),
           true);
}

void Hex(benchmark::State& state) {
    QByteArray batch(4096, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(batch.data()), batch.size() / 4);
    render(state, batch, false);
}

BENCHMARK(TextAscii);
BENCHMARK(TextGbk);
BENCHMARK(Hex);

} // namespace

BENCHMARK_MAIN();
