#include "core/collect/Collector.h"

#include "support/Fixtures.h"
#include "support/Gate.h"
#include "support/LoopbackServer.h"
#include "support/PositionPages.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

constexpr quint64 kGeneration = 42;

// Counts the requests of each path.
class RequestCounter final
{
public:
    void count(const std::string &path)
    {
        std::lock_guard lock(m_mutex);
        ++m_counts[path];
    }

    int of(const std::string &path)
    {
        std::lock_guard lock(m_mutex);
        return m_counts[path];
    }

private:
    std::mutex m_mutex;
    std::map<std::string, int> m_counts;
};

// A server whose pages are registered as (path, status, Location, body).
void page(httplib::Server &server, RequestCounter &counter, const std::string &path, int status,
          const std::string &location, const std::string &body)
{
    server.Get(path, [&counter, path, status, location, body](const httplib::Request &, httplib::Response &res) {
        counter.count(path);
        res.status = status;
        if (!location.empty()) {
            res.set_header("Location", location);
        }
        res.set_content(body, "text/html; charset=utf-8");
    });
}

// One signal as the window receives it.
struct Event
{
    QString kind;
    quint64 generation = 0;
    QString text;
    LinkRows rows;
    qsizetype total = -1;
};

struct Recorded
{
    std::vector<Event> events;
    bool finished = false;

    QStringList kinds() const
    {
        QStringList result;
        for (const Event &e : events) {
            if (result.isEmpty() || e.kind != u"rows"_s || result.last() != u"rows"_s) {
                result.append(e.kind); // consecutive batches count once
            }
        }
        return result;
    }

    LinkRows rows() const
    {
        LinkRows result;
        for (const Event &e : events) {
            if (e.kind == u"redirectRow"_s || e.kind == u"rows"_s) {
                result += e.rows;
            }
        }
        return result;
    }

    const Event &last() const { return events.back(); }
};

// Runs a TCollector on its worker thread and records its queued signals on this thread until it
// finishes. beforeStart sees the collector before it runs.
Recorded runCollector(const CollectionSnapshot &snapshot, const std::function<void(TCollector *)> &beforeStart = {})
{
    Recorded recorded;
    QObject context;
    OwnedWorker<TCollector> collector = TCollector::create(snapshot);
    QObject::connect(collector.get(), &TCollector::loading, &context, [&](quint64 generation, const QString &address) {
        recorded.events.push_back({u"loading"_s, generation, address, {}, -1});
    });
    QObject::connect(collector.get(), &TCollector::redirectRow, &context, [&](quint64 generation, const LinkRow &row) {
        recorded.events.push_back({u"redirectRow"_s, generation, {}, {row}, -1});
    });
    QObject::connect(collector.get(), &TCollector::urlBoxChanged, &context,
                     [&](quint64 generation, const QString &target) {
                         recorded.events.push_back({u"urlBoxChanged"_s, generation, target, {}, -1});
                     });
    QObject::connect(collector.get(), &TCollector::rowsCollected, &context,
                     [&](quint64 generation, const LinkRows &rows) {
                         recorded.events.push_back({u"rows"_s, generation, {}, rows, -1});
                     });
    QObject::connect(collector.get(), &TCollector::finished, &context,
                     [&](quint64 generation, qsizetype total, const QString &error) {
                         recorded.events.push_back({u"finished"_s, generation, error, {}, total});
                         recorded.finished = true;
                     });
    if (beforeStart) {
        beforeStart(collector.get());
    }
    collector.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorded.finished; }, 100'000));
    for (const Event &e : recorded.events) {
        EXPECT_EQ(e.generation, snapshot.generation) << e.kind.toStdString();
    }
    return recorded;
}

CollectionSnapshot snapshotFor(const QString &address)
{
    CollectionSnapshot snapshot;
    snapshot.address = address;
    snapshot.generation = kGeneration;
    snapshot.urlBase = UrlBaseMode::Subdomain;
    return snapshot;
}

QStringList linksOf(const LinkRows &rows)
{
    QStringList links;
    for (const LinkRow &row : rows) {
        links.append(row.link);
    }
    return links;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
    }
    return path;
}

const std::string kTargetPage = "<a href=\"/a\">A</a> <a href=\"b.html\">B</a>\n";

} // namespace

