#include "core/crawl/Crawler.h"

#include "support/CrawlSite.h"
#include "support/LoopbackServer.h"

#include <QHash>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {
namespace {

// Keeps what a crawl hands on, and checks the order of the calls as they come.
class CollectingSink final : public CrawlSink
{
public:
    void begin(const CrawlHeader &h) override
    {
        ++begins;
        header = h;
    }
    void pageDone(const CrawlPage &page, const QList<CrawlRow> &rows) override
    {
        EXPECT_EQ(begins, 1) << "begin comes first";
        EXPECT_EQ(ends, 0) << "no page after the end";
        pages.push_back({page, rows});
    }
    void end(const CrawlEnd &e) override
    {
        ++ends;
        last = e;
    }

    std::map<QString, int> depths() const
    {
        std::map<QString, int> out;
        for (const auto &[page, rows] : pages) {
            if (page.verdict == Verdict::Ok || page.verdict == Verdict::Redirected) {
                out[page.url] = page.depth;
            }
        }
        return out;
    }

    // Every row of every page, by its link with the fragment removed.
    std::vector<const CrawlRow *> rowsTo(const QString &address) const
    {
        std::vector<const CrawlRow *> out;
        for (const auto &[page, rows] : pages) {
            for (const CrawlRow &row : rows) {
                if (row.row.link.section(u'#', 0, 0) == address) {
                    out.push_back(&row);
                }
            }
        }
        return out;
    }

    // Every row whose redirects ended at address.
    std::vector<const CrawlRow *> rowsEndingAt(const QString &address) const
    {
        std::vector<const CrawlRow *> out;
        for (const auto &[page, rows] : pages) {
            for (const CrawlRow &row : rows) {
                if (row.row.finalUrl == address) {
                    out.push_back(&row);
                }
            }
        }
        return out;
    }

    int begins = 0;
    int ends = 0;
    CrawlHeader header;
    std::vector<std::pair<CrawlPage, QList<CrawlRow>>> pages;
    CrawlEnd last;
};

CrawlOptions quickOptions()
{
    CrawlOptions o = CrawlSite::crawlOptions();
    o.removeAnchors = false; // links keep their fragments; pages are fetched without them
    o.maxDepth = 50;
    return o;
}

std::string targetOf(const QString &address)
{
    const qsizetype slash = address.indexOf(u'/', address.indexOf(u"//") + 2);
    return address.sliced(slash).toStdString();
}

// The facts every finished crawl keeps, whatever it was asked: the end tells what the sink got.
void expectConsistent(const CollectingSink &sink)
{
    ASSERT_EQ(sink.begins, 1);
    ASSERT_EQ(sink.ends, 1);
    ASSERT_EQ(sink.last.pages.size(), qsizetype(sink.pages.size()));
    CrawlSummary counted;
    QSet<QString> urls;
    for (size_t i = 0; i < sink.pages.size(); ++i) {
        const auto &[page, rows] = sink.pages[i];
        SCOPED_TRACE(page.url.toStdString());
        EXPECT_EQ(sink.last.pages[qsizetype(i)].url, page.url) << "the end lists the pages in the sink's order";
        EXPECT_FALSE(page.url.contains(u'#'));
        urls.insert(page.url);
        EXPECT_EQ(page.links, rows.size());
        for (const CrawlRow &row : rows) {
            EXPECT_EQ(row.page, page.url);
            EXPECT_NE(row.row.verdict, Verdict::None) << row.row.link.toStdString() << " got its result";
            ++counted.rows;
            ++counted.byVerdict[size_t(row.row.verdict)];
        }
    }
    EXPECT_EQ(urls.size(), qsizetype(sink.pages.size())) << "no page twice";
    EXPECT_EQ(sink.last.summary.pages, qsizetype(sink.pages.size()));
    EXPECT_EQ(sink.last.summary.rows, counted.rows);
    EXPECT_EQ(sink.last.summary.byVerdict, counted.byVerdict);
}

struct Crawled
{
    CollectingSink sink;
    CrawlEnd end;
};

void crawl(CrawlSite &site, const CrawlOptions &options, Crawled &out, const CrawlHooks &hooks = {})
{
    out.end = runCrawl(site.startUrl(), options, out.sink, hooks);
}

} // namespace

