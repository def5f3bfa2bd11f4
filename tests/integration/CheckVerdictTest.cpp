#include "core/results/LinkChecker.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {
namespace {

// A site whose every answer is one rule of the verdicts; it counts the requests per "METHOD path",
// the most requests it held at once, and the most it held at once after its first 429 went out.
class VerdictSite
{
public:
    VerdictSite()
    {
        httplib::Server &s = m_server.server();
        const auto counted = [this](auto answer) {
            return [this, answer](const httplib::Request &req, httplib::Response &res) {
                int seen = 0;
                {
                    const std::lock_guard lock(m_mutex);
                    seen = m_hits[req.method + " " + req.path]++;
                    m_mostInFlight = std::max(m_mostInFlight, ++m_inFlight);
                    if (m_sentBusy) {
                        m_mostInFlightAfterBusy = std::max(m_mostInFlightAfterBusy, m_inFlight);
                    }
                }
                m_changed.notify_all();
                answer(req, res, seen);
                // Counted out before the answer is sent, so the client never sees a request end
                // that the server still holds.
                {
                    const std::lock_guard lock(m_mutex);
                    --m_inFlight;
                    m_sentBusy = m_sentBusy || res.status == 429;
                }
                m_changed.notify_all();
            };
        };
        using Req = const httplib::Request &;
        using Res = httplib::Response &;
        s.Get("/ok", counted([](Req, Res res, int) { res.set_content("ok", "text/plain"); }));
        s.Get("/gone", counted([](Req, Res res, int) { res.status = 404; }));
        // /hops/N redirects to /hops/N-1 ... /hops/0, which answers 200.
        s.Get(R"(/hops/(\d+))", counted([](Req req, Res res, int) {
                  const int n = std::stoi(req.matches[1]);
                  if (n == 0) {
                      res.set_content("end", "text/plain");
                  } else {
                      res.set_redirect("/hops/" + std::to_string(n - 1), 302);
                  }
              }));
        s.Get("/to-gone", counted([](Req, Res res, int) { res.set_redirect("/gone", 301); }));
        s.Get("/dir/relative", counted([](Req, Res res, int) {
                  res.status = 307;
                  res.set_header("Location", "../ok");
              }));
        s.Get("/loop/a", counted([](Req, Res res, int) { res.set_redirect("/loop/b", 302); }));
        s.Get("/loop/b", counted([](Req, Res res, int) { res.set_redirect("/loop/a", 308); }));
        s.Get("/to-ftp", counted([](Req, Res res, int) {
                  res.status = 301;
                  res.set_header("Location", "ftp://127.0.0.1/file");
              }));
        s.Get("/linkedin", counted([](Req, Res res, int) { res.status = 999; }));
        s.Get("/wall/header", counted([](Req, Res res, int) {
                  res.status = 403;
                  res.set_header("cf-mitigated", "challenge");
              }));
        s.Get("/wall/title", counted([](Req, Res res, int) {
                  res.status = 503;
                  res.set_content("<html><head><title>Just a moment...</title></head><body>checking</body></html>",
                                  "text/html");
              }));
        s.Get("/forbidden", counted([](Req, Res res, int) {
                  res.status = 403;
                  res.set_content("<title>Forbidden</title>", "text/html");
              }));
        // Busy the first time, then fine.
        s.Get("/busy/seconds", counted([](Req, Res res, int seen) {
                  if (seen == 0) {
                      res.status = 429;
                      res.set_header("Retry-After", "5"); // longer than the test's cap
                  } else {
                      res.set_content("ok", "text/plain");
                  }
              }));
        s.Get("/busy/date", counted([](Req, Res res, int seen) {
                  if (seen == 0) {
                      res.status = 429;
                      res.set_header("Retry-After", "Thu, 01 Jan 1970 00:00:00 GMT"); // already past
                  } else {
                      res.set_content("ok", "text/plain");
                  }
              }));
        s.Get("/busy/forever", counted([](Req, Res res, int) { res.status = 429; }));
        s.Get("/unavailable", counted([](Req, Res res, int seen) {
                  if (seen == 0) {
                      res.status = 503;
                  } else {
                      res.set_content("ok", "text/plain");
                  }
              }));
        for (const char *path : {"/head-405", "/head-501"}) {
            const int refusal = std::string(path).ends_with("405") ? 405 : 501;
            s.Get(path, counted([refusal](Req req, Res res, int) {
                      if (req.method == "HEAD") {
                          res.status = refusal;
                      } else {
                          res.set_content("only GET", "text/plain");
                      }
                  }));
        }
        s.Get("/page.html", counted([](Req, Res res, int) {
                  res.set_content(R"(<!doctype html><h1 id="intro">x</h1><a name="old">y</a><p id="caf&#233;">z</p>)",
                                  "text/html; charset=utf-8");
              }));
        s.Get("/text.txt", counted([](Req, Res res, int) { res.set_content("id=\"intro\"", "text/plain"); }));
        // Busy the first time, with no wait asked, once the site holds 4 requests; fine afterwards.
        s.Get("/busy/full", counted([this](Req, Res res, int seen) {
                  if (seen == 0) {
                      waitUntil([this] { return m_inFlight >= 4; });
                      res.status = 429;
                      res.set_header("Retry-After", "0");
                  } else {
                      res.set_content("ok", "text/plain");
                  }
              }));
        // Held until the first 429 went out, then slow.
        s.Get(R"(/held/\d+)", counted([this](Req, Res res, int) {
                  waitUntil([this] { return m_sentBusy; });
                  std::this_thread::sleep_for(std::chrono::milliseconds(30));
                  res.set_content("h", "text/plain");
              }));
        s.Get(R"(/slow/\d+)", counted([](Req, Res res, int) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(30));
                  res.set_content("s", "text/plain");
              }));
    }

    bool start() { return m_server.start(); }
    QString url(const QString &path) const { return m_server.url(path); }

    int count(const std::string &key)
    {
        const std::lock_guard lock(m_mutex);
        return m_hits[key];
    }

    int mostInFlight()
    {
        const std::lock_guard lock(m_mutex);
        return m_mostInFlight;
    }

    // The most requests held at once from the first 429 on (0 before any).
    int mostInFlightAfterBusy()
    {
        const std::lock_guard lock(m_mutex);
        return m_mostInFlightAfterBusy;
    }

