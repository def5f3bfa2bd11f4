#include "core/collect/PageFetcher.h"

#include "support/Fixtures.h"
#include "support/Gate.h"
#include "support/LoopbackServer.h"

#include <QScopeGuard>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// "<p>gzip café</p>\n" compressed with gzip.
const QByteArray kGzipBody("\x1F\x8B\x08\x00\x00\x00\x00\x00\x02\xFF\xB3\x29\xB0\x4B\xAF\xCA\x2C\x50\x48\x4E\x4C\x3B"
                           "\xBC\xD2\x46\xBF\xC0\x8E\x0B\x00\xA2\xE4\x35\xBA\x12\x00\x00\x00",
                           38);

void answer(httplib::Server &server, const char *path, int status, const std::string &body,
            const std::string &contentType, const std::vector<std::pair<std::string, std::string>> &headers = {})
{
    server.Get(path, [=](const httplib::Request &, httplib::Response &res) {
        res.status = status;
        for (const auto &[name, value] : headers) {
            res.set_header(name, value);
        }
        if (!body.empty()) {
            res.set_content(body, contentType);
        }
    });
}

// A loopback server answering every case of the fetch table, on http or https.
void serveStatusTable(httplib::Server &server)
{
    answer(server, "/ok", 200, "<p>caf\xC3\xA9</p>\nsecond\n", "text/html; charset=utf-8");
    answer(server, "/meta", 200, "<head><meta charset=\"utf-8\"></head>caf\xC3\xA9", "text/html");
    answer(server, "/no-charset", 200, "caf\xC3\xA9", "text/html");
    answer(server, "/empty", 204, "", "");
    answer(server, "/moved", 301, "<a href=\"/elsewhere\">here</a>\n", "text/html", {{"Location", "/elsewhere"}});
    answer(server, "/found-absolute", 302, "x", "text/plain", {{"Location", "http://other.example/a b"}});
    answer(server, "/no-location", 302, "moved somewhere", "text/plain");
    answer(server, "/not-modified", 304, "", "");
    answer(server, "/auth", 401, "log in", "text/plain", {{"WWW-Authenticate", "Basic realm=\"x\""}});
    answer(server, "/proxy-auth", 407, "log in", "text/plain");
    answer(server, "/missing", 404, "no such page", "text/html");
    answer(server, "/gone", 410, "gone", "text/html");
    answer(server, "/broken", 500, "oops", "text/html");
    server.Get("/gzip", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Content-Encoding", "gzip");
        res.set_content(kGzipBody.toStdString(), "application/x-test; charset=utf-8");
    });
    server.Get("/agent", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(req.get_header_value("User-Agent"), "text/plain; charset=utf-8");
    });
}

struct StatusCase
{
    const char *name;
    const char *path;
    QString text;
    QString error; // the status line, followed by an explanation when explained is set
    QString redirectLocation;
    int statusCode;
    bool explained = false;
};

void expectError(const QString &error, const QString &expected, bool explained)
{
    if (explained) {
        EXPECT_TRUE(error.startsWith(expected + u": "_s)) << error.toStdString();
    } else {
        EXPECT_EQ(error, expected);
    }
}

} // namespace