TEST(Crawler, FindsEveryPageAtItsDepthWithItsInlinks)
{
    CrawlSite site;
    ASSERT_TRUE(site.start());
    Crawled c;
    crawl(site, quickOptions(), c);
    expectConsistent(c.sink);
    EXPECT_FALSE(c.end.stopped);
    EXPECT_EQ(c.sink.header.start, site.startUrl());

    const CrawlSite::Expectation expected = site.expect(50, true, false);
    ASSERT_GT(expected.depths.size(), 200u) << "the site is a few hundred pages";
    EXPECT_EQ(c.sink.depths(), expected.depths);
    EXPECT_EQ(qsizetype(expected.depths.size()), c.end.pages.size());
    for (const CrawlPage &page : std::as_const(c.end.pages)) {
        SCOPED_TRACE(page.url.toStdString());
        EXPECT_EQ(page.status, 200);
        ASSERT_TRUE(expected.inlinks.contains(page.url));
        EXPECT_EQ(page.inlinks, expected.inlinks.at(page.url));
    }
    EXPECT_TRUE(c.end.orphans.isEmpty()) << "no sitemap was read";
    EXPECT_EQ(c.end.summary.distinct, [&] {
        QSet<QString> addresses;
        for (const auto &[page, rows] : c.sink.pages) {
            for (const CrawlRow &row : rows) {
                if (row.row.verdict != Verdict::Skipped) {
                    addresses.insert(row.row.link.section(u'#', 0, 0));
                }
            }
        }
        return qint64(addresses.size());
    }());
}

TEST(Crawler, AsksEachAddressOnceAndNeverCrawlsTheExternalHost)
{
    CrawlSite site;
    ASSERT_TRUE(site.start());
    Crawled c;
    crawl(site, quickOptions(), c);
    expectConsistent(c.sink);

    std::map<std::pair<bool, std::string>, int> asked;
    for (const CrawlSite::Request &r : site.requests()) {
        EXPECT_EQ(r.method, "GET");
        ++asked[{r.external, r.target}];
    }
    for (const auto &[key, times] : asked) {
        SCOPED_TRACE((key.first ? "external " : "") + key.second);
        EXPECT_EQ(times, 1);
    }
    for (const auto &[address, depth] : site.expect(50, true, false).depths) {
        SCOPED_TRACE(address.toStdString());
        EXPECT_EQ(site.count("GET", targetOf(address)), 1) << "each page fetched once";
    }
    // External rows are checked: a request each, their own links never asked.
    EXPECT_EQ(site.count("GET", "/ext/0.html", true), 1);
    EXPECT_EQ(site.count("GET", "/ext/landing.html", true), 1) << "the end of the redirect off the site";
    for (const QString &address : site.linkedOnlyFromOutside()) {
        SCOPED_TRACE(address.toStdString());
        EXPECT_EQ(site.count("GET", targetOf(address), address.startsWith(site.externalUrl("/"))), 0);
        EXPECT_TRUE(c.sink.rowsTo(address).empty());
    }
    for (const auto &[page, rows] : c.sink.pages) {
        EXPECT_TRUE(page.url.startsWith(site.url("/"))) << page.url.toStdString() << " is not on the site";
    }
}

TEST(Crawler, DepthBoundsThePagesFetched)
{
    struct Case
    {
        const char *name;
        int maxDepth;
    };
    const std::vector<Case> cases = {{"the start only", 0}, {"one link away", 1}, {"two links away", 2}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        CrawlSite site;
        ASSERT_TRUE(site.start());
        CrawlOptions o = quickOptions();
        o.maxDepth = k.maxDepth;
        Crawled c;
        crawl(site, o, c);
        expectConsistent(c.sink);
        const CrawlSite::Expectation expected = site.expect(k.maxDepth, true, false);
        EXPECT_EQ(c.sink.depths(), expected.depths);
        for (const auto &[page, rows] : c.sink.pages) {
            EXPECT_LE(page.depth, k.maxDepth);
        }
        // The pages one link too far are checked once, and not read for their links.
        for (const auto &[address, depth] : site.expect(k.maxDepth + 1, true, false).depths) {
            if (depth == k.maxDepth + 1) {
                SCOPED_TRACE(address.toStdString());
                EXPECT_EQ(site.count("GET", targetOf(address)), 1);
                EXPECT_FALSE(c.sink.rowsTo(address).empty() && c.sink.rowsEndingAt(address).empty());
            }
        }
        EXPECT_EQ(c.end.summary.pages, qsizetype(expected.depths.size()));
    }
}

