#include "core/store/SqliteCrawlStore.h"

#include "core/results/CheckResult.h"
#include "core/results/LinkChecker.h"
#include "support/FileFaults.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

const QDateTime kT0 = QDateTime(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC);

// The time the store sees; tests move it instead of waiting.
struct TestClock
{
    QDateTime now = kT0;
};

SqliteStoreOptions optionsWith(TestClock &clock)
{
    SqliteStoreOptions options;
    options.clock = [&clock] {
        return clock.now;
    };
    return options;
}

QString statusLine(int status)
{
    switch (status) {
    case 200:
        return u"HTTP/1.1 200 OK"_s;
    case 301:
        return u"HTTP/1.1 301 Moved Permanently"_s;
    case 403:
        return u"HTTP/1.1 403 Forbidden"_s;
    case 404:
        return u"HTTP/1.1 404 Not Found"_s;
    default:
        return u"HTTP/1.1 %1 Status"_s.arg(status);
    }
}

// A row as a check leaves it: one answer of status (none for status <= 0, with an error instead).
CrawlRow checkedRow(const QString &page, const QString &link, Verdict verdict, int status = 200)
{
    CrawlRow crawlRow;
    crawlRow.page = page;
    LinkRow &row = crawlRow.row;
    row.link = link;
    row.follow = u"dofollow"_s;
    row.type = u"Internal"_s;
    row.anchorText = u"to "_s + link;
    row.verdict = verdict;
    if (verdict == Verdict::Skipped) {
        row.response = u"EMAIL"_s;
        row.icon = kIconNone;
        return crawlRow;
    }
    if (status > 0) {
        row.response = statusLine(status);
        row.responseTime = u"12"_s;
        row.icon = iconForStatus(status);
        row.finalStatus = status;
        row.chain = {{status, link}};
    } else {
        row.responseTime = u"5001"_s;
        row.icon = kIconNone;
        row.checkError = u"Could not resolve host: gone.test"_s;
        row.verdictError = row.checkError;
        row.chain = {{0, link}};
    }
    return crawlRow;
}

CrawlRow uncheckedRow(const QString &page, const QString &link)
{
    CrawlRow crawlRow;
    crawlRow.page = page;
    crawlRow.row.link = link;
    crawlRow.row.follow = u"dofollow"_s;
    crawlRow.row.type = u"Internal"_s;
    return crawlRow;
}

CrawlPage pageOf(const QString &url, int depth, int links)
{
    CrawlPage page;
    page.url = url;
    page.depth = depth;
    page.status = 200;
    page.verdict = Verdict::Ok;
    page.links = links;
    return page;
}

struct PageWithRows
{
    CrawlPage page;
    QList<CrawlRow> rows;
};

// Writes a crawl of start through the sink, ended unless told otherwise; returns its id.
qint64 writeCrawl(CrawlStore &store, const QString &start, const QList<PageWithRows> &pages, bool ended = true,
                  bool stopped = false)
{
    store.begin({start, kT0, u"depth 10"_s});
    CrawlEnd end;
    for (const PageWithRows &page : pages) {
        store.pageDone(page.page, page.rows);
        end.pages.append(page.page);
        end.summary.pages += 1;
        end.summary.rows += page.rows.size();
    }
    if (ended) {
        end.stopped = stopped;
        end.endedAt = kT0.addSecs(30);
        store.end(end);
    }
    EXPECT_EQ(store.crawlError(), QString());
    return store.currentCrawl();
}

// A crawl of one page holding one row per (link, verdict).
QList<PageWithRows> onePage(const QString &start, const QList<std::pair<QString, Verdict>> &links)
{
    PageWithRows page{pageOf(start, 0, static_cast<int>(links.size())), {}};
    for (const auto &[link, verdict] : links) {
        page.rows.append(verdict == Verdict::None
                             ? uncheckedRow(start, link)
                             : checkedRow(start, link, verdict, verdict == Verdict::Broken ? 404 : 200));
    }
    return {page};
}

std::unique_ptr<CrawlStore> openOrFail(const QString &path, TestClock &clock)
{
    QString error;
    auto store = openSqliteStore(path, &error, optionsWith(clock));
    EXPECT_NE(store, nullptr) << error.toStdString();
    EXPECT_EQ(error, QString());
    return store;
}

