#include "core/results/LinkChecker.h"

#include "core/model/LinkRow.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <numeric>
#include <set>
#include <thread>

using namespace Qt::StringLiterals;

namespace quorvel::test {
namespace {

// What the site saw: requests per "METHOD path", client ports, and the most requests at once.
struct SiteLog
{
    std::mutex mutex;
    std::condition_variable barrierOpen;
    std::map<std::string, int> hits;
    std::set<int> clientPorts;
    int inFlight = 0;
    int mostInFlight = 0;
    int atBarrier = 0;

    int count(const std::string &key)
    {
        const std::lock_guard lock(mutex);
        return hits[key];
    }
};

constexpr int kBarrierSize = 4;

void addRoutes(httplib::Server &server, SiteLog &log)
{
    // Every answer goes through here, so the log sees each request once.
    const auto logged = [&log](auto answer) {
        return [&log, answer](const httplib::Request &req, httplib::Response &res) {
            {
                const std::lock_guard lock(log.mutex);
                ++log.hits[req.method + " " + req.path];
                log.clientPorts.insert(req.remote_port);
                log.mostInFlight = std::max(log.mostInFlight, ++log.inFlight);
            }
            answer(req, res);
            const std::lock_guard lock(log.mutex);
            --log.inFlight;
        };
    };
    server.Get(R"(/ok/.*)", logged([](const httplib::Request &, httplib::Response &res) {
                   res.set_content(std::string(3000, 'x'), "text/plain");
               }));
    server.Get(R"(/missing/.*)", logged([](const httplib::Request &, httplib::Response &res) { res.status = 404; }));
    server.Get(R"(/error/.*)", logged([](const httplib::Request &, httplib::Response &res) { res.status = 500; }));
    server.Get(R"(/empty/.*)", logged([](const httplib::Request &, httplib::Response &res) { res.status = 204; }));
    server.Get(R"(/moved/.*)",
               logged([](const httplib::Request &, httplib::Response &res) { res.set_redirect("/target", 301); }));
    server.Get("/target",
               logged([](const httplib::Request &, httplib::Response &res) { res.set_content("t", "text/plain"); }));
    server.Get(R"(/(Case|case))",
               logged([](const httplib::Request &, httplib::Response &res) { res.set_content("c", "text/plain"); }));
    server.Get("/head-refused", logged([](const httplib::Request &req, httplib::Response &res) {
                   if (req.method == "HEAD") {
                       res.status = 405;
                   } else {
                       res.set_content("only GET", "text/plain");
                   }
               }));
    // Answers only once kBarrierSize requests wait here together: proof they were in flight at once.
    server.Get(R"(/barrier/.*)", logged([&log](const httplib::Request &, httplib::Response &res) {
                   std::unique_lock lock(log.mutex);
                   ++log.atBarrier;
                   log.barrierOpen.notify_all();
                   const bool open = log.barrierOpen.wait_for(lock, std::chrono::seconds(5),
                                                              [&log] { return log.atBarrier >= kBarrierSize; });
                   res.status = open ? 200 : 503;
               }));
    // A little latency, so that requests overlap when they can.
    server.Get(R"(/slow/.*)", logged([](const httplib::Request &, httplib::Response &res) {
                   std::this_thread::sleep_for(std::chrono::milliseconds(20));
                   res.set_content("s", "text/plain");
               }));
}

class LinkCheckerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        addRoutes(m_http.server(), m_log);
        addRoutes(m_https.server(), m_httpsLog);
        ASSERT_TRUE(m_http.start());
        ASSERT_TRUE(m_https.start());
    }

    QString url(const QString &path) const { return m_http.url(path); }

    static LinkCheckOptions options(int parallel, bool useHead = false)
    {
        LinkCheckOptions o;
        o.userAgent = u"Quorvel test"_s;
        o.useHead = useHead;
        o.connectTimeout = u"2000"_s;
        o.responseTimeout = u"2000"_s;
        o.parallel = parallel;
        return o;
    }