TEST(Crawler, MaxPagesFetchesExactlyThatManyAndStillChecksTheRest)
{
    for (const int maxPages : {1, 7, 40}) {
        SCOPED_TRACE(maxPages);
        CrawlSite site;
        ASSERT_TRUE(site.start());
        CrawlOptions o = quickOptions();
        o.maxPages = maxPages;
        Crawled c;
        qint64 mostFound = 0;
        CrawlHooks hooks;
        hooks.progressIntervalMs = 0;
        hooks.progress = [&mostFound](const CrawlProgress &p) {
            mostFound = std::max(mostFound, p.pagesFound);
        };
        crawl(site, o, c, hooks);
        expectConsistent(c.sink);
        ASSERT_EQ(c.end.pages.size(), maxPages);
        EXPECT_LE(mostFound, maxPages) << "the progress never promises more pages than the crawl may fetch";
        const std::map<QString, int> all = site.expect(50, true, false).depths;
        int linkedNotCrawled = 0;
        QSet<QString> crawled;
        for (const auto &[page, rows] : c.sink.pages) {
            crawled.insert(page.url);
        }
        for (const auto &[page, rows] : c.sink.pages) {
            for (const CrawlRow &row : rows) {
                const QString address = row.row.link.section(u'#', 0, 0);
                if (all.contains(address) && !crawled.contains(address)) {
                    ++linkedNotCrawled;
                    EXPECT_EQ(row.row.verdict, Verdict::Ok) << address.toStdString() << " is checked all the same";
                    EXPECT_EQ(site.count("GET", targetOf(address)), 1);
                }
            }
        }
        EXPECT_GT(linkedNotCrawled, 0);
    }
}

TEST(Crawler, ObeysRobotsTxtUnlessTold)
{
    struct Case
    {
        const char *name;
        int robotsStatus;
        bool ignoreRobots;
        bool obeyed; // the expectation's view: are the file's rules in force?
    };
    const std::vector<Case> cases = {
        {"the rules of the crawl's own group", 200, false, true},
        {"ignored", 200, true, false},
        {"no file: everything allowed", 404, false, false},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        CrawlSite site(CrawlSite::Options{.robotsStatus = k.robotsStatus});
        ASSERT_TRUE(site.start());
        CrawlOptions o = quickOptions();
        o.ignoreRobots = k.ignoreRobots;
        Crawled c;
        crawl(site, o, c);
        expectConsistent(c.sink);
        const CrawlSite::Expectation expected = site.expect(50, k.obeyed, false);
        EXPECT_EQ(c.sink.depths(), expected.depths);
        EXPECT_EQ(expected.disallowedLinked.isEmpty(), !k.obeyed);
        for (const QString &address : expected.disallowedLinked) {
            SCOPED_TRACE(address.toStdString());
            EXPECT_EQ(site.count("GET", targetOf(address)), 0) << "a disallowed page is not requested";
            const std::vector<const CrawlRow *> rows = c.sink.rowsTo(address);
            ASSERT_FALSE(rows.empty());
            for (const CrawlRow *row : rows) {
                EXPECT_EQ(row->row.verdict, Verdict::Skipped);
                EXPECT_EQ(row->row.verdictError, u"Disallowed by robots.txt"_s);
            }
        }
        EXPECT_EQ(site.count("GET", "/robots.txt"), k.ignoreRobots ? 0 : 1) << "read once, when it counts";
    }
    // The rules by wildcard, "$" and the longest match decide as the generator meant.
    CrawlSite site;
    ASSERT_TRUE(site.start());
    const CrawlSite::Expectation obeyed = site.expect(50, true, false);
    EXPECT_TRUE(obeyed.disallowedLinked.contains(site.url("/private/10.html")));
    EXPECT_TRUE(obeyed.disallowedLinked.contains(site.url("/cgi/12.cgi")));
    EXPECT_TRUE(obeyed.disallowedLinked.contains(site.url("/pages/14.html?session=7")));
    EXPECT_TRUE(obeyed.depths.contains(site.url("/private/open-11.html")));
    EXPECT_TRUE(obeyed.depths.contains(site.url("/cgi/13.cgi?v=1")));
}