// Runs statements on a file through a connection of the test's own, outside the store.
QString runSql(const QString &path, const QStringList &statements)
{
    static int number = 0;
    const QString name = u"store-test-raw-%1"_s.arg(++number);
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        if (!db.open()) {
            failure = db.lastError().text();
        }
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            if (failure.isEmpty() && !query.exec(statement)) {
                failure = statement + u": "_s + query.lastError().text();
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return failure;
}

class SqliteCrawlStoreTest : public ::testing::Test
{
protected:
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(u"crawls.db"_s);
    TestClock m_clock;
};

TEST_F(SqliteCrawlStoreTest, ReadsBackACrawlAsItWasWritten)
{
    const QString start = u"http://site.test/"_s;
    const QString second = u"http://site.test/a"_s;
    PageWithRows home{pageOf(start, 0, 8), {}};
    home.rows = {
        checkedRow(start, u"http://site.test/a"_s, Verdict::Ok),
        checkedRow(start, u"http://site.test/b#top"_s, Verdict::FragmentMissing),
        checkedRow(start, u"http://site.test/b#main"_s, Verdict::Ok),
        checkedRow(start, u"mailto:someone@site.test"_s, Verdict::Skipped),
        checkedRow(start, u"http://site.test/a"_s, Verdict::Ok),
        checkedRow(start, u"http://gone.test/"_s, Verdict::Unreachable, 0),
        uncheckedRow(start, u"http://site.test/later"_s),
        // A repeat of a link with a result of its own keeps it.
        checkedRow(start, u"http://site.test/a"_s, Verdict::Timeout, 0),
    };
    home.rows[1].row.verdictError = u"no element named \"top\""_s;
    home.rows[4].line = 9;
    home.rows[4].column = 17;
    home.rows[7].row.verdictError = u"no answer within 5000 ms"_s;
    home.rows[7].row.checkError.clear();
    PageWithRows pageA{pageOf(second, 1, 3), {}};
    CrawlRow redirect = checkedRow(second, u"http://site.test/old"_s, Verdict::Redirected, 301);
    redirect.row.hops = 1;
    redirect.row.finalStatus = 200;
    redirect.row.finalUrl = u"http://site.test/new"_s;
    redirect.row.chain = {{301, u"http://site.test/old"_s}, {200, u"http://site.test/new"_s}};
    pageA.rows = {checkedRow(second, start, Verdict::Ok), redirect,
                  checkedRow(second, u"http://wall.test/"_s, Verdict::Blocked, 403)};
    CrawlPage refused = pageOf(u"http://site.test/private"_s, 1, 0);
    refused.status = 0;
    refused.verdict = Verdict::None;
    refused.error = u"Disallowed by robots.txt"_s;

    // A page the crawl knew of without handing it over: it is known only from the end.
    CrawlPage unfetched = pageOf(u"http://site.test/deep"_s, 11, 0);
    unfetched.status = 0;
    unfetched.verdict = Verdict::None;
    unfetched.error = u"Deeper than the depth limit"_s;
    unfetched.inlinks = 2;

    CrawlEnd end;
    end.pages = {home.page, pageA.page, refused, unfetched};
    end.pages[0].inlinks = 1;
    end.pages[1].inlinks = 3;
    end.orphans = {u"http://site.test/lost"_s};
    end.summary.pages = 2;
    end.summary.rows = 11;
    end.summary.distinct = 8;
    end.summary.byVerdict[static_cast<std::size_t>(Verdict::Ok)] = 5;
    end.summary.byVerdict[static_cast<std::size_t>(Verdict::Timeout)] = 1;
    end.stopped = true;
    end.endedAt = kT0.addSecs(90);
    qint64 id = 0;
    {
        auto store = openOrFail(m_path, m_clock);
        ASSERT_NE(store, nullptr);
        store->begin({start, kT0, u"depth 10, max pages 100"_s});
        store->pageDone(home.page, home.rows);
        store->pageDone(pageA.page, pageA.rows);
        store->pageDone(refused, {});
        store->end(end);
        EXPECT_EQ(store->crawlError(), QString());
        id = store->currentCrawl();
        // A second crawl that never ends.
        store->begin({start, kT0.addSecs(600), u"depth 1"_s});
        store->pageDone(home.page, home.rows);
        store->flush();
    }

    auto store = openOrFail(m_path, m_clock);
    ASSERT_NE(store, nullptr);
    const QList<StoredCrawl> crawls = store->crawls();
    ASSERT_EQ(crawls.size(), 2) << store->lastError().toStdString();
    EXPECT_EQ(crawls[0].id, id);
    EXPECT_EQ(crawls[0].start, start);
    EXPECT_EQ(crawls[0].startedAt, kT0);
    EXPECT_EQ(crawls[0].endedAt, end.endedAt);
    EXPECT_TRUE(crawls[0].stopped);
    EXPECT_EQ(crawls[0].options, u"depth 10, max pages 100"_s);
    EXPECT_EQ(crawls[0].orphans, end.orphans);
    EXPECT_EQ(crawls[0].summary, end.summary);
    EXPECT_FALSE(crawls[1].finished());

    EXPECT_EQ(store->pages(id), end.pages);
    EXPECT_EQ(store->rowsOfPage(id, start), home.rows);
    EXPECT_EQ(store->rowsOfPage(id, second), pageA.rows);
    EXPECT_EQ(store->rowsOfPage(id, refused.url), QList<CrawlRow>());
    EXPECT_EQ(store->summary(id), end.summary);

    // The crawl that never ended is counted from what it kept: rows by verdict, None unchecked.
    CrawlSummary counted;
    counted.pages = 1;
    counted.rows = home.rows.size();
    counted.distinct = 4; // a, b#top, b#main, gone.test: the mail link is not asked
    counted.byVerdict[static_cast<std::size_t>(Verdict::Ok)] = 3;
    counted.byVerdict[static_cast<std::size_t>(Verdict::FragmentMissing)] = 1;
    counted.byVerdict[static_cast<std::size_t>(Verdict::Skipped)] = 1;
    counted.byVerdict[static_cast<std::size_t>(Verdict::Unreachable)] = 1;
    counted.byVerdict[static_cast<std::size_t>(Verdict::None)] = 1;
    counted.byVerdict[static_cast<std::size_t>(Verdict::Timeout)] = 1;
    EXPECT_EQ(store->summary(crawls[1].id), counted);
    EXPECT_EQ(crawls[1].summary, counted);

    struct ProblemCase
    {
        const char *name;
        qint64 offset;
        qint64 limit;
        bool strict;
        QList<CrawlRow> expected;
    };
    const std::vector<ProblemCase> cases = {
        {"all of them, page by page", 0, 10, false, {home.rows[1], home.rows[5], home.rows[7]}},
        {"one after skipping one", 1, 1, false, {home.rows[5]}},
        {"the rest after two", 2, 10, false, {home.rows[7]}},
        {"past the end", 3, 10, false, {}},
        {"strict adds the blocked row", 0, 10, true, {home.rows[1], home.rows[5], home.rows[7], pageA.rows[2]}},
    };
    for (const ProblemCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(store->problemRows(id, c.offset, c.limit, c.strict), c.expected);
        EXPECT_EQ(store->lastError(), QString());
    }
}

TEST_F(SqliteCrawlStoreTest, ReportsWhatChangedSinceTheLastEndedCrawlOfTheSameStart)
{
    const QString start = u"http://site.test/"_s;
    auto link = [](const char *name) -> QString {
        return u"http://site.test/"_s + QLatin1String(name);
    };
    auto store = openOrFail(m_path, m_clock);
    ASSERT_NE(store, nullptr);

    writeCrawl(*store, start,
               onePage(start, {{link("x"), Verdict::Broken},
                               {link("y"), Verdict::Ok},
                               {link("z"), Verdict::Broken},
                               {link("w"), Verdict::Timeout},
                               {link("u"), Verdict::Broken},
                               {link("k"), Verdict::Blocked}}));
    EXPECT_EQ(store->changes(), std::nullopt) << "a first crawl has nothing to compare with";
    const qint64 first = store->currentCrawl();

    // Another start address has no earlier crawl, whatever the store holds.
    writeCrawl(*store, u"http://other.test/"_s, onePage(u"http://other.test/"_s, {{link("x"), Verdict::Ok}}));
    EXPECT_EQ(store->changes(), std::nullopt);

    // A crawl that never ended is never compared with.
    writeCrawl(*store, start, onePage(start, {{link("x"), Verdict::Ok}, {link("q"), Verdict::Broken}}), false);

    store->begin({start, kT0.addSecs(3600), {}});
    const auto page = onePage(start, {{link("x"), Verdict::Ok},
                                      {link("y"), Verdict::Broken},
                                      {link("z"), Verdict::Broken},
                                      {link("v"), Verdict::FragmentMissing},
                                      {link("u"), Verdict::None},
                                      {link("k"), Verdict::Ok}});
    store->pageDone(page[0].page, page[0].rows);
    const std::optional<CrawlChanges> changes = store->changes();
    ASSERT_TRUE(changes.has_value()) << store->lastError().toStdString();
    // x answers now; w is no longer linked; u is linked but was not checked this time; blocked k was
    // not a problem then.
    EXPECT_EQ(changes->newlyBroken, QStringList({link("v"), link("y")}));
    EXPECT_EQ(changes->fixed, QStringList({link("w"), link("x")}));
    EXPECT_EQ(changes->previousStartedAt, kT0);
    {
        // A window reads the same through a store object of its own, for any crawl.
        auto reader = openOrFail(m_path, m_clock);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->changesOf(store->currentCrawl()), changes);
        EXPECT_EQ(reader->changesOf(first), std::nullopt);
        EXPECT_EQ(reader->changesOf(store->currentCrawl(), true), store->changes(true));
    }

    const std::optional<CrawlChanges> strict = store->changes(true);
    ASSERT_TRUE(strict.has_value());
    EXPECT_EQ(strict->fixed, QStringList({link("k"), link("w"), link("x")}));

    CrawlEnd end;
    end.stopped = true;
    end.endedAt = kT0.addSecs(3700);
    store->end(end);
    // A stopped crawl that ended is the next one's earlier crawl.
    store->begin({start, kT0.addSecs(7200), {}});
    const auto again = onePage(start, {{link("y"), Verdict::Broken}});
    store->pageDone(again[0].page, again[0].rows);
    const std::optional<CrawlChanges> next = store->changes();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->previousStartedAt, kT0.addSecs(3600));
    EXPECT_EQ(next->newlyBroken, QStringList());
    EXPECT_EQ(next->fixed, QStringList({link("v"), link("z")}));
    EXPECT_NE(store->currentCrawl(), first);
}