private:
    // Waits (at most 10 s, so a fault cannot hang the test) until pred holds under the lock.
    template <typename Pred> void waitUntil(Pred pred)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(10), pred);
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, int> m_hits;
    int m_inFlight = 0;
    int m_mostInFlight = 0;
    bool m_sentBusy = false;
    int m_mostInFlightAfterBusy = 0;
    LoopbackServer m_server;
};

LinkCheckOptions quickOptions()
{
    LinkCheckOptions o;
    o.userAgent = u"Quorvel test"_s;
    o.connectTimeout = u"2000"_s;
    o.responseTimeout = u"2000"_s;
    o.retryWaitMaxMs = 200; // every wait a test sees is short
    return o;
}

struct Expected
{
    const char *name;
    QString link;
    Verdict verdict;
    int status;      // the first answer
    int finalStatus; // the last answer
    int hops;
    QString reason;
};

void expectVerdicts(const std::vector<Expected> &cases, const LinkCheckOptions &options)
{
    QStringList links;
    for (const Expected &c : cases) {
        links << c.link;
    }
    const LinkCheckResults results = checkLinks(links, options);
    ASSERT_EQ(results.size(), qsizetype(cases.size()));
    for (size_t i = 0; i < cases.size(); ++i) {
        const Expected &c = cases[i];
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(results[qsizetype(i)].has_value());
        const TURLStatus &s = *results[qsizetype(i)];
        EXPECT_EQ(verdictName(s.verdict), verdictName(c.verdict));
        EXPECT_EQ(s.MyStatus, c.status);
        EXPECT_EQ(s.finalStatus, c.finalStatus);
        EXPECT_EQ(s.hops, c.hops);
        EXPECT_EQ(s.reason, c.reason);
        EXPECT_EQ(s.chain.size(), c.verdict == Verdict::Skipped ? 0 : s.hops + 1) << "every answer, or its absence";
    }
}

} // namespace