TEST(Collector, RedirectProbeMovesTheRunToTheTarget)
{
    RequestCounter counter;
    LoopbackServer server;
    std::atomic<int> port = 0;
    // The absolute target is on "localhost", the start on "127.0.0.1": in Subdomain Name mode a link
    // is Internal only when it is classified against the target.
    server.server().Get("/abs/start", [&](const httplib::Request &, httplib::Response &res) {
        counter.count("/abs/start");
        res.status = 301;
        res.set_header("Location", "http://localhost:" + std::to_string(port.load()) + "/target/page.html");
        res.set_content("<a href=\"/redirect-body\">x</a>", "text/html");
    });
    page(server.server(), counter, "/rel/start", 302, "/target/page.html", "<a href=\"/redirect-body\">x</a>");
    page(server.server(), counter, "/rel/dir/start", 307, "../target/page.html", "");
    page(server.server(), counter, "/target/page.html", 200, "", kTargetPage);
    page(server.server(), counter, "/rel/target/page.html", 200, "", kTargetPage);
    ASSERT_TRUE(server.start());
    port = server.port();

    struct Case
    {
        const char *name;
        const char *path;
        QString target;
    };

    const QString local = server.url(QString());
    const std::vector<Case> cases = {
        {"absolute Location stays as sent", "/abs/start", u"http://localhost:%1/target/page.html"_s.arg(server.port())},
        {"absolute-path Location joins the address's root", "/rel/start", local + u"/target/page.html"_s},
        {"relative Location resolved by RFC 3986", "/rel/dir/start", local + u"/rel/target/page.html"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString address = server.url(QString::fromLatin1(c.path));
        const std::string targetPath = QUrl(c.target).path().toStdString();
        const int targetRequestsBefore = counter.of(targetPath);

        const Recorded run = runCollector(snapshotFor(address));

        EXPECT_EQ(run.kinds(), (QStringList{u"loading"_s, u"redirectRow"_s, u"urlBoxChanged"_s, u"loading"_s, u"rows"_s,
                                            u"finished"_s}));
        ASSERT_GE(run.events.size(), 4u);
        EXPECT_EQ(run.events[0].text, address);
        EXPECT_EQ(run.events[1].rows, LinkRows{LinkRow::redirectRow(address)});
        EXPECT_EQ(run.events[2].text, c.target);
        EXPECT_EQ(run.events[3].text, c.target);
        const QString targetRoot = c.target.left(c.target.indexOf(u'/', 8));
        EXPECT_EQ(linksOf(run.rows()), (QStringList{address, targetRoot + u"/a"_s,
                                                    c.target.left(c.target.lastIndexOf(u'/') + 1) + u"b.html"_s}));
        const LinkRows rows = run.rows();
        for (qsizetype i = 1; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].type, u"Internal"_s) << rows[i].link.toStdString();
        }
        EXPECT_EQ(run.last().total, 3);
        EXPECT_EQ(run.last().text, QString());
        EXPECT_EQ(counter.of(c.path), 1);
        EXPECT_EQ(counter.of(targetPath), targetRequestsBefore + 1);
    }
}

TEST(Collector, ASecondRedirectIsNotFollowedAndItsBodyIsScanned)
{
    RequestCounter counter;
    LoopbackServer server;
    page(server.server(), counter, "/start", 301, "/hop", "");
    page(server.server(), counter, "/hop", 302, "/final", "<a href=\"/shown-on-redirect-page\">go</a>");
    page(server.server(), counter, "/final", 200, "", kTargetPage);
    ASSERT_TRUE(server.start());
    const QString address = server.url(u"/start"_s);

    const Recorded run = runCollector(snapshotFor(address));

    EXPECT_EQ(run.kinds(), (QStringList{u"loading"_s, u"redirectRow"_s, u"urlBoxChanged"_s, u"loading"_s, u"rows"_s,
                                        u"finished"_s}));
    EXPECT_EQ(linksOf(run.rows()), (QStringList{address, server.url(u"/shown-on-redirect-page"_s)}));
    EXPECT_EQ(run.last().total, 2);
    EXPECT_EQ(run.last().text, QString());
    EXPECT_EQ(counter.of("/start"), 1);
    EXPECT_EQ(counter.of("/hop"), 1);
    EXPECT_EQ(counter.of("/final"), 0);
}