TEST_F(SqliteCrawlStoreTest, ReusesOnlyYoungSuccessfulChecks)
{
    const QString start = u"http://site.test/"_s;
    auto link = [](const char *name) -> QString {
        return u"http://site.test/"_s + QLatin1String(name);
    };
    auto store = openOrFail(m_path, m_clock);
    ASSERT_NE(store, nullptr);
    PageWithRows page{pageOf(start, 0, 5), {}};
    page.rows = {
        checkedRow(start, link("ok"), Verdict::Ok), checkedRow(start, link("redirected"), Verdict::Redirected, 301),
        checkedRow(start, link("broken"), Verdict::Broken, 404),
        checkedRow(start, link("timeout"), Verdict::Timeout, 0), checkedRow(start, link("later-broken"), Verdict::Ok)};
    page.rows[1].row.hops = 1;
    page.rows[1].row.finalStatus = 200;
    page.rows[1].row.finalUrl = link("new");
    page.rows[1].row.chain = {{301, link("redirected")}, {200, link("new")}};
    writeCrawl(*store, start, {page});
    m_clock.now = kT0.addSecs(100);
    writeCrawl(*store, start, onePage(start, {{link("later-broken"), Verdict::Broken}}));

    struct CacheCase
    {
        const char *name;
        QString link;
        qint64 ageSeconds; // the clock's distance from the first crawl
        qint64 maxAge;
        bool reused;
    };
    const std::vector<CacheCase> cases = {
        {"a young ok is reused", link("ok"), 600, 3600, true},
        {"an ok exactly as old as allowed is reused", link("ok"), 3600, 3600, true},
        {"an old ok is asked again", link("ok"), 3601, 3600, false},
        {"a young redirected is reused", link("redirected"), 600, 3600, true},
        {"a young broken is asked again", link("broken"), 600, 3600, false},
        {"a young timeout is asked again", link("timeout"), 600, 3600, false},
        {"a later failure hides an earlier ok", link("later-broken"), 600, 3600, false},
        {"an address never checked", link("never"), 600, 3600, false},
        {"cache age 0 reuses nothing older", link("ok"), 1, 0, false},
    };
    for (const CacheCase &c : cases) {
        SCOPED_TRACE(c.name);
        m_clock.now = kT0.addSecs(c.ageSeconds);
        const std::optional<CachedCheck> cached = store->cachedCheck(c.link, c.maxAge);
        EXPECT_EQ(store->lastError(), QString());
        ASSERT_EQ(cached.has_value(), c.reused);
        if (!cached) {
            continue;
        }
        EXPECT_EQ(cached->checkedAt, kT0);
        EXPECT_EQ(cached->status.MyURL, c.link);
        // A row filled from the cache is the row the check filled.
        const auto stored =
            std::find_if(page.rows.cbegin(), page.rows.cend(), [&](const CrawlRow &r) { return r.row.link == c.link; });
        ASSERT_NE(stored, page.rows.cend());
        LinkRow row = uncheckedRow(start, c.link).row;
        row.anchorText = stored->row.anchorText;
        applyCheckResult(row, cached->status);
        EXPECT_EQ(row, stored->row);
    }
}