TEST(PageFetcher, AnswersOfEveryKind)
{
    const std::vector<StatusCase> cases = {
        {"200 decoded by the header charset, CR LF line ends", "/ok", u"<p>caf\u00E9</p>\r\nsecond\r\n"_s, {}, {}, 200},
        {"200 decoded by the page's meta charset",
         "/meta",
         u"<head><meta charset=\"utf-8\"></head>caf\u00E9\r\n"_s,
         {},
         {},
         200},
        {"200 without any charset: a byte per character", "/no-charset", u"caf\u00C3\u00A9\r\n"_s, {}, {}, 200},
        {"204 is an empty page, not a failure", "/empty", QString(), {}, {}, 204},
        {"301 with a Location: its own body is the page",
         "/moved",
         u"<a href=\"/elsewhere\">here</a>\r\n"_s,
         {},
         u"/elsewhere"_s,
         301},
        {"302 Location kept as sent", "/found-absolute", u"x\r\n"_s, {}, u"http://other.example/a b"_s, 302},
        {"302 without a Location fails", "/no-location", QString(), u"HTTP/1.1 302 Found"_s, {}, 302, true},
        {"304 fails", "/not-modified", QString(), u"HTTP/1.1 304 Not Modified"_s, {}, 304, true},
        {"401 fails", "/auth", QString(), u"HTTP/1.1 401 Unauthorized"_s, {}, 401, true},
        {"407 fails", "/proxy-auth", QString(), u"HTTP/1.1 407 Proxy Authentication Required"_s, {}, 407, true},
        {"404 fails with its status line", "/missing", QString(), u"HTTP/1.1 404 Not Found"_s, {}, 404},
        {"410 fails with its status line", "/gone", QString(), u"HTTP/1.1 410 Gone"_s, {}, 410},
        {"500 fails with its status line", "/broken", QString(), u"HTTP/1.1 500 Internal Server Error"_s, {}, 500},
        {"gzip body decoded, then its charset", "/gzip", u"<p>gzip caf\u00E9</p>\r\n"_s, {}, {}, 200},
    };
    for (const auto scheme : {LoopbackServer::Scheme::Http, LoopbackServer::Scheme::Https}) {
        LoopbackServer server(scheme);
        serveStatusTable(server.server());
        ASSERT_TRUE(server.start());
        for (const StatusCase &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (scheme == LoopbackServer::Scheme::Https ? " (https)" : " (http)"));
            const FetchedPage page = FetchPage(server.url(QString::fromLatin1(c.path)), FetchOptions{});
            EXPECT_EQ(page.text, c.text);
            expectError(page.error, c.error, c.explained);
            EXPECT_EQ(page.redirectLocation, c.redirectLocation);
            EXPECT_EQ(page.statusCode, c.statusCode);
        }
    }
}