TEST(Crawler, ARobotsTxtThatFailsKeepsEveryPageOut)
{
    CrawlSite site(CrawlSite::Options{.robotsStatus = 500});
    ASSERT_TRUE(site.start());
    Crawled c;
    crawl(site, quickOptions(), c);
    expectConsistent(c.sink);
    ASSERT_EQ(c.sink.pages.size(), 1u);
    const CrawlPage &start = c.sink.pages.front().first;
    EXPECT_EQ(start.url, site.startUrl());
    EXPECT_EQ(start.verdict, Verdict::Skipped);
    EXPECT_EQ(start.error, u"robots.txt could not be read: HTTP/1.1 500 Internal Server Error"_s)
        << "nothing is allowed, and the start page says why";
    EXPECT_TRUE(c.sink.pages.front().second.isEmpty());
    const std::vector<CrawlSite::Request> requests = site.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.front().target, "/robots.txt");
}

TEST(Crawler, SitemapPagesAreCrawledAndOrphansListed)
{
    CrawlSite site;
    ASSERT_TRUE(site.start());
    CrawlOptions o = quickOptions();
    o.useSitemap = true;
    Crawled c;
    crawl(site, o, c);
    expectConsistent(c.sink);
    const CrawlSite::Expectation expected = site.expect(50, true, true);
    EXPECT_EQ(c.sink.depths(), expected.depths);
    for (const CrawlPage &page : std::as_const(c.end.pages)) {
        SCOPED_TRACE(page.url.toStdString());
        EXPECT_EQ(page.inlinks, expected.inlinks.at(page.url));
    }
    ASSERT_FALSE(expected.orphans.isEmpty());
    QStringList orphans = c.end.orphans;
    orphans.sort();
    EXPECT_EQ(orphans, expected.orphans);
    for (const QString &orphan : expected.orphans) {
        if (!orphan.contains(u"/private/")) {
            EXPECT_EQ(c.sink.depths()[orphan], 1) << orphan.toStdString() << " is crawled, one link from the start";
        }
    }
    EXPECT_EQ(c.sink.depths()[site.url("/orphan/0-child.html")], 2) << "a page only an orphan links to";
    for (const char *document :
         {"/sitemap.xml", "/sitemaps/pages.xml.gz", "/sitemaps/more.xml", "/sitemaps/extra.xml"}) {
        SCOPED_TRACE(document);
        EXPECT_EQ(site.count("GET", document), 1);
    }
    EXPECT_TRUE(c.sink.depths().contains(site.url("/orphan/0.html"))) << "listed only in the gzip sitemap";
    std::map<std::pair<bool, std::string>, int> asked;
    for (const CrawlSite::Request &r : site.requests()) {
        ++asked[{r.external, r.target}];
    }
    for (const auto &[key, times] : asked) {
        SCOPED_TRACE(key.second);
        EXPECT_EQ(times, 1) << "a page listed in a sitemap and linked too is asked once";
    }
    EXPECT_EQ(site.count("GET", "/ext/sitemap-only.html", true), 0)
        << "a sitemap entry on another host is no page of the site";

    // Without the option no sitemap is read and the orphans stay out.
    CrawlSite plain;
    ASSERT_TRUE(plain.start());
    Crawled without;
    crawl(plain, quickOptions(), without);
    EXPECT_EQ(plain.count("GET", "/sitemap.xml"), 0);
    EXPECT_FALSE(without.sink.depths().contains(plain.url("/orphan/0.html")));
}