TEST_F(SqliteCrawlStoreTest, RefusesFilesThatAreNotItsStoresAndLeavesThemAlone)
{
    struct RefusedCase
    {
        const char *name;
        std::function<void(const QString &path)> make;
        QString message; // a part of the message after the path
    };
    const std::vector<RefusedCase> cases = {
        {"a text file", [](const QString &path) { writeAll(path, "<html><body>links</body></html>\n"); },
         u" is not a Quorvel crawl store: it is not an SQLite database. It was left unchanged."_s},
        {"an SQLite database of another program",
         [](const QString &path) {
             EXPECT_EQ(runSql(path, {u"CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT)"_s,
                                     u"INSERT INTO moz_places (url) VALUES ('http://a.test/')"_s}),
                       QString());
         },
         u" is not a Quorvel crawl store: it is an SQLite database of another program (tables moz_places). It "
         "was left unchanged."_s},
        {"a store of a newer version",
         [](const QString &path) {
             TestClock clock;
             {
                 auto store = openOrFail(path, clock);
             }
             EXPECT_EQ(runSql(path, {u"PRAGMA journal_mode = DELETE"_s,
                                     u"PRAGMA user_version = %1"_s.arg(kCrawlStoreSchemaVersion + 1)}),
                       QString());
         },
         u" was written by a newer Quorvel (crawl store version %1; this one reads versions up to %2). It was "
         "left unchanged."_s.arg(kCrawlStoreSchemaVersion + 1)
             .arg(kCrawlStoreSchemaVersion)},
        {"an SQLite header over garbage",
         [](const QString &path) { writeAll(path, QByteArray("SQLite format 3\0", 16) + QByteArray(4080, 'x')); },
         u" cannot be read as a crawl store: file is not a database. It was left unchanged."_s},
    };
    for (const RefusedCase &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"crawls.db"_s);
        c.make(path);
        const QByteArray before = readAll(path);
        const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files);
        QString error;
        EXPECT_EQ(openSqliteStore(path, &error), nullptr);
        EXPECT_EQ(error, path + c.message);
        EXPECT_EQ(readAll(path), before);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), filesBefore);
    }

    QString error;
    EXPECT_EQ(openSqliteStore(m_dir.path(), &error), nullptr);
    EXPECT_EQ(error, m_dir.path() + u" is a folder, not a crawl store file."_s);
}