TEST(Collector, APageThatIsNotRedirectedIsRequestedOnce)
{
    RequestCounter counter;
    LoopbackServer server;
    std::string body;
    for (int i = 0; i < 7; ++i) {
        body += "<a href=\"/p" + std::to_string(i) + "\">" + std::to_string(i) + "</a>\n";
    }
    body += "<a href=\"/doc.pdf\">dropped by extension</a><a href=\"/private/x\">dropped by prefix</a>";
    page(server.server(), counter, "/plain", 200, "", body);
    ASSERT_TRUE(server.start());
    CollectionSnapshot snapshot = snapshotFor(server.url(u"/plain"_s));
    snapshot.batchRows = 3;
    snapshot.ignoreExtensionsText = u" pdf "_s;
    snapshot.ignoreUrlsText = server.url(u"/private"_s) + u"\r\n"_s;

    const Recorded run = runCollector(snapshot);

    EXPECT_EQ(run.kinds(), (QStringList{u"loading"_s, u"rows"_s, u"finished"_s}));
    QStringList expected;
    for (int i = 0; i < 7; ++i) {
        expected.append(server.url(u"/p"_s + QString::number(i)));
    }
    EXPECT_EQ(linksOf(run.rows()), expected);
    for (const Event &e : run.events) {
        if (e.kind == u"rows"_s) {
            EXPECT_LE(e.rows.size(), 3);
            EXPECT_FALSE(e.rows.isEmpty());
        }
    }
    EXPECT_EQ(run.last().total, 7);
    EXPECT_EQ(counter.of("/plain"), 1);
}

TEST(Collector, FailedPagesEndTheRunWithTheirError)
{
    RequestCounter counter;
    LoopbackServer server;
    page(server.server(), counter, "/missing", 404, "", "<a href=\"/not-scanned\">x</a>");
    page(server.server(), counter, "/to-missing", 301, "/missing", "");
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    struct Case
    {
        const char *name;
        QString address;
        QString error;
        qsizetype total;
    };

    const std::vector<Case> cases = {
        {"an error status", server.url(u"/missing"_s), u"HTTP/1.1 404 Not Found"_s, 0},
        {"a redirect to an error status keeps its row", server.url(u"/to-missing"_s), u"HTTP/1.1 404 Not Found"_s, 1},
        {"a local file that does not exist", localAddressOf(dir.filePath(u"none.html"_s)), u"*"_s, 0},
        {"no such scheme", u"httpx://127.0.0.1/"_s, u"Unknown Protocol"_s, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Recorded run = runCollector(snapshotFor(c.address));
        ASSERT_TRUE(run.finished);
        if (c.error == u"*"_s) {
            EXPECT_FALSE(run.last().text.isEmpty());
        } else {
            EXPECT_EQ(run.last().text, c.error);
        }
        EXPECT_EQ(run.last().total, c.total);
        EXPECT_EQ(run.rows().size(), c.total);
    }
    EXPECT_EQ(counter.of("/missing"), 2);
}

TEST(Collector, LocalFilesAreReadFromDisk)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path =
        writeFile(dir, u"page.html"_s, "<a href=\"http://example.com/x\">X</a>\n<a href=\"caf\xC3\xA9.html\">Y</a>");
    const QString address = localAddressOf(path);

    const Recorded run = runCollector(snapshotFor(address));

    EXPECT_EQ(run.kinds(), (QStringList{u"loading"_s, u"rows"_s, u"finished"_s}));
    EXPECT_EQ(run.events.front().text, address);
    EXPECT_EQ(linksOf(run.rows()), (QStringList{u"http://example.com/x"_s, u"caf\u00E9.html"_s}));
    EXPECT_EQ(run.last().total, 2);
    EXPECT_EQ(run.last().text, QString());
}

TEST(Collector, ARedirectToALocalFileNeverReadsTheDisk)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString secret = localAddressOf(writeFile(dir, u"secret.html"_s, "<a href=\"http://secret.example/\">s</a>"));
    RequestCounter counter;
    LoopbackServer server;
    page(server.server(), counter, "/to-file", 302, secret.toStdString(), "");
    ASSERT_TRUE(server.start());

    const Recorded run = runCollector(snapshotFor(server.url(u"/to-file"_s)));

    EXPECT_EQ(run.kinds(),
              (QStringList{u"loading"_s, u"redirectRow"_s, u"urlBoxChanged"_s, u"loading"_s, u"finished"_s}));
    EXPECT_EQ(linksOf(run.rows()), QStringList{server.url(u"/to-file"_s)});
    EXPECT_EQ(run.last().text, u"Unknown Protocol"_s);
    EXPECT_EQ(run.last().total, 1);
}