TEST(Crawler, RedirectsLeadToOnePageOnTheSiteOrNone)
{
    CrawlSite site;
    ASSERT_TRUE(site.start());
    Crawled c;
    crawl(site, quickOptions(), c);
    expectConsistent(c.sink);

    int landings = 0;
    for (const auto &[page, rows] : c.sink.pages) {
        if (page.url == site.landingPage()) {
            ++landings;
            EXPECT_EQ(page.depth, 1);
            EXPECT_EQ(page.verdict, Verdict::Redirected);
            EXPECT_EQ(page.links, 2);
        }
        EXPECT_NE(page.url, site.redirectToLanding());
        EXPECT_NE(page.url, site.loopStart());
        EXPECT_NE(page.url, site.awayRedirect());
        EXPECT_NE(page.url, site.awayTarget());
    }
    EXPECT_EQ(landings, 1) << "crawled once, under its final address";
    EXPECT_EQ(site.count("GET", "/landing.html"), 1);

    const std::vector<const CrawlRow *> loop = c.sink.rowsTo(site.loopStart());
    ASSERT_EQ(loop.size(), 1u);
    EXPECT_EQ(loop.front()->row.verdict, Verdict::Broken);
    EXPECT_EQ(loop.front()->row.verdictError, u"Redirect loop"_s);
    EXPECT_EQ(site.count("GET", "/loop/a"), 1);
    EXPECT_EQ(site.count("GET", "/loop/b"), 1);

    const std::vector<const CrawlRow *> away = c.sink.rowsTo(site.awayRedirect());
    ASSERT_EQ(away.size(), 1u);
    EXPECT_EQ(away.front()->row.verdict, Verdict::Redirected);
    EXPECT_EQ(away.front()->row.finalUrl, site.awayTarget());
    EXPECT_EQ(site.count("GET", "/ext/onward-landing.html", true), 0) << "the page off the site is not read";
}

TEST(Crawler, AnswersThatAreNoHtmlPageAreCheckedNotScanned)
{
    CrawlSite site;
    ASSERT_TRUE(site.start());
    Crawled c;
    crawl(site, quickOptions(), c);
    expectConsistent(c.sink);
    struct Case
    {
        QString address;
        Verdict verdict;
    };
    const std::vector<Case> cases = {
        {site.url("/files/doc.pdf"), Verdict::Ok},    {site.url("/files/notes.txt"), Verdict::Ok},
        {site.url("/files/pic.png"), Verdict::Ok},    {site.url("/missing/0.html"), Verdict::Broken},
        {site.url("/error/0.html"), Verdict::Broken},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.address.toStdString());
        EXPECT_FALSE(c.sink.depths().contains(k.address));
        const std::vector<const CrawlRow *> rows = c.sink.rowsTo(k.address);
        ASSERT_FALSE(rows.empty());
        for (const CrawlRow *row : rows) {
            EXPECT_EQ(row->row.verdict, k.verdict);
        }
        EXPECT_EQ(site.count("GET", targetOf(k.address)), 1);
    }
    for (const QString &address : site.linkedOnlyFromNonPages()) {
        SCOPED_TRACE(address.toStdString());
        EXPECT_EQ(site.count("GET", targetOf(address)), 0) << "the links inside are never read";
    }
}

TEST(Crawler, StopsPromptlyAndHandsOnOnlyFinishedPages)
{
    CrawlSite site;
    ASSERT_TRUE(site.start());
    Crawled c;
    CrawlHooks hooks;
    hooks.pollMs = 5;
    hooks.shouldStop = [&c] {
        return c.sink.pages.size() >= 5;
    };
    crawl(site, quickOptions(), c, hooks);
    expectConsistent(c.sink);
    EXPECT_TRUE(c.end.stopped);
    EXPECT_GE(c.sink.pages.size(), 5u);
    EXPECT_LT(c.sink.pages.size(), site.expect(50, true, false).depths.size());
}

TEST(Crawler, AStopWhileARowIsAskedLeavesItsPageOut)
{
    // The start's last row waits at the server; the stop comes while it does. Its request ends
    // with nothing, so the start page is not finished and must not reach the sink.
    CrawlSite site(CrawlSite::Options{.holdOnePath = true});
    ASSERT_TRUE(site.start());
    Crawled c;
    CrawlHooks hooks;
    hooks.pollMs = 5;
    hooks.shouldStop = [&site] {
        return site.held();
    };
    CrawlOptions o = quickOptions();
    o.maxDepth = 0;
    crawl(site, o, c, hooks);
    site.release();
    expectConsistent(c.sink);
    EXPECT_TRUE(c.end.stopped);
    EXPECT_TRUE(c.sink.pages.empty());
}