TEST_F(SqliteCrawlStoreTest, TakesAnEmptyFileOrAnEmptyDatabaseAsNew)
{
    const std::vector<std::pair<const char *, std::function<void(const QString &)>>> cases = {
        {"an empty file",
         [](const QString &path) {
             writeAll(path, {});
         }},
        {"an SQLite database without tables",
         [](const QString &path) {
             EXPECT_EQ(runSql(path, {u"CREATE TABLE scratch (x)"_s, u"DROP TABLE scratch"_s}), QString());
             EXPECT_GT(QFileInfo(path).size(), 0);
         }},
    };
    for (const auto &[name, make] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"crawls.db"_s);
        make(path);
        auto store = openOrFail(path, m_clock);
        ASSERT_NE(store, nullptr);
        const qint64 id = writeCrawl(*store, u"http://site.test/"_s,
                                     onePage(u"http://site.test/"_s, {{u"http://site.test/a"_s, Verdict::Ok}}));
        EXPECT_EQ(store->pages(id).size(), 1);
    }
}

// The tables and contents a store of version 1 held when that version was current; the store must
// open such a file whatever its own version is.
TEST_F(SqliteCrawlStoreTest, OpensAStoreOfVersionOne)
{
    const QString failure = runSql(
        m_path,
        {
            u"CREATE TABLE store_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)"_s,
            u"INSERT INTO store_info (key, value) VALUES ('application', 'Quorvel crawl store')"_s,
            u"CREATE TABLE crawls (id INTEGER PRIMARY KEY, start TEXT NOT NULL, started_at INTEGER NOT NULL,"
            " options TEXT NOT NULL DEFAULT '', ended_at INTEGER, stopped INTEGER NOT NULL DEFAULT 0,"
            " orphans TEXT NOT NULL DEFAULT '[]', pages INTEGER, rows INTEGER, distinct_addresses INTEGER,"
            " by_verdict TEXT)"_s,
            u"CREATE INDEX crawls_by_start ON crawls (start, id)"_s,
            u"CREATE TABLE addresses (id INTEGER PRIMARY KEY, address TEXT NOT NULL UNIQUE)"_s,
            u"CREATE TABLE pages (crawl INTEGER NOT NULL REFERENCES crawls (id), seq INTEGER NOT NULL,"
            " url TEXT NOT NULL, depth INTEGER NOT NULL, status INTEGER NOT NULL, verdict TEXT NOT NULL,"
            " error TEXT NOT NULL, links INTEGER NOT NULL, inlinks INTEGER NOT NULL,"
            " PRIMARY KEY (crawl, seq)) WITHOUT ROWID"_s,
            u"CREATE INDEX pages_by_url ON pages (crawl, url)"_s,
            u"CREATE TABLE checks (id INTEGER PRIMARY KEY, crawl INTEGER NOT NULL REFERENCES crawls (id),"
            " address INTEGER NOT NULL REFERENCES addresses (id), checked_at INTEGER NOT NULL,"
            " status INTEGER NOT NULL, response TEXT NOT NULL, response_time TEXT NOT NULL,"
            " check_error TEXT NOT NULL, verdict TEXT NOT NULL, final_status INTEGER NOT NULL,"
            " hops INTEGER NOT NULL, final_url TEXT NOT NULL, verdict_error TEXT NOT NULL, chain TEXT NOT NULL)"_s,
            u"CREATE INDEX checks_by_crawl ON checks (crawl, address)"_s,
            u"CREATE INDEX checks_by_address ON checks (address, checked_at)"_s,
            u"CREATE TABLE links (crawl INTEGER NOT NULL, page_seq INTEGER NOT NULL, seq INTEGER NOT NULL,"
            " address INTEGER NOT NULL REFERENCES addresses (id), follow TEXT NOT NULL, type TEXT NOT NULL,"
            " anchor_text TEXT NOT NULL, icon INTEGER NOT NULL, line INTEGER NOT NULL, col INTEGER NOT NULL,"
            " check_id INTEGER REFERENCES checks (id), PRIMARY KEY (crawl, page_seq, seq)) WITHOUT ROWID"_s,
            u"CREATE TABLE migrations (version INTEGER PRIMARY KEY, what TEXT NOT NULL,"
            " applied_at INTEGER NOT NULL)"_s,
            u"INSERT INTO migrations VALUES (1, 'crawls, pages, links, addresses and checks', 0)"_s,
            u"INSERT INTO crawls VALUES (1, 'http://site.test/', %1, 'depth 10', %2, 0, '[]', 1, 1, 1,"
            " '{\"broken\":1}')"_s.arg(kT0.toMSecsSinceEpoch())
                .arg(kT0.addSecs(5).toMSecsSinceEpoch()),
            u"INSERT INTO addresses VALUES (1, 'http://site.test/gone')"_s,
            u"INSERT INTO pages VALUES (1, 1, 'http://site.test/', 0, 200, 'ok', '', 1, 0)"_s,
            u"INSERT INTO checks VALUES (1, 1, 1, %1, 404, 'HTTP/1.1 404 Not Found', '12', '', 'broken', 404, 0,"
            " '', '', '[[404,\"http://site.test/gone\"]]')"_s.arg(kT0.toMSecsSinceEpoch()),
            u"INSERT INTO links VALUES (1, 1, 1, 1, 'dofollow', 'Internal', 'gone', 52, 3, 4, 1)"_s,
            u"PRAGMA application_id = %1"_s.arg(kCrawlStoreApplicationId),
            u"PRAGMA user_version = 1"_s,
        });
    ASSERT_EQ(failure, QString());

    auto store = openOrFail(m_path, m_clock);
    ASSERT_NE(store, nullptr);
    CrawlRow gone = checkedRow(u"http://site.test/"_s, u"http://site.test/gone"_s, Verdict::Broken, 404);
    gone.row.anchorText = u"gone"_s;
    gone.line = 3;
    gone.column = 4;
    EXPECT_EQ(store->rowsOfPage(1, u"http://site.test/"_s), QList<CrawlRow>({gone}));
    EXPECT_EQ(store->summary(1).count(Verdict::Broken), 1);
    // A crawl after it compares with it.
    store->begin({u"http://site.test/"_s, kT0.addSecs(60), {}});
    const auto page = onePage(u"http://site.test/"_s, {{u"http://site.test/gone"_s, Verdict::Ok}});
    store->pageDone(page[0].page, page[0].rows);
    const std::optional<CrawlChanges> changes = store->changes();
    ASSERT_TRUE(changes.has_value()) << store->lastError().toStdString();
    EXPECT_EQ(changes->fixed, QStringList({u"http://site.test/gone"_s}));
}