    SiteLog m_log;
    SiteLog m_httpsLog;
    LoopbackServer m_http{LoopbackServer::Scheme::Http};
    LoopbackServer m_https{LoopbackServer::Scheme::Https};
};

bool isWholeMs(const QString &time)
{
    static const QRegularExpression digits(u"^[0-9]+$"_s);
    return digits.match(time).hasMatch();
}

// The results without their times, which differ from pass to pass (curl's reasons carry one too:
// "Failed to connect to ... after 0 ms").
QList<std::optional<TURLStatus>> withoutTimes(LinkCheckResults results)
{
    static const QRegularExpression elapsed(u"after [0-9]+ ms"_s);
    for (auto &r : results) {
        if (r) {
            r->MyResponseTime = r->MyResponseTime.isEmpty() ? QString() : u"t"_s;
            r->MyError.replace(elapsed, u"after t ms"_s);
        }
    }
    return results;
}

// Takes a worker's signals on this thread through queued connections, as a window does.
struct PassRecorder
{
    explicit PassRecorder(LinkChecker *checker)
    {
        QObject::connect(checker, &LinkChecker::rowChecked, &context, [this](int row, const TURLStatus &status) {
            rows.append({row, status});
        });
        QObject::connect(checker, &LinkChecker::finished, &context, [this](bool wasStopped) { stopped = wasStopped; });
    }