TEST(PageFetcher, OddAnswersAreNotPages)
{
    struct Case
    {
        const char *name;
        const char *answer;
        QString error; // "*": any message
        int statusCode;
    };

    const std::vector<Case> cases = {
        {"a status beyond 599", "HTTP/1.1 600 Strange\r\nContent-Length: 2\r\n\r\nhi", u"HTTP/1.1 600 Strange"_s, 600},
        {"a redirect with an empty Location", "HTTP/1.1 301 Moved\r\nLocation:\r\nContent-Length: 2\r\n\r\nhi",
         u"HTTP/1.1 301 Moved"_s, 301},
        {"an answer without a status line", "<html>no head</html>", u"*"_s, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray answer(c.answer);
        RawServer server([answer](RawServer::Connection &connection) {
            connection.readRequestHead();
            connection.send(answer);
        });
        ASSERT_TRUE(server.start());
        FetchOptions options;
        options.idleTimeoutMs = 2000; // a missed end of answer fails as a time-out, not a hang
        const FetchedPage page = FetchPage(server.url(u"/x"_s), options);
        EXPECT_TRUE(page.text.isEmpty());
        if (c.error == u"*"_s) {
            EXPECT_FALSE(page.error.isEmpty());
        } else {
            expectError(page.error, c.error, true);
        }
        EXPECT_EQ(page.statusCode, c.statusCode);
    }
}

TEST(PageFetcher, OnlyWebAddressesAreRequested)
{
    LoopbackServer server;
    serveStatusTable(server.server());
    ASSERT_TRUE(server.start());

    struct Case
    {
        const char *name;
        QString address;
        QString error;
    };

    const std::vector<Case> cases = {
        {"a local file", u"file:///etc/hostname"_s, u"Unknown Protocol"_s},
        {"another scheme", u"ftp://127.0.0.1/"_s, u"Unknown Protocol"_s},
        {"no scheme", u"127.0.0.1/ok"_s, u"Unknown Protocol"_s},
        {"empty", QString(), u"Unknown Protocol"_s},
        {"a scheme in capitals is still http", u"HTTP://127.0.0.1:"_s + QString::number(server.port()) + u"/ok"_s,
         QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const FetchedPage page = FetchPage(c.address, FetchOptions{});
        EXPECT_EQ(page.error, c.error);
        EXPECT_EQ(page.text.isEmpty(), !c.error.isEmpty());
    }
}

TEST(PageFetcher, SendsTheUserAgent)
{
    LoopbackServer server;
    serveStatusTable(server.server());
    ASSERT_TRUE(server.start());
    FetchOptions options;
    options.userAgent = u"Quorvel test agent/1.0"_s;
    EXPECT_EQ(FetchPage(server.url(u"/agent"_s), options).text, u"Quorvel test agent/1.0\r\n"_s);
}

TEST(PageFetcher, NoPartialBodyIsEverAPage)
{
    std::atomic<bool> cancel = false;
    Gate gate;
    LoopbackServer server;
    const auto openGate = qScopeGuard([&gate] { gate.open(); });
    httplib::Server &s = server.server();
    s.Get("/cut", [](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(1000, "application/octet-stream", [](size_t, size_t, httplib::DataSink &sink) {
            sink.write("0123456789", 10);
            return false; // the connection is dropped mid-body
        });
    });
    s.Get("/stall-body", [&gate](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(1000, "application/octet-stream", [&gate](size_t, size_t, httplib::DataSink &sink) {
            sink.write("0123456789", 10);
            gate.wait();
            return false;
        });
    });
    s.Get("/stall-head", [&gate](const httplib::Request &, httplib::Response &res) {
        gate.wait();
        res.set_content("late", "text/plain");
    });
    s.Get("/cancel", [&gate, &cancel](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(1000, "application/octet-stream",
                                 [&gate, &cancel](size_t, size_t, httplib::DataSink &sink) {
                                     sink.write("0123456789", 10);
                                     cancel = true; // STOP while the body arrives
                                     gate.wait();
                                     return false;
                                 });
    });
    s.Get("/big", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(std::string(4096, 'x'), "application/octet-stream");
    });
    std::atomic<int> neverRequests = 0;
    s.Get("/never", [&neverRequests](const httplib::Request &, httplib::Response &res) {
        ++neverRequests;
        res.set_content("x", "text/plain");
    });
    ASSERT_TRUE(server.start());

    struct Case
    {
        const char *name;
        const char *path;
        int idleTimeoutMs;
        qint64 maxBytes;
        bool stoppedBefore = false;
    };

    // Bounds that are not under test stay at their page defaults, so only the cause named can end
    // the request.
    const std::vector<Case> cases = {
        {"connection closed mid-body", "/cut", kPageIdleTimeoutMs, kPageMaxBytes},
        {"server stalls mid-body past the idle bound", "/stall-body", 300, kPageMaxBytes},
        {"server never answers within the idle bound", "/stall-head", 300, kPageMaxBytes},
        {"cancel while the body arrives", "/cancel", kPageIdleTimeoutMs, kPageMaxBytes},
        {"body over the size limit", "/big", kPageIdleTimeoutMs, 1000},
        {"stopped before the request", "/never", kPageIdleTimeoutMs, kPageMaxBytes, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        cancel = c.stoppedBefore;
        FetchOptions options;
        options.cancel = &cancel;
        options.idleTimeoutMs = c.idleTimeoutMs;
        options.maxBytes = c.maxBytes;
        const FetchedPage page = FetchPage(server.url(QString::fromLatin1(c.path)), options);
        EXPECT_TRUE(page.text.isEmpty());
        EXPECT_FALSE(page.error.isEmpty());
    }
    EXPECT_EQ(neverRequests, 0);
}

} // namespace quorvel::test