TEST_F(SqliteCrawlStoreTest, StopsRecordingOnAFullDiskAndKeepsEarlierCrawls)
{
    const QString start = u"http://site.test/"_s;
    auto store = openOrFail(m_path, m_clock);
    ASSERT_NE(store, nullptr);
    const qint64 first = writeCrawl(*store, start, onePage(start, {{u"http://site.test/gone"_s, Verdict::Broken}}));
    const qint64 used = std::max(QFileInfo(m_path).size(), QFileInfo(m_path + u"-wal"_s).size());

    store->begin({start, kT0.addSecs(60), {}});
    {
        FileSizeLimit limit(static_cast<rlim_t>(used + 64 * 1024));
        if (!limit.active()) {
            GTEST_SKIP() << "the file size limit cannot be set here";
        }
        for (int i = 0; i < 200 && store->crawlError().isEmpty(); ++i) {
            PageWithRows page{pageOf(u"http://site.test/p%1"_s.arg(i), 1, 50), {}};
            for (int r = 0; r < 50; ++r) {
                CrawlRow row = uncheckedRow(page.page.url, u"http://site.test/p%1/l%2"_s.arg(i).arg(r));
                row.row.anchorText = QString(200, u'x');
                page.rows.append(row);
            }
            store->pageDone(page.page, page.rows);
        }
        EXPECT_TRUE(store->crawlError().startsWith(m_path +
                                                   u": the crawl store stopped recording at page http://site.test/p"_s))
            << store->crawlError().toStdString();
        // The crawl goes on; the store records nothing more of it and compares nothing.
        store->pageDone(pageOf(u"http://site.test/after"_s, 1, 0), {});
        store->end({});
        EXPECT_EQ(store->changes(), std::nullopt);
        EXPECT_EQ(store->lastError(), store->crawlError());
    }
    store.reset();

    auto reopened = openOrFail(m_path, m_clock);
    ASSERT_NE(reopened, nullptr);
    const QList<StoredCrawl> crawls = reopened->crawls();
    ASSERT_EQ(crawls.size(), 2) << reopened->lastError().toStdString();
    EXPECT_TRUE(crawls[0].finished());
    EXPECT_FALSE(crawls[1].finished()) << "a crawl recorded in part is never taken for a whole one";
    EXPECT_EQ(reopened->rowsOfPage(first, start).size(), 1);
    // The next crawl compares with the last whole one.
    writeCrawl(*reopened, start, onePage(start, {{u"http://site.test/gone"_s, Verdict::Ok}}), false);
    const std::optional<CrawlChanges> changes = reopened->changes();
    ASSERT_TRUE(changes.has_value()) << reopened->lastError().toStdString();
    EXPECT_EQ(changes->fixed, QStringList({u"http://site.test/gone"_s}));
}

