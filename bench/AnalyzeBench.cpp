#include "core/analyze/ImageInventory.h"
#include "core/analyze/PageAnalysis.h"
#include "core/analyze/RunAnalysis.h"
#include "core/collect/LocalPage.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

using namespace Qt::StringLiterals;
using namespace quorvel;

namespace {

// A seeded page of about targetBytes with the given numbers of image tags (both quotes, capitals,
// alt and title or not) and h1/h2/h3 headings (inline markup, line breaks), between paragraphs,
// lists, tables, nested blocks, scripts and comments.
QByteArray generateAnalysisPage(qint64 targetBytes, int images, int headings, unsigned seed = 20261210)
{
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) {
        return static_cast<int>(rng() % static_cast<unsigned>(n));
    };
    QByteArray page;
    page.reserve(targetBytes + 65536);
    page += "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Analysis &amp; bench</title>\n"
            "<meta name=\"description\" content=\"A generated page\">\n"
            "<style>p { margin: 0 }</style></head>\n<body>\n";
    const int blocks = images + headings;
    const qint64 perBlock = blocks > 0 ? targetBytes / blocks : targetBytes;
    int imagesLeft = images;
    int headingsLeft = headings;
    std::string prose;
    for (int i = 0; i < blocks; ++i) {
        const qint64 blockStart = page.size();
        const bool heading = headingsLeft > 0 && (imagesLeft == 0 || pick(blocks) < headings);
        if (heading) {
            --headingsLeft;
            const int level = 1 + pick(3);
            const std::string tag = "h" + std::to_string(level);
            page += ("<div class=\"s\"><" + tag + " id=\"h" + std::to_string(i) + "\">Heading " + std::to_string(i) +
                     (pick(3) == 0 ? " <em>with</em> markup" : "") + (pick(5) == 0 ? "<br>second line" : "") + "</" +
                     tag + ">\n")
                        .c_str();
        } else {
            --imagesLeft;
            const char q = pick(4) == 0 ? '\'' : '"';
            std::string tag = pick(6) == 0 ? "<IMG SRC=" : "<img src=";
            tag += q + std::string("/pics/") + std::to_string(i) + ".png" + q;
            if (pick(2) == 0) {
                tag += std::string(" alt=") + q + "Picture " + std::to_string(i) + q;
            }
            if (pick(3) == 0) {
                tag += std::string(" title=") + q + "Title &amp; " + std::to_string(i) + q;
            }
            tag += " width=\"64\">";
            page += "<div class=\"s\"><p>";
            page += tag.c_str();
            page += " caption ";
            page += std::to_string(i).c_str();
            page += "</p>\n";
        }
        switch (pick(6)) {
        case 0:
            page += "<ul><li>one<li>two <b>bold</b><li>three</ul>\n";
            break;
        case 1:
            page += "<table><tr><td>a<td>b</tr><tr><td>c<td>d</table>\n";
            break;
        case 2:
            page += "<script>var x = '<div>' + 1;</script>\n";
            break;
        case 3:
            page += "<!-- a comment with <p> inside -->\n";
            break;
        default:
            break;
        }
        // Pads to the page's length per block with prose.
        const qint64 used = page.size() - blockStart;
        if (used + 16 < perBlock) {
            prose.assign(static_cast<size_t>(perBlock - used - 16), 'w');
            for (size_t k = 6; k < prose.size(); k += 7) {
                prose[k] = k % 5 == 0 ? '\n' : ' ';
            }
            page += "<p>";
            page += prose.c_str();
            page += "</p>";
        }
        page += "</div>\n";
    }
    page += "</body></html>\n";
    return page;
}

struct BenchPage
{
    QTemporaryDir dir;
    QString address;
    QString text;
};

// The page of the benchmarks, written once: args megabytes, images, headings.
bool writePage(BenchPage &page, const benchmark::State &state)
{
    const QString path = page.dir.filePath(u"page.html"_s);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        return false;
    }
    f.write(generateAnalysisPage(state.range(0) * 1000 * 1000, static_cast<int>(state.range(1)),
                                 static_cast<int>(state.range(2))));
    f.close();
    page.address = localAddressOf(path);
    page.text = readLocalPage(page.address).text;
    return true;
}

// The whole analysis of a local page: read, decode, guard, parse, extract, render, list images.
void BM_RunAnalysis(benchmark::State &state)
{
    BenchPage page;
    if (!writePage(page, state)) {
        state.SkipWithError("cannot write the page");
        return;
    }
    AnalysisResult result;
    for (auto _ : state) {
        result = runAnalysis(page.address, {});
        benchmark::DoNotOptimize(result);
    }
    state.counters["images"] = static_cast<double>(result.images.size());
    state.counters["headings"] = static_cast<double>(result.h1.size() + result.h2.size() + result.h3.size());
    state.counters["note"] = result.contents.startsWith(u"The page"_s) ? 1 : 0;
    state.SetBytesProcessed(state.iterations() * page.text.size());
}

BENCHMARK(BM_RunAnalysis)->Args({5, 20'000, 2'000})->Unit(benchmark::kMillisecond);

void BM_AnalyzeHtml(benchmark::State &state)
{
    BenchPage page;
    if (!writePage(page, state)) {
        state.SkipWithError("cannot write the page");
        return;
    }
    for (auto _ : state) {
        PageAnalysis analysis = analyzeHtml(page.text);
        benchmark::DoNotOptimize(analysis);
    }
    state.SetBytesProcessed(state.iterations() * page.text.size());
}

BENCHMARK(BM_AnalyzeHtml)->Args({5, 20'000, 2'000})->Unit(benchmark::kMillisecond);

void BM_ImagesListele(benchmark::State &state)
{
    BenchPage page;
    if (!writePage(page, state)) {
        state.SkipWithError("cannot write the page");
        return;
    }
    for (auto _ : state) {
        ImageRows rows = ImagesListele(page.text);
        benchmark::DoNotOptimize(rows);
    }
    state.SetBytesProcessed(state.iterations() * page.text.size());
}

BENCHMARK(BM_ImagesListele)->Args({5, 20'000, 2'000})->Unit(benchmark::kMillisecond);

} // namespace

// Besides the benchmarks: "--write-page FILE [MB IMAGES HEADINGS]" writes a generated page, and
// "--analyze-once FILE" analyses it once (for peak-memory measurement with /usr/bin/time).
int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--write-page") == 0) {
        const long long megabytes = argc >= 4 ? std::atoll(argv[3]) : 5;
        const int images = argc >= 5 ? std::atoi(argv[4]) : 20'000;
        const int headings = argc >= 6 ? std::atoi(argv[5]) : 2'000;
        QFile f(QString::fromLocal8Bit(argv[2]));
        if (!f.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
        f.write(generateAnalysisPage(megabytes * 1000 * 1000, images, headings));
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--analyze-once") == 0) {
        const QString path = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
        const AnalysisResult result = runAnalysis(localAddressOf(path), {});
        std::printf("%lld images, %lld headings\n", static_cast<long long>(result.images.size()),
                    static_cast<long long>(result.h1.size() + result.h2.size() + result.h3.size()));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
