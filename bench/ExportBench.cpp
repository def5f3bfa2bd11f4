#include "core/results/Export.h"

#include <QString>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;
using namespace quorvel;

namespace {

// One CSV field of N double quotes (each one doubled on the way out); N from 1 to 16 Mi.
void BM_CsvField(benchmark::State &state)
{
    const QString text(qsizetype(state.range(0)), u'"');
    for (auto _ : state) {
        const QString field = CsvField(text, u',');
        benchmark::DoNotOptimize(field.constData());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(state.iterations() * state.range(0) * qint64(sizeof(QChar)));
}

BENCHMARK(BM_CsvField)
    ->RangeMultiplier(4)
    ->Range(1 << 20, 16 << 20)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// The whole export of one row whose anchor text is N double quotes, as a save to ".csv" writes it.
void BM_ExportBytesOfQuotes(benchmark::State &state)
{
    const LinkRows rows = {LinkRow{u"http://example.com/"_s, u"dofollow"_s, u"External"_s,
                                   QString(qsizetype(state.range(0)), u'"'), QString(), QString(), kIconCollected}};
    for (auto _ : state) {
        const QByteArray bytes = exportBytes(rows, ExportFormat::Csv, u',');
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_ExportBytesOfQuotes)
    ->RangeMultiplier(4)
    ->Range(1 << 20, 16 << 20)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