TEST_F(SqliteCrawlStoreTest, StopsRecordingWhileAnotherProgramHoldsTheFile)
{
    const QString start = u"http://site.test/"_s;
    SqliteStoreOptions options = optionsWith(m_clock);
    options.busyTimeoutMs = 0;
    QString error;
    auto store = openSqliteStore(m_path, &error, options);
    ASSERT_NE(store, nullptr) << error.toStdString();
    const qint64 first = writeCrawl(*store, start, onePage(start, {{u"http://site.test/gone"_s, Verdict::Broken}}));

    const QString name = u"store-test-holder"_s;
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        holder.setDatabaseName(m_path);
        ASSERT_TRUE(holder.open());
        QSqlQuery hold(holder);
        ASSERT_TRUE(hold.exec(u"BEGIN IMMEDIATE"_s)) << hold.lastError().text().toStdString();

        store->begin({start, kT0.addSecs(60), {}});
        const auto page = onePage(start, {{u"http://site.test/gone"_s, Verdict::Ok}});
        store->pageDone(page[0].page, page[0].rows);
        EXPECT_EQ(store->crawlError(), m_path + u": the crawl could not be recorded: database is locked"_s);
        store->end({});
        EXPECT_EQ(store->changes(), std::nullopt);
        // Reading goes on meanwhile.
        EXPECT_EQ(store->rowsOfPage(first, start).size(), 1);
        EXPECT_EQ(store->lastError(), QString());
        ASSERT_TRUE(hold.exec(u"ROLLBACK"_s));
    }
    QSqlDatabase::removeDatabase(name);

    // Once the file is free, the next crawl is recorded and compared with the first.
    writeCrawl(*store, start, onePage(start, {{u"http://site.test/gone"_s, Verdict::Ok}}), false);
    const std::optional<CrawlChanges> changes = store->changes();
    ASSERT_TRUE(changes.has_value()) << store->lastError().toStdString();
    EXPECT_EQ(changes->fixed, QStringList({u"http://site.test/gone"_s}));
}