TEST(Crawler, KeepsThePerHostBound)
{
    CrawlSite site;
    ASSERT_TRUE(site.start());
    site.setDelayMs(2);
    CrawlOptions o = quickOptions();
    o.check.parallel = 12;
    o.check.perHost = 3;
    Crawled c;
    crawl(site, o, c);
    expectConsistent(c.sink);
    EXPECT_EQ(c.sink.depths(), site.expect(50, true, false).depths);
    EXPECT_LE(site.mostInFlight(), 3);
}

TEST(Crawler, FragmentsAreKeptOnRowsAndDroppedFromPages)
{
    CrawlSite site;
    ASSERT_TRUE(site.start());
    Crawled c;
    crawl(site, quickOptions(), c);
    int withFragment = 0;
    for (const auto &[page, rows] : c.sink.pages) {
        for (const CrawlRow &row : rows) {
            if (row.row.link.contains(u'#')) {
                ++withFragment;
                EXPECT_NE(row.row.verdict, Verdict::None);
            }
        }
    }
    EXPECT_GT(withFragment, 0);
    for (const CrawlSite::Request &r : site.requests()) {
        EXPECT_EQ(r.target.find('#'), std::string::npos);
    }
}

TEST(Crawler, TheStartIsFetchedWithoutItsFragment)
{
    struct Case
    {
        const char *name;
        QString suffix;
    };
    const std::vector<Case> cases = {{"as it is", QString()}, {"with a fragment", u"#sec"_s}, {"an empty one", u"#"_s}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        CrawlSite site;
        ASSERT_TRUE(site.start());
        CrawlOptions o = quickOptions();
        o.maxDepth = 1;
        CollectingSink sink;
        const CrawlEnd end = runCrawl(site.startUrl() + k.suffix, o, sink);
        expectConsistent(sink);
        EXPECT_EQ(sink.depths(), site.expect(1, true, false).depths);
        EXPECT_EQ(site.count("GET", "/"), 1);
        EXPECT_TRUE(std::any_of(end.pages.cbegin(), end.pages.cend(),
                                [&](const CrawlPage &page) { return page.url == site.startUrl(); }));
        EXPECT_EQ(sink.header.start, site.startUrl());
    }
}

TEST(Crawler, MaxPagesIsFilledWhenEarlierLinksAreNoPages)
{
    // The start's first links lead to no page; the budget they held goes to the pages after them.
    LoopbackServer server;
    std::mutex mutex;
    std::map<std::string, int> gets;
    server.server().Get(".*", [&](const httplib::Request &req, httplib::Response &res) {
        {
            const std::lock_guard lock(mutex);
            ++gets[req.path];
        }
        if (req.path == "/") {
            res.set_content(R"(<a href="/doc.pdf">d</a> <a href="/gone.html">g</a> <a href="/a.html">a</a>)"
                            R"( <a href="/b.html">b</a> <a href="/c.html">c</a>)",
                            "text/html");
        } else if (req.path == "/doc.pdf") {
            res.set_content("%PDF-1.4", "application/pdf");
        } else if (req.path == "/a.html" || req.path == "/b.html" || req.path == "/c.html") {
            res.set_content(R"(<a href="/">home</a>)", "text/html");
        } else {
            res.status = 404;
        }
    });
    ASSERT_TRUE(server.start());
    struct Case
    {
        int maxPages;
        QStringList pages;
    };
    const std::vector<Case> cases = {
        {1, {u"/"_s}},
        {2, {u"/"_s, u"/a.html"_s}},
        {3, {u"/"_s, u"/a.html"_s, u"/b.html"_s}},
        {10, {u"/"_s, u"/a.html"_s, u"/b.html"_s, u"/c.html"_s}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.maxPages);
        {
            const std::lock_guard lock(mutex);
            gets.clear();
        }
        CrawlOptions o = quickOptions();
        o.maxPages = k.maxPages;
        o.check.parallel = 1; // the links are asked in page order
        CollectingSink sink;
        runCrawl(server.url(u"/"_s), o, sink);
        expectConsistent(sink);
        QStringList pages;
        for (const auto &[page, rows] : sink.pages) {
            pages.append(page.url.mid(server.url(QString()).size()));
        }
        pages.sort();
        EXPECT_EQ(pages, k.pages);
        const std::lock_guard lock(mutex);
        for (const auto &[path, times] : gets) {
            EXPECT_EQ(times, 1) << path;
        }
    }
}
TEST(Crawler, APageThatIsBusyAtFirstIsAskedAgainAndCrawled)
{
    LoopbackServer server;
    std::mutex mutex;
    std::map<std::string, int> gets;
    server.server().Get(".*", [&](const httplib::Request &req, httplib::Response &res) {
        int seen = 0;
        {
            const std::lock_guard lock(mutex);
            seen = gets[req.path]++;
        }
        if (req.path == "/") {
            res.set_content(R"(<a href="/busy.html">busy</a>)", "text/html");
        } else if (req.path == "/busy.html" && seen == 0) {
            res.status = 503;
            res.set_header("Retry-After", "0");
        } else if (req.path == "/busy.html") {
            res.set_content(R"(<a href="/deeper.html">deeper</a>)", "text/html");
        } else if (req.path == "/deeper.html") {
            res.set_content("<p>the end</p>", "text/html");
        } else {
            res.status = 404;
        }
    });
    ASSERT_TRUE(server.start());
    CollectingSink sink;
    runCrawl(server.url(u"/"_s), quickOptions(), sink);
    expectConsistent(sink);
    const std::map<QString, int> expected = {
        {server.url(u"/"_s), 0}, {server.url(u"/busy.html"_s), 1}, {server.url(u"/deeper.html"_s), 2}};
    EXPECT_EQ(sink.depths(), expected);
    const std::lock_guard lock(mutex);
    EXPECT_EQ(gets["/busy.html"], 2) << "the busy answer and the page";
}

