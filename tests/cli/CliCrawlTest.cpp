#include "cli/CliProcess.h"
#include "core/store/SqliteCrawlStore.h"
#include "support/LoopbackServer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// A small site: the start links to two pages, one of them on to a third and a fourth (depths 0 to
// 3), to a missing page, a page robots.txt keeps out, a text file, a mail address and a page of
// another host (localhost: External by domain) whose own link must never be followed. The sitemap
// adds a page nobody links to.
class CrawlSite
{
public:
    CrawlSite()
    {
        auto &s = m_server.server();
        s.set_logger([this](const httplib::Request &req, const httplib::Response &) {
            const std::lock_guard lock(m_mutex);
            ++m_requests[req.method + ' ' + req.path];
        });
        const auto page = [&s](const std::string &path, std::string body) {
            s.Get(path, [body](const httplib::Request &, httplib::Response &res) {
                res.set_content("<html><body>\n" + body + "\n</body></html>\n", "text/html");
            });
        };
        s.Get("/robots.txt", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content("User-agent: *\nDisallow: /private/\nSitemap: " + url("/sitemap.xml") + "\n", "text/plain");
        });
        s.Get("/sitemap.xml", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content(R"(<?xml version="1.0"?><urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">)"
                            "<url><loc>" +
                                url("/a.html") + "</loc></url><url><loc>" + url("/orphan.html") +
                                "</loc></url></urlset>",
                            "application/xml");
        });
        page("/a.html", R"(<a href="/">Home</a> <a href="/c.html">C</a> <a href="/gone">Gone</a>)");
        page("/b.html", R"(<h2 id="part">Part</h2> <a href="/a.html">A</a>)");
        page("/c.html", R"(<a href="/d.html">D</a>)");
        page("/d.html", "<p>the end</p>");
        page("/orphan.html", R"(<a href="/e.html">E</a>)");
        page("/e.html", "<p>only the orphan links here</p>");
        page("/private/p.html", R"(<a href="/secret.html">S</a>)");
        page("/ext.html", R"(<a href="/never.html">N</a>)");
        s.Get("/notes.txt", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content("notes", "text/plain");
            res.status = changed ? 500 : 200;
        });
        s.Get("/gone", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content("back", "text/plain");
            res.status = changed ? 200 : 404;
        });
        // The other host is the same server under another name; known once it listens.
        s.Get("/", [this](const httplib::Request &, httplib::Response &res) {
            std::string body = R"(<html><body>
<a href="/a.html">A</a> <a href="b.html#part">B</a> <a href="/private/p.html">P</a>
<a href="/gone">Gone</a> <a href="/notes.txt">Notes</a> <a href="mailto:me@example.org">Mail</a>
<a href="EXTERNAL/ext.html">Elsewhere</a>
</body></html>)";
            body.replace(body.find("EXTERNAL"), 8, m_external);
            res.set_content(body, "text/html");
        });
        if (!m_server.start()) {
            throw std::runtime_error("the loopback server did not start");
        }
        m_external = m_server.url(u"/"_s).replace(u"127.0.0.1"_s, u"localhost"_s).chopped(1).toStdString();
    }

    // The second state of the site: the missing page is back, the notes fail.
    std::atomic<bool> changed{false};

    std::string url(const std::string &path) const { return m_server.url(QString::fromStdString(path)).toStdString(); }
    QString start() const { return m_server.url(u"/"_s); }
    QString at(const char *path) const { return m_server.url(QString::fromLatin1(path)); }

    int requests(const std::string &methodAndPath)
    {
        const std::lock_guard lock(m_mutex);
        return m_requests[methodAndPath];
    }

private:
    LoopbackServer m_server;
    std::string m_external;
    std::mutex m_mutex;
    std::map<std::string, int> m_requests;
};

QJsonObject crawlJson(const CliRun &run)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out.left(400).toStdString();
    return document.object();
}