TEST(Collector, StopDuringASlowFetchEndsTheRun)
{
    std::atomic<TCollector *> current = nullptr;
    Gate gate;
    LoopbackServer server;
    const auto openGate = qScopeGuard([&gate] { gate.open(); });
    server.server().Get("/slow", [&](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(100'000, "text/html", [&](size_t, size_t, httplib::DataSink &sink) {
            sink.write("<a href=\"/a\">a</a>", 18);
            current.load()->requestStop(); // STOP while the body arrives
            gate.wait();
            return false;
        });
    });
    ASSERT_TRUE(server.start());

    // The default bounds (30 s connect, 60 s idle) are far away: only the stop can end the fetch.
    const Recorded run = runCollector(snapshotFor(server.url(u"/slow"_s)), [&](TCollector *c) { current = c; });

    EXPECT_EQ(run.kinds(), (QStringList{u"loading"_s, u"finished"_s}));
    EXPECT_FALSE(run.last().text.isEmpty());
    EXPECT_EQ(run.last().total, 0);
}

// The total bound is for the whole run: a fetch after a slow redirect probe gets only what is left.
// The probe takes half the bound; the target then sends its head and falls silent. What is left of
// the run's bound ends the fetch before its idle bound (3/4 of the bound) would, and that before a
// whole bound of its own would.
TEST(Collector, TheProbeAndTheFetchShareTheRunsBound)
{
    constexpr int kBoundMs = 4000;
    RawServer server([](RawServer::Connection &c) {
        const QByteArray head = c.readRequestHead();
        if (head.startsWith("GET /probe ")) {
            c.send("HTTP/1.1 301 Moved Permanently\r\nLocation: /target\r\nContent-Length: 20\r\n\r\n");
            for (int i = 0; i < 20; ++i) {
                if (c.waitForShutdownFor(kBoundMs / 2 / 20) || !c.send("x")) {
                    return;
                }
            }
            return;
        }
        c.send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100000\r\n\r\n");
        c.waitForShutdown();
    });
    ASSERT_TRUE(server.start());

    CollectionSnapshot snapshot;
    snapshot.address = server.url(u"/probe"_s);
    snapshot.connectTimeoutMs = 2000;
    snapshot.idleTimeoutMs = kBoundMs * 3 / 4;
    snapshot.totalTimeoutMs = kBoundMs;
    const CollectionResult result = runCollection(snapshot, {}, nullptr);

    EXPECT_EQ(result.error, u"The page did not arrive within the run's bound of 4000 ms"_s);
    EXPECT_EQ(result.redirectFrom, snapshot.address);
    EXPECT_EQ(result.pageAddress, server.url(u"/target"_s));
    EXPECT_EQ(result.rows.size(), 1) << "the redirect row only";
    EXPECT_EQ(server.connectionCount(), 2);
}

TEST(Collector, DroppingARunThatNeverStartedOrStillFetchesIsSafe)
{
    Gate gate;
    LoopbackServer server;
    const auto openGate = qScopeGuard([&gate] { gate.open(); });
    std::atomic<bool> reached = false;
    server.server().Get("/hang", [&](const httplib::Request &, httplib::Response &res) {
        reached = true;
        gate.wait();
        res.set_content("late", "text/plain");
    });
    ASSERT_TRUE(server.start());

    OwnedWorker<TCollector> neverStarted = TCollector::create(snapshotFor(server.url(u"/hang"_s)));
    neverStarted.reset();

    OwnedWorker<TCollector> fetching = TCollector::create(snapshotFor(server.url(u"/hang"_s)));
    fetching.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return reached.load(); }, 100'000));
    fetching.reset(); // stops the fetch, quits and waits the thread
}

