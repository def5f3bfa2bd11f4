#include "core/crawl/CrawlRunner.h"

#include "support/LoopbackServer.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// A chain of pages: /p/0 links to /p/1 and so on up to /p/<count - 1>; each page also links to a
// missing page. With a delay, each page answers after it.
class ChainSite
{
public:
    explicit ChainSite(int count, int delayMs = 0)
    {
        m_server.server().Get(R"(/p/(\d+))",
                              [count, delayMs, this](const httplib::Request &req, httplib::Response &res) {
                                  for (int waited = 0; waited < delayMs && !m_release; waited += 5) {
                                      std::this_thread::sleep_for(std::chrono::milliseconds(5));
                                  }
                                  const int n = std::stoi(req.matches[1]);
                                  std::string body = "<a href=\"/gone/" + std::to_string(n) + "\">gone</a>";
                                  if (n + 1 < count) {
                                      body += "<a href=\"/p/" + std::to_string(n + 1) + "\">next</a>";
                                  }
                                  res.set_content("<html><body>" + body + "</body></html>", "text/html");
                              });
        m_server.server().Get(R"(/gone/\d+)",
                              [](const httplib::Request &, httplib::Response &res) { res.status = 404; });
        if (!m_server.start()) {
            throw std::runtime_error("the loopback server did not start");
        }
    }

    ~ChainSite() { m_release = true; }
    ChainSite(const ChainSite &) = delete;
    ChainSite &operator=(const ChainSite &) = delete;

    QString url(const QString &path) const { return m_server.url(path); }

private:
    std::atomic<bool> m_release{false};
    LoopbackServer m_server;
};

CrawlOptions quickOptions()
{
    CrawlOptions options;
    options.ignoreRobots = true;
    options.check.connectTimeout = u"2000"_s;
    options.check.responseTimeout = u"5000"_s;
    return options;
}

} // namespace

// The batches of finished pages add up to the crawl: every page once, with its rows.
TEST(CrawlRunner, BatchesAddUpToTheCrawl)
{
    ChainSite site(30);
    CrawlOptions options = quickOptions();
    options.maxDepth = 100;
    OwnedWorker<TCrawler> crawler = TCrawler::create(site.url(u"/p/0"_s), options);
    QList<CrawlPage> pages;
    qsizetype rows = 0;
    std::optional<CrawlEnd> ended;
    QObject here; // the signals are queued to this thread
    QObject::connect(crawler.get(), &TCrawler::pagesFinished, &here,
                     [&](const QList<CrawlPage> &batch, const QList<CrawlRow> &batchRows) {
                         pages += batch;
                         rows += batchRows.size();
                     });
    QObject::connect(crawler.get(), &TCrawler::finished, &here, [&](const CrawlEnd &end) { ended = end; });
    crawler.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.has_value(); }, 30'000));
    const CrawlEnd end = *ended;
    EXPECT_FALSE(end.stopped);
    EXPECT_EQ(pages.size(), 30);
    EXPECT_EQ(end.pages.size(), 30);
    EXPECT_EQ(rows, 59) << "a missing page on each, a next page on all but the last";
    EXPECT_EQ(end.summary.rows, 59);
    EXPECT_EQ(end.summary.count(Verdict::Broken), 30);
    // Pages finish as their rows are answered, so neighbours may come either way round; each page of
    // the chain is there once, at its depth.
    std::vector<int> depths;
    for (const CrawlPage &page : end.pages) {
        EXPECT_EQ(page.url, site.url(u"/p/"_s + QString::number(page.depth)));
        depths.push_back(page.depth);
    }
    std::sort(depths.begin(), depths.end());
    std::vector<int> chain(30);
    std::iota(chain.begin(), chain.end(), 0);
    EXPECT_EQ(depths, chain);
}

// STOP ends a crawl of slow pages early and keeps the pages it finished; dropping the handle of a
// running crawl stops it too and waits for its thread.
TEST(CrawlRunner, StopEndsTheCrawlAndKeepsWhatFinished)
{
    ChainSite site(1000, 40);
    OwnedWorker<TCrawler> crawler = TCrawler::create(site.url(u"/p/0"_s), quickOptions());
    QList<CrawlPage> pages;
    std::optional<CrawlEnd> ended;
    QObject here; // the signals are queued to this thread
    QObject::connect(crawler.get(), &TCrawler::pagesFinished, &here,
                     [&](const QList<CrawlPage> &batch, const QList<CrawlRow> &) { pages += batch; });
    QObject::connect(crawler.get(), &TCrawler::finished, &here, [&](const CrawlEnd &end) { ended = end; });
    crawler.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return pages.size() >= 2; }, 30'000));
    crawler->requestStop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.has_value(); }, 30'000));
    const CrawlEnd end = *ended;
    EXPECT_TRUE(end.stopped);
    EXPECT_LT(end.pages.size(), 1000);
    EXPECT_EQ(end.pages.size(), pages.size()) << "every finished page reached the window, and no other";

    OwnedWorker<TCrawler> dropped = TCrawler::create(site.url(u"/p/0"_s), quickOptions());
    dropped.start();
    dropped = {};
}

} // namespace quorvel::test