std::map<QString, int> depthsOf(const QJsonObject &crawl)
{
    std::map<QString, int> depths;
    for (const QJsonValue &page : crawl[u"pages"_s].toArray()) {
        depths[page[u"url"_s].toString()] = page[u"depth"_s].toInt();
    }
    return depths;
}

const QStringList kQuick = {u"--connect-timeout"_s, u"2000"_s, u"--response-timeout"_s, u"2000"_s};

} // namespace

// The whole site by its links: depths, each page fetched once, robots.txt obeyed, the other host
// checked but never crawled, every row with its page, and the summary adding up.
TEST(CliCrawl, CrawlsTheSiteByItsLinks)
{
    CrawlSite site;
    const CliRun run = runCli(QStringList{u"crawl"_s, site.start()} + kQuick);
    EXPECT_EQ(run.exitCode, 1) << "a missing page fails the run\n" << run.err.toStdString();
    const QJsonObject crawl = crawlJson(run);
    EXPECT_EQ(crawl[u"start"_s].toString(), site.start());
    const std::map<QString, int> expected = {{site.start(), 0},
                                             {site.at("/a.html"), 1},
                                             {site.at("/b.html"), 1},
                                             {site.at("/c.html"), 2},
                                             {site.at("/d.html"), 3}};
    EXPECT_EQ(depthsOf(crawl), expected);
    for (const char *path : {"/", "/a.html", "/b.html", "/c.html", "/d.html", "/gone", "/notes.txt", "/ext.html"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(site.requests(std::string("GET ") + path), 1) << "once for every row that points there";
    }
    EXPECT_EQ(site.requests("GET /private/p.html"), 0) << "robots.txt keeps it out";
    EXPECT_EQ(site.requests("GET /never.html"), 0) << "another host's page is checked, never crawled";
    EXPECT_EQ(site.requests("GET /robots.txt"), 1);
    EXPECT_EQ(site.requests("GET /orphan.html"), 0) << "no sitemap without --sitemap";

    std::map<QString, int> byVerdict;
    bool privateSkipped = false;
    const QJsonArray rows = crawl[u"rows"_s].toArray();
    for (const QJsonValue &row : rows) {
        ++byVerdict[row[u"verdict"_s].toString()];
        EXPECT_TRUE(expected.count(row[u"page"_s].toString())) << row[u"page"_s].toString().toStdString();
        if (row[u"link"_s].toString() == site.at("/private/p.html")) {
            privateSkipped = row[u"verdict"_s] == u"skipped"_s && row[u"error"_s] == u"Disallowed by robots.txt"_s;
        }
    }
    EXPECT_TRUE(privateSkipped);
    const QJsonObject summary = crawl[u"summary"_s].toObject();
    EXPECT_EQ(summary[u"pages"_s].toInt(), 5);
    EXPECT_EQ(summary[u"rows"_s].toInt(), rows.size());
    for (const auto &[verdict, count] : byVerdict) {
        SCOPED_TRACE(verdict.toStdString());
        EXPECT_EQ(summary[verdict].toInt(), count);
    }
    EXPECT_EQ(summary[u"broken"_s].toInt(), 2) << "the missing page, linked from two pages";
    for (const QJsonValue &page : crawl[u"pages"_s].toArray()) {
        if (page[u"url"_s] == site.at("/a.html")) {
            EXPECT_EQ(page[u"inlinks"_s].toInt(), 2) << "from the start and from B";
        }
    }
    EXPECT_TRUE(run.err.contains("Crawled 5 pages"));
    EXPECT_TRUE(run.err.contains("Checked %1 links: "_ba.replace("%1", QByteArray::number(rows.size()))));
}

// --depth, --ignore-robots and --sitemap change which pages are fetched.
TEST(CliCrawl, DepthRobotsAndSitemapChooseThePages)
{
    struct Case
    {
        const char *name;
        QStringList options;
        QStringList pages;
        QStringList orphans;
    };

    const std::vector<Case> cases = {
        {"the start only", {u"--depth"_s, u"0"_s}, {u"/"_s}, {}},
        {"one link away", {u"--depth"_s, u"1"_s}, {u"/"_s, u"/a.html"_s, u"/b.html"_s}, {}},
        {"robots.txt ignored",
         {u"--depth"_s, u"1"_s, u"--ignore-robots"_s},
         {u"/"_s, u"/a.html"_s, u"/b.html"_s, u"/private/p.html"_s},
         {}},
        {"the sitemap's pages too",
         {u"--sitemap"_s},
         {u"/"_s, u"/a.html"_s, u"/b.html"_s, u"/c.html"_s, u"/d.html"_s, u"/orphan.html"_s, u"/e.html"_s},
         {u"/orphan.html"_s}},
        {"at most three pages", {u"--max-pages"_s, u"3"_s}, {u"/"_s, u"/a.html"_s, u"/b.html"_s}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CrawlSite site;
        const CliRun run = runCli(QStringList{u"crawl"_s, site.start()} + kQuick + c.options);
        const QJsonObject crawl = crawlJson(run);
        QStringList pages;
        for (const auto &[url, depth] : depthsOf(crawl)) {
            pages << QUrl(url).path();
        }
        QStringList expectedPages = c.pages;
        expectedPages.sort();
        pages.sort();
        EXPECT_EQ(pages, expectedPages);
        QStringList orphans;
        for (const QJsonValue &orphan : crawl[u"orphans"_s].toArray()) {
            orphans << QUrl(orphan.toString()).path();
        }
        EXPECT_EQ(orphans, c.orphans);
        EXPECT_EQ(site.requests("GET /never.html"), 0);
    }
}

// The same crawl as CSV, text, and into a file whose suffix names the format.
TEST(CliCrawl, OtherFormatsAndTheOutputFile)
{
    CrawlSite site;
    const CliRun csv = runCli(
        QStringList{u"crawl"_s, site.start(), u"--format"_s, u"csv"_s, u"--separator"_s, u";"_s, u"--depth"_s, u"1"_s} +
        kQuick);
    const QList<QByteArray> lines = csv.out.split('\n');
    ASSERT_GT(lines.size(), 2);
    EXPECT_EQ(lines[0], "Page;Line;Column;Link;Follow;Type;Anchor Text;HTTP Response;Response Time (ms);Verdict;Final;"
                        "Final Status;Hops;Error");
    EXPECT_TRUE(csv.out.contains(";broken;")) << csv.out.toStdString();

    const CliRun text =
        runCli(QStringList{u"crawl"_s, site.start(), u"--format"_s, u"txt"_s, u"--depth"_s, u"0"_s} + kQuick);
    const QByteArray goneLine = ": broken " + site.at("/gone").toUtf8() + " (HTTP/1.1 404 Not Found)";
    EXPECT_TRUE(text.out.contains(goneLine)) << text.out.toStdString();

    QTemporaryDir dir;
    const QString file = dir.filePath(u"crawl.csv"_s);
    const CliRun toFile =
        runCli(QStringList{u"crawl"_s, site.start(), u"--output"_s, file, u"--depth"_s, u"0"_s} + kQuick);
    EXPECT_EQ(toFile.exitCode, 1);
    EXPECT_TRUE(toFile.out.isEmpty());
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().startsWith("Page"));
}

// Each report, asked by --format or by the --output file's suffix.
TEST(CliCrawl, ReportsByFormatOrSuffix)
{
    struct Case
    {
        const char *format;
        const char *suffix;
        QByteArray begins;
    };

    const std::vector<Case> cases = {
        {"html", "html", "<!DOCTYPE html>"},
        {"junit", "xml", "<?xml"},
        {"sarif", "sarif", "{"},
        {"markdown", "md", "## "},
    };
    CrawlSite site;
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        const CliRun printed = runCli(
            QStringList{u"crawl"_s, site.start(), u"--format"_s, QString::fromLatin1(c.format), u"--depth"_s, u"1"_s} +
            kQuick);
        EXPECT_EQ(printed.exitCode, 1) << printed.err.toStdString();
        EXPECT_TRUE(printed.out.startsWith(c.begins)) << printed.out.left(200).toStdString();
        EXPECT_TRUE(printed.out.contains(site.at("/gone").toUtf8())) << "the missing page is a problem";

        const QString file = dir.filePath(u"report."_s + QString::fromLatin1(c.suffix));
        const CliRun written =
            runCli(QStringList{u"crawl"_s, site.start(), u"--output"_s, file, u"--depth"_s, u"1"_s} + kQuick);
        EXPECT_TRUE(written.out.isEmpty());
        QFile report(file);
        ASSERT_TRUE(report.open(QIODevice::ReadOnly));
        EXPECT_TRUE(report.readAll().startsWith(c.begins));
    }
    const CliRun sarif =
        runCli(QStringList{u"crawl"_s, site.start(), u"--format"_s, u"sarif"_s, u"--depth"_s, u"0"_s} + kQuick);
    const QJsonObject log = QJsonDocument::fromJson(sarif.out).object();
    EXPECT_EQ(log[u"version"_s].toString(), u"2.1.0"_s);
    const QJsonArray results = log[u"runs"_s].toArray().at(0)[u"results"_s].toArray();
    ASSERT_EQ(results.size(), 1) << "the missing page linked from the start";
    const QJsonObject region =
        results.at(0)[u"locations"_s].toArray().at(0)[u"physicalLocation"_s][u"region"_s].toObject();
    EXPECT_EQ(region[u"startLine"_s].toInt(), 3) << "the start page's third line holds the link";
}