TEST(CheckVerdict, RedirectsAreFollowedToTheirEnd)
{
    VerdictSite site;
    ASSERT_TRUE(site.start());
    const std::vector<Expected> cases = {
        {"no redirect", site.url(u"/ok"_s), Verdict::Ok, 200, 200, 0, {}},
        {"one hop to 200", site.url(u"/hops/1"_s), Verdict::Redirected, 302, 200, 1, {}},
        {"three hops to 200", site.url(u"/hops/3"_s), Verdict::Redirected, 302, 200, 3, {}},
        {"a hop to 404", site.url(u"/to-gone"_s), Verdict::Broken, 301, 404, 1, {}},
        {"a relative Location", site.url(u"/dir/relative"_s), Verdict::Redirected, 307, 200, 1, {}},
        {"ten hops is the bound", site.url(u"/hops/10"_s), Verdict::Redirected, 302, 200, 10, {}},
        {"eleven hops is too many", site.url(u"/hops/11"_s), Verdict::Broken, 302, 302, 10, u"Too many redirects"_s},
        {"a loop", site.url(u"/loop/a"_s), Verdict::Broken, 302, 308, 1, u"Redirect loop"_s},
        {"to ftp", site.url(u"/to-ftp"_s), Verdict::Broken, 301, 301, 0, u"Redirect to an unsupported scheme"_s},
    };
    expectVerdicts(cases, quickOptions());
    EXPECT_EQ(site.count("GET /ok"), 2) << "once for its row, once at the end of the relative redirect";

    const LinkCheckResults chain = checkLinks({site.url(u"/hops/2"_s)}, quickOptions());
    EXPECT_EQ(chain[0]->finalUrl, site.url(u"/hops/0"_s));
    EXPECT_EQ(chain[0]->chain,
              (QList<RedirectHop>{
                  {302, site.url(u"/hops/2"_s)}, {302, site.url(u"/hops/1"_s)}, {200, site.url(u"/hops/0"_s)}}));

    LinkCheckOptions none = quickOptions();
    none.maxRedirects = 0;
    const LinkCheckResults unfollowed = checkLinks({site.url(u"/to-gone"_s)}, none);
    EXPECT_EQ(unfollowed[0]->MyStatus, 301);
    EXPECT_EQ(unfollowed[0]->finalUrl, QString());
    EXPECT_EQ(unfollowed[0]->hops, 0);
    EXPECT_EQ(site.count("GET /gone"), 1) << "with no redirects followed, the 301 is the last answer";
}

TEST(CheckVerdict, BotWallsAreBlockedAndOtherErrorsBroken)
{
    VerdictSite site;
    ASSERT_TRUE(site.start());
    const std::vector<Expected> cases = {
        {"999", site.url(u"/linkedin"_s), Verdict::Blocked, 999, 999, 0, {}},
        {"403 with the challenge header", site.url(u"/wall/header"_s), Verdict::Blocked, 403, 403, 0, {}},
        {"503 with the waiting page, every time", site.url(u"/wall/title"_s), Verdict::Blocked, 503, 503, 0, {}},
        {"a plain 403", site.url(u"/forbidden"_s), Verdict::Broken, 403, 403, 0, {}},
        {"404", site.url(u"/gone"_s), Verdict::Broken, 404, 404, 0, {}},
    };
    LinkCheckOptions o = quickOptions();
    o.retries = 0;
    expectVerdicts(cases, o);
}