    bool waitForFinished()
    {
        return QTest::qWaitFor([this] { return stopped.has_value(); }, 10'000);
    }

    QList<int> rowOrder() const
    {
        QList<int> order;
        for (const auto &[row, status] : rows) {
            order << row;
        }
        return order;
    }

    QObject context;
    QList<std::pair<int, TURLStatus>> rows;
    std::optional<bool> stopped;
};

TEST(LinkCheckerRules, IconForStatus)
{
    const std::vector<std::pair<int, int>> cases = {
        {200, kIconOk},     {300, kIconRedirect}, {301, kIconRedirect}, {399, kIconRedirect}, {400, kIconBroken},
        {404, kIconBroken}, {599, kIconBroken},   {0, kIconNone},       {-1, kIconNone},      {100, kIconNone},
        {201, kIconNone},   {204, kIconNone},     {299, kIconNone},     {600, kIconNone},
    };
    for (const auto &[code, icon] : cases) {
        SCOPED_TRACE(code);
        EXPECT_EQ(iconForStatus(code), icon);
    }
}

TEST(LinkCheckerRules, TimeoutFromText)
{
    struct Case
    {
        const char *name;
        QString text;
        int expected;
    };

    const std::vector<Case> cases = {
        {"digits", u"5000"_s, 5000},
        {"one", u"1"_s, 1},
        {"empty falls back", QString(), 777},
        {"letters fall back", u"5s"_s, 777},
        {"zero would mean no limit: falls back", u"0"_s, 777},
        {"negative falls back", u"-5"_s, 777},
        {"beyond int falls back", u"99999999999"_s, 777},
        {"decimals fall back", u"1.5"_s, 777},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(timeoutFromText(c.text, 777), c.expected);
    }
}

TEST_F(LinkCheckerTest, EveryRowGetsItsStatusLineTimeAndCode)
{
    RawServer silent([](RawServer::Connection &c) {
        c.readRequestHead();
        c.waitForShutdown();
    });
    ASSERT_TRUE(silent.start());
    const QString refused = u"http://127.0.0.1:%1/x"_s.arg(refusedPort());

    struct Case
    {
        const char *name;
        QString link;
        int status;
        QString message;
        bool timed; // a time in whole ms, else empty
        Verdict verdict;
    };

    const std::vector<Case> cases = {
        {"200", url(u"/ok/a"_s), 200, u"HTTP/1.1 200 OK"_s, true, Verdict::Ok},
        {"404", url(u"/missing/a"_s), 404, u"HTTP/1.1 404 Not Found"_s, true, Verdict::Broken},
        {"500", url(u"/error/a"_s), 500, u"HTTP/1.1 500 Internal Server Error"_s, true, Verdict::Broken},
        {"204", url(u"/empty/a"_s), 204, u"HTTP/1.1 204 No Content"_s, true, Verdict::Ok},
        {"301 followed", url(u"/moved/a"_s), 301, u"HTTP/1.1 301 Moved Permanently"_s, true, Verdict::Redirected},
        {"mail link", u"mailto:someone@example.com"_s, 0, u"EMAIL"_s, false, Verdict::Skipped},
        {"mail link in capitals", u"MAILTO:SOMEONE@EXAMPLE.COM"_s, 0, u"EMAIL"_s, false, Verdict::Skipped},
        {"repeat of the 200", url(u"/ok/a"_s), 200, u"HTTP/1.1 200 OK"_s, true, Verdict::Ok},
        {"upper-case path", url(u"/Case"_s), 200, u"HTTP/1.1 200 OK"_s, true, Verdict::Ok},
        {"lower-case path", url(u"/case"_s), 200, u"HTTP/1.1 200 OK"_s, true, Verdict::Ok},
        {"refused", refused, -1, QString(), true, Verdict::Unreachable},
        {"https", m_https.url(u"/ok/s"_s), 200, u"HTTP/1.1 200 OK"_s, true, Verdict::Ok},
        {"never answers", silent.url(u"/x"_s), -1, QString(), true, Verdict::Timeout},
        {"not an http address: no request", u"javascript:void(0)"_s, 0, QString(), false, Verdict::Skipped},
        {"scheme in capitals", u"HTTP://127.0.0.1:"_s + QString::number(m_http.port()) + u"/ok/c"_s, 200,
         u"HTTP/1.1 200 OK"_s, true, Verdict::Ok},
        {"GET where HEAD is refused", url(u"/head-refused"_s), 200, u"HTTP/1.1 200 OK"_s, true, Verdict::Ok},
        {"repeat of the refused", refused, -1, QString(), true, Verdict::Unreachable},
    };
    QStringList links;
    for (const Case &c : cases) {
        links << c.link;
    }
    LinkCheckOptions o = options(16);
    o.responseTimeout = u"1500"_s; // "never answers" ends here; roomy enough for a sanitizer build
    QList<int> reported;
    const LinkCheckResults results =
        checkLinks(links, o, nullptr, [&](int row, const TURLStatus &) { reported << row; });

    ASSERT_EQ(results.size(), qsizetype(cases.size()));
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(results[qsizetype(i)].has_value());
        const TURLStatus &s = *results[qsizetype(i)];
        EXPECT_EQ(s.MyURL, c.link);
        EXPECT_EQ(s.MyStatus, c.status);
        EXPECT_EQ(s.MyMessage, c.message);
        EXPECT_EQ(isWholeMs(s.MyResponseTime), c.timed) << s.MyResponseTime.toStdString();
        if (!c.timed) {
            EXPECT_EQ(s.MyResponseTime, QString());
        }
        EXPECT_EQ(s.verdict, c.verdict) << verdictName(s.verdict).toStdString();
        EXPECT_EQ(reported.count(int(i)), 1) << "one progress report per row";
    }
    EXPECT_EQ(results[7], results[0]) << "a repeat copies its first occurrence, time included";
    EXPECT_EQ(results[16], results[10]);
    EXPECT_GE(results[12]->MyResponseTime.toInt(), 300) << "the response time-out covers the wait";
    EXPECT_EQ(m_log.count("GET /ok/a"), 1);
    EXPECT_EQ(m_log.count("GET /Case"), 1);
    EXPECT_EQ(m_log.count("GET /case"), 1);
    EXPECT_EQ(m_log.count("GET /target"), 1) << "the redirect is followed, once";
    EXPECT_EQ(results[4]->finalUrl, url(u"/target"_s));
    EXPECT_EQ(results[4]->finalStatus, 200);
    EXPECT_EQ(results[4]->hops, 1);
    EXPECT_EQ(results[10]->reason, u"Connection refused"_s);
    EXPECT_EQ(m_httpsLog.count("GET /ok/s"), 1);
    EXPECT_EQ(m_log.count("GET /ok/c"), 1);
}