TEST(CliCrawl, BadUsageIsRefused)
{
    struct Case
    {
        const char *name;
        QStringList args;
        const char *errContains;
    };

    const std::vector<Case> cases = {
        {"a local file", {u"crawl"_s, u"file:///tmp/x.html"_s}, "crawl takes an http or https address"},
        {"no address", {u"crawl"_s}, "no address given"},
        {"a negative depth", {u"crawl"_s, u"http://127.0.0.1:1/"_s, u"--depth"_s, u"-1"_s}, "--depth takes a number"},
        {"no pages", {u"crawl"_s, u"http://127.0.0.1:1/"_s, u"--max-pages"_s, u"0"_s}, "--max-pages takes a number"},
        {"a format check has not", {u"crawl"_s, u"http://127.0.0.1:1/"_s, u"--format"_s, u"pdf"_s}, "unknown format"},
        {"the cache without a store",
         {u"crawl"_s, u"http://127.0.0.1:1/"_s, u"--cache-age"_s, u"60"_s},
         "--cache-age needs --db"},
        {"the output over the store",
         {u"crawl"_s, u"http://127.0.0.1:1/"_s, u"--db"_s, u"same.sqlite"_s, u"--output"_s, u"./same.sqlite"_s},
         "--output names the file of --db"},
        {"a crawl option for check",
         {u"check"_s, u"http://127.0.0.1:1/"_s, u"--depth"_s, u"1"_s},
         "unknown option \"--depth\" for check"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(c.errContains)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

// With --db a second crawl of the same start says what broke and what was mended since the first;
// --cache-age takes young successful checks from the store instead of asking again; a file that is
// not a crawl store is refused and left alone.
TEST(CliCrawl, TheStoreReportsChangesAndServesTheCache)
{
    CrawlSite site;
    QTemporaryDir dir;
    const QString db = dir.filePath(u"crawls.sqlite"_s);
    const QStringList args = QStringList{u"crawl"_s, site.start(), u"--db"_s, db} + kQuick;

    const QJsonObject first = crawlJson(runCli(args));
    EXPECT_FALSE(first.contains(u"changes"_s)) << "nothing to compare with";

    site.changed = true;
    const CliRun second = runCli(args);
    EXPECT_EQ(second.exitCode, 1) << second.err.toStdString();
    const QJsonObject changes = crawlJson(second)[u"changes"_s].toObject();
    EXPECT_EQ(changes[u"new"_s].toArray(), QJsonArray{site.at("/notes.txt")});
    EXPECT_EQ(changes[u"fixed"_s].toArray(), QJsonArray{site.at("/gone")});

    const int extBefore = site.requests("GET /ext.html");
    const CliRun cached = runCli(args + QStringList{u"--cache-age"_s, u"3600"_s});
    EXPECT_EQ(site.requests("GET /ext.html"), extBefore) << "an ok check of an hour ago stands";
    EXPECT_EQ(crawlJson(cached)[u"summary"_s].toObject()[u"pages"_s].toInt(), 5) << "pages are still read";

    const QString foreign = dir.filePath(u"notes.txt"_s);
    QFile text(foreign);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a database\n");
    text.close();
    const CliRun refused = runCli(QStringList{u"crawl"_s, site.start(), u"--db"_s, foreign} + kQuick);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_FALSE(refused.err.isEmpty());
    QFile after(foreign);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), "not a database\n");
}

// A crawl killed outright (SIGKILL, nothing of the program runs after it) leaves a store that opens,
// with the crawl marked unfinished and every page it committed whole; the next crawl records as usual.
TEST(CliCrawl, AStoreSurvivesACrawlKilledMidway)
{
    LoopbackServer server;
    std::atomic<int> served{0};
    server.server().Get(R"(/p/(\d+))", [&served](const httplib::Request &req, httplib::Response &res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const int n = std::stoi(req.matches[1]);
        res.set_content("<html><body>\n<a href=\"/p/" + std::to_string(n + 1) + "\">next</a>\n<a href=\"/p/" +
                            std::to_string(n + 2) + "\">after</a>\n</body></html>",
                        "text/html");
        ++served;
    });
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    const QString db = dir.filePath(u"crawls.sqlite"_s);
    QProcess crawl;
    crawl.start(QStringLiteral(QUORVEL_CLI_PATH),
                QStringList{u"crawl"_s, server.url(u"/p/0"_s), u"--db"_s, db, u"--depth"_s, u"1000"_s,
                            u"--ignore-robots"_s, u"--parallel"_s, u"1"_s});
    ASSERT_TRUE(crawl.waitForStarted());
    // The store commits at least once a second: a few seconds of pages are on disk.
    ASSERT_TRUE(QTest::qWaitFor([&served] { return served.load() >= 150; }, 60'000));
    crawl.kill();
    crawl.waitForFinished();

    QString error;
    std::unique_ptr<CrawlStore> store = openSqliteStore(db, &error);
    ASSERT_TRUE(store) << error.toStdString();
    const QList<StoredCrawl> crawls = store->crawls();
    ASSERT_EQ(crawls.size(), 1);
    EXPECT_FALSE(crawls[0].finished());
    const QList<CrawlPage> pages = store->pages(crawls[0].id);
    ASSERT_FALSE(pages.isEmpty());
    for (const CrawlPage &page : pages) {
        EXPECT_EQ(store->rowsOfPage(crawls[0].id, page.url).size(), page.links) << page.url.toStdString();
    }
    store.reset();

    const CliRun next = runCli(
        QStringList{u"crawl"_s, server.url(u"/p/0"_s), u"--db"_s, db, u"--depth"_s, u"2"_s, u"--ignore-robots"_s});
    EXPECT_EQ(next.exitCode, 0) << next.err.toStdString();
}

// A start that cannot be reached ends the run with the page error's exit status and says why.
TEST(CliCrawl, AnUnreachableStartSaysWhy)
{
    const CliRun run = runCli(QStringList{u"crawl"_s, u"http://127.0.0.1:1/"_s} + kQuick);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains("the page could not be loaded: robots.txt could not be read"))
        << run.err.toStdString();
    EXPECT_EQ(crawlJson(run)[u"pages"_s].toArray().size(), 1);
}

} // namespace quorvel::test