TEST(Collector, RunCollectionServesTheCommandLine)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = writeFile(dir, u"saved.html"_s, "<a href=\"b.html\">B</a><a href=\"/root\">R</a>");
    RequestCounter counter;
    LoopbackServer server;
    page(server.server(), counter, "/start", 301, "/target/page.html", "");
    page(server.server(), counter, "/target/page.html", 200, "", kTargetPage);
    ASSERT_TRUE(server.start());

    struct Case
    {
        const char *name;
        CollectionSnapshot snapshot;
        QStringList links;
        QString redirectFrom;
        QString pageAddress;
    };

    CollectionSnapshot local = snapshotFor(localAddressOf(path));
    local.localPageUrl = u"http://site.example/dir/page.html"_s;
    const QString start = server.url(u"/start"_s);
    const QString target = server.url(u"/target/page.html"_s);
    const std::vector<Case> cases = {
        {"a saved page stands for its address",
         local,
         {u"http://site.example/dir/b.html"_s, u"http://site.example/root"_s},
         QString(),
         local.localPageUrl},
        {"a redirect row comes first",
         snapshotFor(start),
         {start, server.url(u"/a"_s), server.url(u"/target/b.html"_s)},
         start,
         target},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LinkRows streamed;
        CollectionEvents events;
        events.rows = [&](const LinkRows &batch) {
            streamed += batch;
        };
        const CollectionResult result = runCollection(c.snapshot, events, nullptr);
        EXPECT_EQ(linksOf(result.rows), c.links);
        EXPECT_EQ(streamed, result.rows.mid(c.redirectFrom.isEmpty() ? 0 : 1));
        EXPECT_EQ(result.redirectFrom, c.redirectFrom);
        EXPECT_EQ(result.pageAddress, c.pageAddress);
        EXPECT_EQ(result.error, QString());

        // A caller that writes the rows out as they come gets the same batches, and the result
        // keeps only the redirect row.
        LinkRows handedOn;
        events.rows = [&](const LinkRows &batch) {
            handedOn += batch;
        };
        events.keepRows = false;
        const CollectionResult notKept = runCollection(c.snapshot, events, nullptr);
        EXPECT_EQ(handedOn, streamed);
        EXPECT_EQ(notKept.rows, result.rows.first(c.redirectFrom.isEmpty() ? 0 : 1));
        EXPECT_EQ(notKept.pageAddress, c.pageAddress);
    }
}

// A row's line and column are those of its tag in the page, whether the page came over http (read
// as text) or from a file (scanned as its UTF-8 bytes); a redirect row has none.
TEST(Collector, RowsCarryTheLineAndColumnOfTheirTagFromServerAndDisk)
{
    const std::vector<PositionPage> &pages = positionPages();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    RequestCounter counter;
    LoopbackServer server;
    for (size_t i = 0; i < pages.size(); ++i) {
        page(server.server(), counter, "/p" + std::to_string(i) + ".html", 200, "", pages[i].page.toStdString());
    }
    page(server.server(), counter, "/moved", 302, "/p0.html", "");
    ASSERT_TRUE(server.start());

    const auto positionsOf = [](const LinkRows &rows) {
        std::vector<TextPosition> positions;
        for (const LinkRow &row : rows) {
            positions.push_back({row.line, row.column});
        }
        return positions;
    };
    for (size_t i = 0; i < pages.size(); ++i) {
        const PositionPage &c = pages[i];
        SCOPED_TRACE(c.name);
        CollectionSnapshot fetched = snapshotFor(server.url(u"/p%1.html"_s.arg(i)));
        const CollectionResult overHttp = runCollection(fetched, {}, nullptr);
        EXPECT_EQ(overHttp.error, QString());
        EXPECT_EQ(positionsOf(overHttp.rows), c.expected) << "over http";

        CollectionSnapshot local = snapshotFor(localAddressOf(writeFile(dir, u"p%1.html"_s.arg(i), c.page.toUtf8())));
        local.localPageUrl = fetched.address;
        const CollectionResult fromDisk = runCollection(local, {}, nullptr);
        EXPECT_EQ(fromDisk.error, QString());
        EXPECT_EQ(positionsOf(fromDisk.rows), c.expected) << "from disk";
    }

    const CollectionResult redirected = runCollection(snapshotFor(server.url(u"/moved"_s)), {}, nullptr);
    ASSERT_EQ(redirected.rows.size(), 2);
    EXPECT_EQ(redirected.rows[0].link, server.url(u"/moved"_s));
    EXPECT_EQ(positionsOf(redirected.rows), (std::vector<TextPosition>{{0, 0}, pages[0].expected[0]}));
}

} // namespace quorvel::test
