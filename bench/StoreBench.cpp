#include "core/store/SqliteCrawlStore.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;
using namespace quorvel;

namespace {

constexpr int kRowsPerPage = 58;
constexpr int kSiteWideLinks = 40; // menus and footers: the same addresses on every page

// The rows of one page of a site: the site-wide links, then links of its own, all checked ok.
QList<CrawlRow> pageRows(const QString &url, int number)
{
    QList<CrawlRow> rows;
    rows.reserve(kRowsPerPage);
    for (int i = 0; i < kRowsPerPage; ++i) {
        CrawlRow row;
        row.page = url;
        row.row.link = i < kSiteWideLinks ? u"http://site.test/section-%1/"_s.arg(i)
                                          : u"http://site.test/articles/%1/part-%2.html"_s.arg(number).arg(i);
        row.row.follow = u"dofollow"_s;
        row.row.type = u"Internal"_s;
        row.row.anchorText = u"Link text of row %1"_s.arg(i);
        row.row.response = u"HTTP/1.1 200 OK"_s;
        row.row.responseTime = u"42"_s;
        row.row.icon = kIconOk;
        row.row.verdict = Verdict::Ok;
        row.row.finalStatus = 200;
        row.row.chain = {{200, row.row.link}};
        row.line = 10 + i;
        row.column = 5;
        rows.append(row);
    }
    return rows;
}

// A whole crawl of N pages of 58 rows written through the store into a new file: what --db adds to
// a crawl. The rows are made outside the timing.
void BM_StoreCrawl(benchmark::State &state)
{
    const int pages = static_cast<int>(state.range(0));
    QList<std::pair<CrawlPage, QList<CrawlRow>>> crawl;
    crawl.reserve(pages);
    for (int number = 0; number < pages; ++number) {
        CrawlPage page;
        page.url = u"http://site.test/articles/%1/"_s.arg(number);
        page.depth = 2;
        page.status = 200;
        page.verdict = Verdict::Ok;
        page.links = kRowsPerPage;
        crawl.append({page, pageRows(page.url, number)});
    }
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        state.ResumeTiming();
        QString error;
        const auto store = openSqliteStore(dir.filePath(u"crawls.db"_s), &error);
        if (!store) {
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
        store->begin({u"http://site.test/"_s, QDateTime::currentDateTimeUtc(), {}});
        for (const auto &[page, rows] : crawl) {
            store->pageDone(page, rows);
        }
        CrawlEnd end;
        end.endedAt = QDateTime::currentDateTimeUtc();
        store->end(end);
        if (!store->crawlError().isEmpty()) {
            state.SkipWithError(store->crawlError().toStdString().c_str());
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * pages * kRowsPerPage);
}

BENCHMARK(BM_StoreCrawl)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