TEST_F(SqliteCrawlStoreTest, CommitsWholePagesInBatchesOfRows)
{
    const QString start = u"http://site.test/"_s;
    SqliteStoreOptions options = optionsWith(m_clock);
    options.batchRows = 100;
    options.commitAfterMs = 0;
    QString error;
    auto writer = openSqliteStore(m_path, &error, options);
    ASSERT_NE(writer, nullptr) << error.toStdString();
    auto reader = openOrFail(m_path, m_clock);
    ASSERT_NE(reader, nullptr);

    auto pageNumbered = [&](int number) {
        PageWithRows page{pageOf(start + u"p%1"_s.arg(number), 1, 58), {}};
        for (int i = 0; i < 58; ++i) {
            page.rows.append(checkedRow(page.page.url, start + u"t%1"_s.arg(i), Verdict::Ok));
        }
        return page;
    };
    writer->begin({start, kT0, {}});
    ASSERT_EQ(reader->crawls().size(), 1) << "a crawl is recorded as soon as it begins";
    const qint64 id = writer->currentCrawl();
    struct Step
    {
        const char *name;
        int pagesSeen; // by another connection, after the step
    };
    const std::vector<Step> steps = {
        {"59 rows wait for the batch", 0},
        {"118 rows fill it: both pages are committed", 2},
        {"the next page waits again", 2},
    };
    for (int i = 0; i < static_cast<int>(steps.size()); ++i) {
        SCOPED_TRACE(steps[static_cast<std::size_t>(i)].name);
        const PageWithRows page = pageNumbered(i + 1);
        writer->pageDone(page.page, page.rows);
        EXPECT_EQ(reader->pages(id).size(), steps[static_cast<std::size_t>(i)].pagesSeen);
        EXPECT_EQ(reader->lastError(), QString());
    }
    ASSERT_TRUE(writer->flush());
    EXPECT_EQ(reader->pages(id).size(), 3);
    EXPECT_EQ(reader->rowsOfPage(id, start + u"p3"_s), pageNumbered(3).rows);
}

TEST_F(SqliteCrawlStoreTest, RefusesACallFromAnotherThread)
{
    auto store = openOrFail(m_path, m_clock);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->crawls().size(), 0);
    QList<StoredCrawl> fromThere;
    QString error;
    std::thread other([&] {
        fromThere = store->crawls();
        error = store->lastError();
    });
    other.join();
    EXPECT_EQ(error, u"the crawl store was used from a thread other than the one that opened it"_s);
    // The owning thread still uses it.
    writeCrawl(*store, u"http://site.test/"_s,
               onePage(u"http://site.test/"_s, {{u"http://site.test/a"_s, Verdict::Ok}}));
    EXPECT_EQ(store->crawls().size(), 1);
}

} // namespace

} // namespace quorvel::test