TEST(CheckVerdict, BusyAnswersAreAskedAgain)
{
    VerdictSite site;
    ASSERT_TRUE(site.start());
    const std::vector<Expected> cases = {
        {"429 then 200, Retry-After in seconds", site.url(u"/busy/seconds"_s), Verdict::Ok, 200, 200, 0, {}},
        {"429 then 200, Retry-After as a date", site.url(u"/busy/date"_s), Verdict::Ok, 200, 200, 0, {}},
        {"503 then 200", site.url(u"/unavailable"_s), Verdict::Ok, 200, 200, 0, {}},
        {"429 forever", site.url(u"/busy/forever"_s), Verdict::RateLimited, 429, 429, 0, {}},
    };
    expectVerdicts(cases, quickOptions());
    EXPECT_EQ(site.count("GET /busy/seconds"), 2);
    EXPECT_EQ(site.count("GET /busy/forever"), 3) << "the first answer and two retries";

    LinkCheckOptions once = quickOptions();
    once.retries = 0;
    const LinkCheckResults noRetry = checkLinks({site.url(u"/busy/forever"_s)}, once);
    EXPECT_EQ(noRetry[0]->verdict, Verdict::RateLimited);
    EXPECT_EQ(site.count("GET /busy/forever"), 4);
}

TEST(CheckVerdict, AResetBeforeAnyAnswerIsAskedAgain)
{
    std::atomic<int> connections{0};
    RawServer server([&](RawServer::Connection &c) {
        c.readRequestHead();
        if (connections++ == 0) {
            c.reset();
        } else {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
        }
    });
    ASSERT_TRUE(server.start());
    const LinkCheckResults results = checkLinks({server.url(u"/x"_s)}, quickOptions());
    EXPECT_EQ(results[0]->verdict, Verdict::Ok);
    EXPECT_EQ(results[0]->MyStatus, 200);
    EXPECT_EQ(connections.load(), 2);
}

TEST(CheckVerdict, HeadRefusedIsAskedAgainWithGet)
{
    VerdictSite site;
    ASSERT_TRUE(site.start());
    LinkCheckOptions head = quickOptions();
    head.useHead = true;
    const std::vector<Expected> cases = {
        {"405", site.url(u"/head-405"_s), Verdict::Ok, 200, 200, 0, {}},
        {"501", site.url(u"/head-501"_s), Verdict::Ok, 200, 200, 0, {}},
        {"a 404 stays a HEAD", site.url(u"/gone"_s), Verdict::Broken, 404, 404, 0, {}},
    };
    expectVerdicts(cases, head);
    EXPECT_EQ(site.count("HEAD /head-405"), 1);
    EXPECT_EQ(site.count("GET /head-405"), 1);
    EXPECT_EQ(site.count("GET /head-501"), 1);
    EXPECT_EQ(site.count("GET /gone"), 0);
}

TEST(CheckVerdict, FailuresSayWhy)
{
    RawServer silent([](RawServer::Connection &c) {
        c.readRequestHead();
        c.waitForShutdown();
    });
    ASSERT_TRUE(silent.start());
    LinkCheckOptions o = quickOptions();
    o.responseTimeout = u"300"_s;
    o.retries = 0;
    const std::vector<Expected> cases = {
        {"refused", u"http://127.0.0.1:%1/x"_s.arg(refusedPort()), Verdict::Unreachable, -1, 0, 0,
         u"Connection refused"_s},
        {"a name that does not resolve", u"http://quorvel-verdict.invalid/"_s, Verdict::Unreachable, -1, 0, 0,
         u"Could not resolve host"_s},
        {"silence", silent.url(u"/x"_s), Verdict::Timeout, -1, 0, 0, u"No data received for 300 ms"_s},
        {"a mail link", u"mailto:someone@example.com"_s, Verdict::Skipped, 0, 0, 0, {}},
        {"a local file name", u"about.html"_s, Verdict::Skipped, 0, 0, 0, {}},
    };
    expectVerdicts(cases, o);
}