TEST(Crawler, ProgressEndsWithTheCrawlsCounts)
{
    CrawlSite site;
    ASSERT_TRUE(site.start());
    std::vector<CrawlProgress> seen;
    CrawlHooks hooks;
    hooks.progressIntervalMs = 0;
    hooks.progress = [&seen](const CrawlProgress &p) {
        seen.push_back(p);
    };
    Crawled c;
    crawl(site, quickOptions(), c, hooks);
    expectConsistent(c.sink);
    ASSERT_GE(seen.size(), 2u) << "while it runs, and once at its end";
    const CrawlProgress &last = seen.back();
    EXPECT_EQ(last.pagesDone, c.end.summary.pages);
    EXPECT_EQ(last.pagesFound, c.end.summary.pages);
    EXPECT_EQ(last.linksChecked, c.end.summary.rows);
    EXPECT_EQ(last.distinct, c.end.summary.distinct);
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i].pagesDone, seen[i - 1].pagesDone);
        EXPECT_GE(seen[i].linksChecked, seen[i - 1].linksChecked);
        EXPECT_LE(seen[i].pagesDone, seen[i].pagesFound);
    }
}

TEST(Crawler, ALinkBeyondTheDepthIsCheckedWhateverRobotsTxtSays)
{
    // A row that would not be crawled anyway is one request, not a crawl: robots.txt does not
    // keep it from its check.
    int linkingDepth = -1;
    {
        CrawlSite site;
        ASSERT_TRUE(site.start());
        Crawled c;
        crawl(site, quickOptions(), c);
        const QString address = site.url("/private/10.html");
        for (const auto &[page, rows] : c.sink.pages) {
            for (const CrawlRow &row : rows) {
                if (row.row.link.section(u'#', 0, 0) == address) {
                    linkingDepth = linkingDepth < 0 ? page.depth : std::min(linkingDepth, page.depth);
                    EXPECT_EQ(row.row.verdict, Verdict::Skipped) << "within the depth it is a page kept out";
                }
            }
        }
        EXPECT_EQ(site.count("GET", "/private/10.html"), 0);
    }
    ASSERT_GE(linkingDepth, 0);

    CrawlSite site;
    ASSERT_TRUE(site.start());
    CrawlOptions o = quickOptions();
    o.maxDepth = linkingDepth;
    Crawled c;
    crawl(site, o, c);
    expectConsistent(c.sink);
    const QString address = site.url("/private/10.html");
    const std::vector<const CrawlRow *> rows = c.sink.rowsTo(address);
    ASSERT_FALSE(rows.empty());
    for (const CrawlRow *row : rows) {
        EXPECT_EQ(row->row.verdict, Verdict::Ok);
    }
    EXPECT_EQ(site.count("GET", "/private/10.html"), 1);
    EXPECT_FALSE(c.sink.depths().contains(address));
}

} // namespace quorvel::test