// A local page's relative hrefs reach the check as written; one that looks like a host name must
// not be requested as http.
TEST(LinkCheckerPass, OnlyHttpAndHttpsAddressesAreRequested)
{
    RawServer server([](RawServer::Connection &c) {
        c.readRequestHead();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    });
    ASSERT_TRUE(server.start());
    const QString hostAndPort = u"127.0.0.1:"_s + QString::number(server.port());

    struct Case
    {
        const char *name;
        QString link;
        bool requested;
    };

    const std::vector<Case> cases = {
        {"host and port without a scheme", hostAndPort + u"/200"_s, false},
        {"file name", u"about.html"_s, false},
        {"host name", u"www.example.com"_s, false},
        {"network-path reference", u"//"_s + hostAndPort + u"/200"_s, false},
        {"ftp", u"ftp://"_s + hostAndPort + u"/200"_s, false},
        {"leading blank", u" http://"_s + hostAndPort + u"/200"_s, false},
        {"scheme without slashes", u"http:"_s + hostAndPort + u"/200"_s, false},
        {"http", u"http://"_s + hostAndPort + u"/200"_s, true},
        {"https in mixed case", u"hTTpS://example.invalid/"_s, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isCheckedAddress(c.link), c.requested);
        if (c.link.contains(u"example.invalid"_s)) {
            continue; // not checked below: the name would go to the resolver
        }
        const int before = server.connectionCount();
        LinkCheckOptions o;
        o.connectTimeout = u"2000"_s;
        o.responseTimeout = u"2000"_s;
        const LinkCheckResults results = checkLinks({c.link}, o);
        ASSERT_EQ(results.size(), 1);
        ASSERT_TRUE(results[0].has_value());
        const TURLStatus &s = *results[0];
        EXPECT_EQ(s.MyURL, c.link);
        if (c.requested) {
            EXPECT_EQ(s.MyStatus, 200);
            EXPECT_EQ(server.connectionCount(), before + 1);
        } else {
            TURLStatus skipped{c.link, 0, QString(), QString(), QString()};
            skipped.verdict = Verdict::Skipped;
            EXPECT_EQ(s, skipped);
            EXPECT_EQ(iconForStatus(s.MyStatus), kIconNone);
            EXPECT_EQ(server.connectionCount(), before) << "no request for a link the check does not take";
        }
    }
}

// A request that never gets past interim answers has no answer: no status, no icon, the reason.
TEST(LinkCheckerPass, AnInterimAnswerAloneIsNoAnswer)
{
    RawServer server([](RawServer::Connection &c) {
        c.readRequestHead();
        c.send("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\n");
    });
    ASSERT_TRUE(server.start());
    LinkCheckOptions o;
    o.connectTimeout = u"2000"_s;
    o.responseTimeout = u"2000"_s;
    const LinkCheckResults results = checkLinks({server.url(u"/x"_s)}, o);
    ASSERT_EQ(results.size(), 1);
    ASSERT_TRUE(results[0].has_value());
    EXPECT_EQ(results[0]->MyStatus, -1);
    EXPECT_EQ(results[0]->MyMessage, QString());
    EXPECT_EQ(iconForStatus(results[0]->MyStatus), kIconNone);
    EXPECT_TRUE(results[0]->MyError.contains(u"interim"_s)) << results[0]->MyError.toStdString();
}

// HEAD where the server takes it; GET, once, where it refuses HEAD (405), and that answer counts.
TEST_F(LinkCheckerTest, HeadOptionSendsHeadAndAsksAgainWithGetWhenRefused)
{
    const QStringList links = {url(u"/head-refused"_s), url(u"/ok/h"_s), url(u"/moved/h"_s)};
    const LinkCheckResults results = checkLinks(links, options(4, true));
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results[0]->MyMessage, u"HTTP/1.1 200 OK"_s);
    EXPECT_EQ(results[0]->verdict, Verdict::Ok);
    EXPECT_EQ(results[1]->MyMessage, u"HTTP/1.1 200 OK"_s);
    EXPECT_EQ(results[2]->MyStatus, 301);
    EXPECT_EQ(results[2]->verdict, Verdict::Redirected);
    EXPECT_EQ(m_log.count("HEAD /head-refused"), 1);
    EXPECT_EQ(m_log.count("GET /head-refused"), 1);
    EXPECT_EQ(m_log.count("HEAD /ok/h"), 1);
    EXPECT_EQ(m_log.count("GET /ok/h"), 0);
    EXPECT_EQ(m_log.count("HEAD /target"), 1);
    EXPECT_EQ(m_log.count("GET /target"), 0);
}