TEST(CheckVerdict, FragmentsAreLookedUpInThePage)
{
    VerdictSite site;
    ASSERT_TRUE(site.start());
    LinkCheckOptions o = quickOptions();
    o.checkFragments = true;
    o.useHead = true; // a page with fragments pointing into it is read with GET all the same
    const QString page = site.url(u"/page.html"_s);
    const std::vector<Expected> cases = {
        {"an id", page + u"#intro"_s, Verdict::Ok, 200, 200, 0, {}},
        {"an anchor name", page + u"#old"_s, Verdict::Ok, 200, 200, 0, {}},
        {"an encoded id", page + u"#caf%C3%A9"_s, Verdict::Ok, 200, 200, 0, {}},
        {"missing", page + u"#nowhere"_s, Verdict::FragmentMissing, 200, 200, 0,
         u"No element with id or name \"nowhere\" in the page"_s},
        {"# alone", page + u"#"_s, Verdict::Ok, 200, 200, 0, {}},
        {"#top", page + u"#top"_s, Verdict::Ok, 200, 200, 0, {}},
        {"not HTML: not looked into", site.url(u"/text.txt#nowhere"_s), Verdict::Ok, 200, 200, 0, {}},
    };
    expectVerdicts(cases, o);
    EXPECT_EQ(site.count("GET /page.html"), 1) << "one fetch for every fragment";
    EXPECT_EQ(site.count("HEAD /page.html"), 0);

    o.checkFragments = false;
    const LinkCheckResults unchecked = checkLinks({page + u"#nowhere"_s}, o);
    EXPECT_EQ(unchecked[0]->verdict, Verdict::Ok);
}

TEST(CheckVerdict, RequestsToOneHostStayWithinItsBound)
{
    VerdictSite site;
    ASSERT_TRUE(site.start());
    QStringList links;
    for (int i = 0; i < 24; ++i) {
        links << site.url(u"/slow/"_s + QString::number(i));
    }
    LinkCheckOptions o = quickOptions();
    o.parallel = 16;
    o.perHost = 3;
    const LinkCheckResults results = checkLinks(links, o);
    for (const auto &r : results) {
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->verdict, Verdict::Ok);
    }
    EXPECT_LE(site.mostInFlight(), 3);
    EXPECT_GE(site.mostInFlight(), 2) << "requests to one host still overlap up to the bound";
}

// A host that answers 429 is asked at half its bound for the rest of the pass: the first of 4
// requests the site holds at once is refused, and from then on it never holds more than 2.
TEST(CheckVerdict, ABusyHostIsAskedAtHalfItsBound)
{
    VerdictSite site;
    ASSERT_TRUE(site.start());
    QStringList links = {site.url(u"/busy/full"_s)};
    for (int i = 0; i < 24; ++i) {
        links << site.url(u"/held/"_s + QString::number(i));
    }
    LinkCheckOptions o = quickOptions();
    o.parallel = 16;
    o.perHost = 4;
    const LinkCheckResults results = checkLinks(links, o);
    ASSERT_EQ(results.size(), links.size());
    for (qsizetype i = 0; i < results.size(); ++i) {
        SCOPED_TRACE(links[i].toStdString());
        ASSERT_TRUE(results[i].has_value());
        EXPECT_EQ(results[i]->verdict, Verdict::Ok);
    }
    EXPECT_EQ(site.count("GET /busy/full"), 2) << "the 429 and the answer after it";
    EXPECT_EQ(site.mostInFlight(), 4) << "the whole bound was in use before the 429";
    EXPECT_GE(site.mostInFlightAfterBusy(), 1) << "requests went on after the 429";
    EXPECT_LE(site.mostInFlightAfterBusy(), 2) << "the bound of 4 halved";
}

} // namespace quorvel::test
