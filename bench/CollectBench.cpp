#include "PageGenerator.h"

#include "core/collect/Collector.h"
#include "core/collect/LinkResolver.h"
#include "core/collect/LocalPage.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;
using namespace quorvel;

namespace {

RunOptions benchOptions()
{
    return RunOptions::make(QString(), u"jpg gif png pdf zip"_s, true, UrlBaseMode::Domain,
                            u"http://www.example.com/a/b/c.html"_s);
}

qsizetype collectOnce(const QString &address)
{
    const PageText page = readLocalPage(address);
    return CollectLinks(page.text, u"http://www.example.com/a/b/c.html"_s, benchOptions()).size();
}

// Read, decode, scan, resolve and classify one generated page; args: megabytes, anchors.
void BM_CollectPage(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"page.html"_s);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot write the page");
            return;
        }
        f.write(bench::generatePage(state.range(0) * 1000 * 1000, static_cast<int>(state.range(1))));
    }
    const QString address = localAddressOf(path);
    qsizetype rows = 0;
    for (auto _ : state) {
        rows = collectOnce(address);
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.SetBytesProcessed(state.iterations() * state.range(0) * 1000 * 1000);
}
BENCHMARK(BM_CollectPage)->Args({2, 20'000})->Args({20, 200'000})->Unit(benchmark::kMillisecond);

} // namespace

// Besides the benchmarks: "--write-page FILE [MB ANCHORS]" writes a generated page, and
// "--collect-once FILE" collects it once (for peak-memory measurement with /usr/bin/time).
int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--write-page") == 0) {
        const long long megabytes = argc >= 4 ? std::atoll(argv[3]) : 20;
        const int anchors = argc >= 5 ? std::atoi(argv[4]) : 200'000;
        QFile f(QString::fromLocal8Bit(argv[2]));
        if (!f.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
        f.write(bench::generatePage(megabytes * 1000 * 1000, anchors));
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--collect-once") == 0) {
        const QString path = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
        std::printf("%lld rows\n", static_cast<long long>(collectOnce(localAddressOf(path))));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