// A few dozen links of every kind, with repeats and mail links among them.
QStringList mixedLinks(const LoopbackServer &http, const LoopbackServer &https)
{
    QStringList links;
    const QString refused = u"http://127.0.0.1:%1/r"_s.arg(refusedPort());
    for (int i = 0; i < 8; ++i) {
        const QString n = QString::number(i);
        links << http.url(u"/ok/"_s + n) << http.url(u"/missing/"_s + n) << http.url(u"/moved/"_s + n);
        if (i % 2 == 0) {
            links << http.url(u"/error/"_s + n) << u"mailto:a"_s + n + u"@example.com"_s;
        }
        if (i % 3 == 0) {
            links << http.url(u"/ok/"_s + QString::number(i / 2)) << refused << https.url(u"/ok/"_s + n);
        }
    }
    return links;
}

TEST_F(LinkCheckerTest, OneAtATimeAndInParallelGiveTheSameRows)
{
    const QStringList links = mixedLinks(m_http, m_https);
    ASSERT_GE(links.size(), 36);

    QList<int> order;
    const LinkCheckResults one =
        checkLinks(links, options(1), nullptr, [&](int row, const TURLStatus &) { order << row; });
    {
        const std::lock_guard lock(m_log.mutex);
        EXPECT_EQ(m_log.clientPorts.size(), 1u) << "one connection, reused row after row";
        EXPECT_EQ(m_log.mostInFlight, 1);
    }
    QList<int> rowOrder(links.size());
    std::iota(rowOrder.begin(), rowOrder.end(), 0);
    EXPECT_EQ(order, rowOrder) << "parallel 1 checks the rows in table order";

    const LinkCheckResults sixteen = checkLinks(links, options(16));
    EXPECT_EQ(withoutTimes(one), withoutTimes(sixteen));
    for (const auto &r : sixteen) {
        ASSERT_TRUE(r.has_value());
    }
}

TEST_F(LinkCheckerTest, ParallelRequestsAreInFlightTogetherUpToTheLimit)
{
    QStringList barrier;
    for (int i = 0; i < kBarrierSize; ++i) {
        barrier << url(u"/barrier/"_s + QString::number(i));
    }
    const LinkCheckResults together = checkLinks(barrier, options(kBarrierSize));
    for (const auto &r : together) {
        EXPECT_EQ(r->MyStatus, 200) << "the requests were not in flight at once";
    }

    QStringList slow;
    for (int i = 0; i < 24; ++i) {
        slow << url(u"/slow/"_s + QString::number(i));
    }
    {
        const std::lock_guard lock(m_log.mutex);
        m_log.mostInFlight = 0;
    }
    checkLinks(slow, options(3));
    const std::lock_guard lock(m_log.mutex);
    EXPECT_LE(m_log.mostInFlight, 3);
}

TEST_F(LinkCheckerTest, StopLeavesRowsNotStartedWithoutResult)
{
    QStringList links;
    for (int i = 0; i < 12; ++i) {
        links << url(u"/ok/s"_s + QString::number(i));
    }
    std::atomic<bool> cancel{false};
    QList<int> reported;
    const LinkCheckResults results = checkLinks(links, options(1), &cancel, [&](int row, const TURLStatus &) {
        reported << row;
        if (row == 4) {
            cancel = true; // stop after the fifth row
        }
    });
    EXPECT_EQ(reported, (QList<int>{0, 1, 2, 3, 4}));
    for (int i = 0; i < links.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(results[i].has_value(), i <= 4);
        EXPECT_EQ(m_log.count("GET /ok/s" + std::to_string(i)), i <= 4 ? 1 : 0);
    }
}

TEST(LinkCheckerPass, EmptyListFinishesAtOnce)
{
    EXPECT_TRUE(checkLinks({}, LinkCheckOptions()).isEmpty());
    OwnedWorker<LinkChecker> worker = LinkChecker::createOnWorkerThread({}, LinkCheckOptions());
    PassRecorder pass(worker.get());
    worker.start();
    ASSERT_TRUE(pass.waitForFinished());
    EXPECT_EQ(pass.stopped, false);
    EXPECT_TRUE(pass.rows.isEmpty());
}

TEST_F(LinkCheckerTest, WorkerReportsEveryRowThenFinishes)
{
    const QStringList links = {url(u"/ok/w"_s), url(u"/missing/w"_s), u"mailto:x@example.com"_s, url(u"/ok/w"_s)};
    OwnedWorker<LinkChecker> worker = LinkChecker::createOnWorkerThread(links, options(2));
    PassRecorder pass(worker.get());
    worker.start();
    ASSERT_TRUE(pass.waitForFinished());
    EXPECT_EQ(pass.stopped, false);

    std::map<int, TURLStatus> byRow;
    for (const auto &[row, status] : pass.rows) {
        byRow[row] = status;
    }
    ASSERT_EQ(byRow.size(), 4u);
    EXPECT_EQ(byRow[0].MyMessage, u"HTTP/1.1 200 OK"_s);
    EXPECT_EQ(byRow[1].MyStatus, 404);
    EXPECT_EQ(byRow[2].MyMessage, u"EMAIL"_s);
    EXPECT_EQ(byRow[3], byRow[0]);
    EXPECT_EQ(m_log.count("GET /ok/w"), 1);
}

TEST_F(LinkCheckerTest, StopAbortsTheRequestInFlight)
{
    std::promise<void> asked;
    RawServer silent([&](RawServer::Connection &c) {
        c.readRequestHead();
        asked.set_value();
        c.waitForShutdown();
    });
    ASSERT_TRUE(silent.start());
    const QStringList links = {url(u"/ok/t0"_s), url(u"/ok/t1"_s), silent.url(u"/x"_s), url(u"/ok/t3"_s),
                               silent.url(u"/x"_s)};
    LinkCheckOptions o = options(1);
    o.responseTimeout = u"30000"_s; // a stop that goes unheard ends as a time-out, not a hang
    OwnedWorker<LinkChecker> worker = LinkChecker::createOnWorkerThread(links, o);
    PassRecorder pass(worker.get());
    worker.start();
    asked.get_future().wait();
    worker.get()->stop();
    ASSERT_TRUE(pass.waitForFinished());
    EXPECT_EQ(pass.stopped, true);

    ASSERT_EQ(pass.rowOrder(), (QList<int>{0, 1, 2}));
    const TURLStatus aborted = pass.rows.at(2).second;
    EXPECT_EQ(aborted.MyStatus, -1);
    EXPECT_EQ(aborted.MyMessage, QString());
    EXPECT_TRUE(isWholeMs(aborted.MyResponseTime));
    EXPECT_LT(aborted.MyResponseTime.toInt(), 30'000);
    EXPECT_EQ(m_log.count("GET /ok/t3"), 0);
}

TEST_F(LinkCheckerTest, ReleasingTheWorkerMidPassStopsAndJoins)
{
    std::promise<void> asked;
    RawServer silent([&](RawServer::Connection &c) {
        c.readRequestHead();
        asked.set_value();
        c.waitForShutdown();
    });
    ASSERT_TRUE(silent.start());
    LinkCheckOptions o = options(4);
    o.responseTimeout = u"30000"_s;
    auto worker = std::make_unique<OwnedWorker<LinkChecker>>(
        LinkChecker::createOnWorkerThread({silent.url(u"/x"_s), url(u"/ok/r"_s)}, o));
    worker->start();
    asked.get_future().wait();
    worker.reset(); // returns once the thread has ended; the checker goes with it
    EXPECT_EQ(silent.connectionCount(), 1);
}

} // namespace
} // namespace quorvel::test
