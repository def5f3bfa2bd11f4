#include "core/common/Http.h"

#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <QLoggingCategory>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <zlib.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {
namespace {

const QByteArray kLongText = QByteArray("All the links of one page, line after line.\n").repeated(2000);

// A zlib stream ("deflate" as servers send it); qCompress puts a 4-byte length in front.
QByteArray zlibStream(const QByteArray &data)
{
    return qCompress(data, 9).sliced(4);
}

// The bare deflate data inside a zlib stream, which some servers send as "deflate" too.
QByteArray rawDeflate(const QByteArray &data)
{
    const QByteArray z = zlibStream(data);
    return z.sliced(2, z.size() - 6);
}

// The gzip container around bare deflate data. The trailer's checksum is left zero: the data is
// cut off by the body limit long before a decoder would read it.
QByteArray gzipWithoutChecksum(const QByteArray &data)
{
    return QByteArray::fromHex("1f8b0800000000000003") + rawDeflate(data) + QByteArray(8, '\0');
}

// One whole gzip member, checksum and length included, as gzip writes it.
QByteArray gzipMember(const QByteArray &data)
{
    const auto le32 = [](quint32 v) {
        QByteArray out(4, '\0');
        for (int i = 0; i < 4; ++i) {
            out[i] = char((v >> (8 * i)) & 0xff);
        }
        return out;
    };
    const auto crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
    return QByteArray::fromHex("1f8b0800000000000003") + rawDeflate(data) + le32(crc) + le32(quint32(data.size()));
}

// A raw answer: 200, the given header lines, the body with its length.
RawServer::Handler rawAnswer(const QList<QByteArray> &headerLines, const QByteArray &body)
{
    return [headerLines, body](RawServer::Connection &c) {
        c.readRequestHead();
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
        for (const QByteArray &line : headerLines) {
            head += line + "\r\n";
        }
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
        head += body;
        c.send(head);
    };
}

struct SiteCounters
{
    std::atomic<int> target{0};
    std::atomic<int> refusedHead{0};
    std::atomic<int> refusedGet{0};
    std::mutex mutex;
    std::set<int> okClientPorts; // one per connection that asked for /ok
};

// The HTTP answers every test here needs, on a plain or a TLS server.
void addRoutes(httplib::Server &server, SiteCounters &counters)
{
    server.Get("/ok", [&counters](const httplib::Request &req, httplib::Response &res) {
        {
            const std::lock_guard lock(counters.mutex);
            counters.okClientPorts.insert(req.remote_port);
        }
        res.set_content("hello", "text/plain");
    });
    server.Get("/missing", [](const httplib::Request &, httplib::Response &res) {
        res.status = 404;
        res.set_content("gone", "text/plain");
    });
    server.Get("/error", [](const httplib::Request &, httplib::Response &res) {
        res.status = 500;
        res.set_content("broken", "text/plain");
    });
    server.Get("/empty", [](const httplib::Request &, httplib::Response &res) { res.status = 204; });
    server.Get("/moved", [](const httplib::Request &, httplib::Response &res) {
        res.set_redirect("/target", 301);
        res.set_content("moved", "text/plain");
    });
    server.Get("/target", [&counters](const httplib::Request &, httplib::Response &res) {
        ++counters.target;
        res.set_content("target", "text/plain");
    });
    server.Get("/head-refused", [&counters](const httplib::Request &req, httplib::Response &res) {
        if (req.method == "HEAD") {
            ++counters.refusedHead;
            res.status = 405;
        } else {
            ++counters.refusedGet;
            res.set_content("only GET", "text/plain");
        }
    });
    // text/plain: the server gzips it for a client that accepts gzip.
    server.Get("/gzip", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(kLongText.toStdString(), "text/plain");
    });
    server.Get("/deflate", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Content-Encoding", "deflate");
        res.set_content(zlibStream(kLongText).toStdString(), "application/octet-stream");
    });
    server.Get("/raw-deflate", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Content-Encoding", "deflate");
        res.set_content(rawDeflate(kLongText).toStdString(), "application/octet-stream");
    });
    // Compressed streams that stop half-way, inside responses whose Content-Length fits them.
    server.Get("/gzip-cut", [](const httplib::Request &, httplib::Response &res) {
        const QByteArray whole = gzipWithoutChecksum(kLongText);
        res.set_header("Content-Encoding", "gzip");
        res.set_content(whole.first(whole.size() / 2).toStdString(), "application/octet-stream");
    });
    server.Get("/deflate-cut", [](const httplib::Request &, httplib::Response &res) {
        const QByteArray whole = zlibStream(kLongText);
        res.set_header("Content-Encoding", "deflate");
        res.set_content(whole.first(whole.size() / 2).toStdString(), "application/octet-stream");
    });
    server.Get("/raw-deflate-cut", [](const httplib::Request &, httplib::Response &res) {
        const QByteArray whole = rawDeflate(kLongText);
        res.set_header("Content-Encoding", "deflate");
        res.set_content(whole.first(whole.size() / 2).toStdString(), "application/octet-stream");
    });
    server.Get("/gzip-bad-checksum", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Content-Encoding", "gzip");
        res.set_content(gzipWithoutChecksum(kLongText).toStdString(), "application/octet-stream");
    });
    server.Get("/bomb", [](const httplib::Request &, httplib::Response &res) {
        static const QByteArray bomb = gzipWithoutChecksum(QByteArray(8 << 20, '\0'));
        res.set_header("Content-Encoding", "gzip");
        res.set_content(bomb.toStdString(), "application/octet-stream");
    });
    server.Get("/plain-2000", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(std::string(2000, 'x'), "application/octet-stream");
    });
    server.Get("/echo-headers", [](const httplib::Request &req, httplib::Response &res) {
        const std::string agent = req.has_header("User-Agent") ? req.get_header_value("User-Agent") : "<none>";
        res.set_content(agent + "|" + req.get_header_value("Accept-Encoding"), "application/octet-stream");
    });
    // What a request carried: its method, its agent, how many agent and coding lines, its X-Extra.
    server.Get("/echo-request", [](const httplib::Request &req, httplib::Response &res) {
        const std::string agent = req.has_header("User-Agent") ? req.get_header_value("User-Agent") : "<none>";
        const std::string echoed =
            req.method + "|" + agent + "|" + std::to_string(req.get_header_value_count("User-Agent")) + "|" +
            std::to_string(req.get_header_value_count("Accept-Encoding")) + "|" + req.get_header_value("X-Extra");
        res.set_header("X-Echo", echoed); // a HEAD answer has no body
        res.set_content(echoed, "text/plain");
    });
    server.Get(R"(/echo-target/.*)", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(req.target, "application/octet-stream");
    });
    server.Post("/post", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(req.get_header_value("Content-Type") + "|" + req.get_header_value("X-Extra") + "|" + req.body,
                        "application/octet-stream");
    });
}

class HttpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (LoopbackServer *server : {&m_http, &m_https}) {
            addRoutes(server->server(), server == &m_http ? m_httpCounters : m_httpsCounters);
            ASSERT_TRUE(server->start());
        }
    }

    SiteCounters m_httpCounters;
    SiteCounters m_httpsCounters;
    LoopbackServer m_http{LoopbackServer::Scheme::Http};
    LoopbackServer m_https{LoopbackServer::Scheme::Https};
};

HttpRequest requestFor(const QString &url, HttpMethod method = HttpMethod::Get)
{
    HttpRequest request;
    request.url = url;
    request.method = method;
    request.connectTimeoutMs = 5000;
    request.idleTimeoutMs = 5000;
    return request;
}

TEST_F(HttpTest, StatusesAreCompletedTransfersWithTheStatusLineAsReceived)
{
    struct Case
    {
        const char *name;
        const char *path;
        HttpMethod method;
        int code;
        QByteArray statusLine;
        QByteArray body;
        QByteArray location;
    };

    const std::vector<Case> cases = {
        {"200 with its body", "/ok", HttpMethod::Get, 200, "HTTP/1.1 200 OK", "hello", ""},
        {"404 keeps its body", "/missing", HttpMethod::Get, 404, "HTTP/1.1 404 Not Found", "gone", ""},
        {"500", "/error", HttpMethod::Get, 500, "HTTP/1.1 500 Internal Server Error", "broken", ""},
        {"204 has no body", "/empty", HttpMethod::Get, 204, "HTTP/1.1 204 No Content", "", ""},
        {"301 is not followed", "/moved", HttpMethod::Get, 301, "HTTP/1.1 301 Moved Permanently", "moved", "/target"},
        {"HEAD gets no body", "/ok", HttpMethod::Head, 200, "HTTP/1.1 200 OK", "", ""},
        {"HEAD refused with 405", "/head-refused", HttpMethod::Head, 405, "HTTP/1.1 405 Method Not Allowed", "", ""},
    };
    for (LoopbackServer *server : {&m_http, &m_https}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (server == &m_https ? " (https)" : " (http)"));
            const HttpResult r = performRequest(requestFor(server->url(QString::fromLatin1(c.path)), c.method));
            EXPECT_EQ(r.error, QString());
            EXPECT_EQ(r.statusCode, c.code);
            EXPECT_EQ(r.statusLine, c.statusLine);
            EXPECT_EQ(r.body, c.body);
            EXPECT_EQ(r.location, c.location);
            EXPECT_EQ(r.header("location"), c.location);
        }
    }
    for (const SiteCounters *counters : {&m_httpCounters, &m_httpsCounters}) {
        EXPECT_EQ(counters->target.load(), 0) << "a redirect was followed";
        EXPECT_EQ(counters->refusedHead.load(), 1);
        EXPECT_EQ(counters->refusedGet.load(), 0) << "HEAD fell back to GET";
    }
}

TEST_F(HttpTest, CompressedBodiesAreDecoded)
{
    struct Case
    {
        const char *name;
        const char *path;
        QByteArray contentEncoding;
    };

    const std::vector<Case> cases = {
        {"gzip", "/gzip", "gzip"},
        {"deflate in a zlib stream", "/deflate", "deflate"},
        {"bare deflate", "/raw-deflate", "deflate"},
    };
    for (LoopbackServer *server : {&m_http, &m_https}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (server == &m_https ? " (https)" : " (http)"));
            const HttpResult r = performRequest(requestFor(server->url(QString::fromLatin1(c.path))));
            EXPECT_EQ(r.error, QString());
            EXPECT_EQ(r.header("Content-Encoding"), c.contentEncoding);
            EXPECT_EQ(r.body.size(), kLongText.size());
            EXPECT_TRUE(r.body == kLongText);
        }
    }
}

// A compressed stream that stops early is a broken body even when the response around it is
// complete: the page must not be scanned cut short.
TEST_F(HttpTest, CompressedBodiesCutShortAreNoBodies)
{
    struct Case
    {
        const char *name;
        const char *path;
        QString error;
    };

    const QString cutShort = u"The compressed response body is cut short"_s;
    const std::vector<Case> cases = {
        {"gzip cut in half", "/gzip-cut", cutShort},
        {"zlib stream cut in half", "/deflate-cut", cutShort},
        {"bare deflate cut in half", "/raw-deflate-cut", cutShort},
        {"gzip whose checksum is wrong", "/gzip-bad-checksum",
         u"Error while processing content unencoding: incorrect data check"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const HttpResult r = performRequest(requestFor(m_http.url(QString::fromLatin1(c.path))));
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.statusCode, 200);
        EXPECT_TRUE(r.body.isEmpty()) << r.body.size() << " bytes of a broken body were kept";
    }
}

// Every Content-Encoding line counts: a stack of codings is undone in the reverse order of its
// application, the same whether it comes on one line or several; a gzip body of several members
// is decoded whole.
TEST(HttpCodings, StackedCodingsAndGzipMembers)
{
    const QByteArray first = QByteArray("The first member's links.\n").repeated(500);
    const QByteArray second = QByteArray("The second member's links.\n").repeated(500);
    const QByteArray twice = gzipMember(gzipMember(kLongText));
    const QByteArray bomb = gzipMember(gzipMember(QByteArray(16 << 20, '\0')));
    const QString cutShort = u"The compressed response body is cut short"_s;
    const QString over1M = u"The response body is larger than 1048576 bytes"_s;

    struct Case
    {
        const char *name;
        QList<QByteArray> headerLines;
        QByteArray body;
        QString error;
        QByteArray decoded;
        qint64 limit = -1;
    };

    const std::vector<Case> cases = {
        {"gzip, gzip on one line", {"Content-Encoding: gzip, gzip"}, twice, QString(), kLongText},
        {"gzip on two lines", {"Content-Encoding: gzip", "Content-Encoding: gzip"}, twice, QString(), kLongText},
        {"two lines apart",
         {"Content-Encoding: gzip", "X-Other: 1", "content-encoding: GZIP"},
         twice,
         QString(),
         kLongText},
        {"deflate then gzip",
         {"Content-Encoding: deflate", "Content-Encoding: gzip"},
         gzipMember(zlibStream(kLongText)),
         QString(),
         kLongText},
        {"identity between",
         {"Content-Encoding: identity, gzip", "Content-Encoding: identity"},
         gzipMember(kLongText),
         QString(),
         kLongText},
        {"two gzip members",
         {"Content-Encoding: gzip"},
         gzipMember(first) + gzipMember(second),
         QString(),
         first + second},
        {"trailing zeros after the member",
         {"Content-Encoding: gzip"},
         gzipMember(first) + QByteArray(16, '\0'),
         QString(),
         first},
        {"the second member cut short",
         {"Content-Encoding: gzip"},
         gzipMember(first) + gzipMember(second).first(40),
         cutShort,
         {}},
        {"the inner stream of a stack cut short",
         {"Content-Encoding: gzip", "Content-Encoding: gzip"},
         gzipMember(gzipMember(kLongText).first(100)),
         cutShort,
         {}},
        {"an unknown coding on one line",
         {"Content-Encoding: gzip, br"},
         gzipMember(kLongText),
         u"Unrecognized content encoding type: gzip, br"_s,
         {}},
        {"an unknown coding on its own line",
         {"Content-Encoding: gzip", "Content-Encoding: br"},
         gzipMember(kLongText),
         u"Unrecognized content encoding type: gzip, br"_s,
         {}},
        {"too deep a stack",
         {"Content-Encoding: gzip, gzip", "Content-Encoding: gzip, gzip, gzip"},
         twice,
         u"Too many content encodings: gzip, gzip, gzip, gzip, gzip"_s,
         {}},
        {"a stacked bomb still ends at the limit", {"Content-Encoding: gzip, gzip"}, bomb, over1M, {}, 1 << 20},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(rawAnswer(c.headerLines, c.body));
        ASSERT_TRUE(server.start());
        HttpRequest request = requestFor(server.url(u"/x"_s));
        request.bodyLimit = c.limit;
        const HttpResult r = performRequest(request);
        EXPECT_EQ(r.statusCode, 200);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.body.size(), c.decoded.size());
        EXPECT_TRUE(r.body == c.decoded);
    }
}

TEST_F(HttpTest, BodyLimitEndsTheTransferWithAnError)
{
    struct Case
    {
        const char *name;
        const char *path;
        qint64 limit;
        bool discard;
        QString error;
        qsizetype bodySize;
    };

    const QString over1M = u"The response body is larger than 1048576 bytes"_s;
    const std::vector<Case> cases = {
        {"a small gzip inflating to 8 MiB", "/bomb", 1 << 20, false, over1M, 0},
        {"the limit holds for a dropped body too", "/bomb", 1 << 20, true, over1M, 0},
        {"a plain body one byte over", "/plain-2000", 1999, false, u"The response body is larger than 1999 bytes"_s, 0},
        {"a body of exactly the limit", "/plain-2000", 2000, false, QString(), 2000},
        {"a dropped body keeps nothing", "/plain-2000", -1, true, QString(), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HttpRequest request = requestFor(m_http.url(QString::fromLatin1(c.path)));
        request.bodyLimit = c.limit;
        request.discardBody = c.discard;
        const HttpResult r = performRequest(request);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.statusCode, 200);
        EXPECT_EQ(r.body.size(), c.bodySize);
    }
}

TEST_F(HttpTest, RequestHeadersCarryTheAgentAndTheCodings)
{
    struct Case
    {
        const char *name;
        QString agent;
        QByteArray echoed;
    };

    const std::vector<Case> cases = {
        {"agent as given", u"Quorvel test agent/2.2"_s, "Quorvel test agent/2.2|deflate, gzip, identity"},
        {"an empty agent sends no header", QString(), "<none>|deflate, gzip, identity"},
        {"line breaks cannot start a header", u"a\r\nX-Injected: 1"_s, "a  X-Injected: 1|deflate, gzip, identity"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HttpRequest request = requestFor(m_http.url(u"/echo-headers"_s));
        request.userAgent = c.agent;
        const HttpResult r = performRequest(request);
        EXPECT_EQ(r.error, QString());
        EXPECT_EQ(r.body, c.echoed);
    }
}

// A session keeps the handles of ended requests for the next ones: none carries anything of the
// request before it (method, agent, header lines, body).
TEST_F(HttpTest, AKeptHandleCarriesNothingOfTheRequestBefore)
{
    struct Step
    {
        HttpMethod method;
        QString agent;
        QList<QByteArray> extraHeaders;
        QByteArray echoed;
    };

    const std::vector<Step> steps = {
        {HttpMethod::Head, u"agent-a"_s, {}, "HEAD|agent-a|1|1|"},
        {HttpMethod::Get, QString(), {}, "GET|<none>|0|1|"},
        {HttpMethod::Post, u"agent-b"_s, {"X-Extra: posted"}, ""},
        {HttpMethod::Get, u"agent-b"_s, {}, "GET|agent-b|1|1|"},
        {HttpMethod::Get, u"agent-a"_s, {"X-Extra: yes"}, "GET|agent-a|1|1|yes"},
        {HttpMethod::Head, u"agent-b"_s, {}, "HEAD|agent-b|1|1|"},
        {HttpMethod::Get, u"agent-a"_s, {}, "GET|agent-a|1|1|"},
    };
    HttpSession session;
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step &step = steps[i];
        SCOPED_TRACE(i);
        const bool post = step.method == HttpMethod::Post;
        HttpRequest request = requestFor(m_http.url(post ? u"/post"_s : u"/echo-request"_s), step.method);
        request.userAgent = step.agent;
        request.extraHeaders = step.extraHeaders;
        if (post) {
            request.body = "a=b";
            request.contentType = "application/x-www-form-urlencoded";
        }
        const HttpResult r = session.perform(request);
        ASSERT_EQ(r.statusCode, 200) << r.error.toStdString();
        if (post) {
            EXPECT_EQ(r.body, "application/x-www-form-urlencoded|posted|a=b");
        } else {
            EXPECT_EQ(r.header("X-Echo"), step.echoed);
            EXPECT_EQ(r.body, step.method == HttpMethod::Head ? QByteArray() : step.echoed);
        }
    }
}

TEST_F(HttpTest, PostSendsBodyTypeAndExtraHeaders)
{
    HttpRequest request = requestFor(m_https.url(u"/post"_s), HttpMethod::Post);
    request.body = QByteArray("name=value&").repeated(300); // large enough for curl's Expect round trip
    request.contentType = "application/x-www-form-urlencoded";
    request.extraHeaders = {"X-Extra: yes"};
    const HttpResult r = performRequest(request);
    EXPECT_EQ(r.error, QString());
    EXPECT_EQ(r.statusCode, 200);
    EXPECT_EQ(r.body, "application/x-www-form-urlencoded|yes|" + request.body);
}

// Each request is logged at debug level with its method, address, answer and time, and only when
// the rules ask for it.
TEST_F(HttpTest, RequestsAreLoggedOnlyWhenDebugIsOn)
{
    static QStringList lines;
    lines.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context, const QString &message) {
            if (QByteArrayView(context.category) == "quorvel.http") {
                lines.append(message);
            }
        });

    struct Case
    {
        const char *name;
        const char *rules;
        HttpMethod method;
        QString path;
        QStringList expected; // texts the one line holds; empty: no line at all
    };

    const std::vector<Case> cases = {
        {"off by default", "", HttpMethod::Get, u"/missing"_s, {}},
        {"a GET",
         "quorvel.http.debug=true",
         HttpMethod::Get,
         u"/missing"_s,
         {u"GET "_s, u"/missing"_s, u"-> 404"_s, u" ms"_s}},
        {"a HEAD", "quorvel.*.debug=true", HttpMethod::Head, u"/ok"_s, {u"HEAD "_s, u"-> 200"_s}},
        {"a failure says why",
         "quorvel.http.debug=true",
         HttpMethod::Get,
         QString(),
         {u"-> -1"_s, u"Failed to connect"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        lines.clear();
        QLoggingCategory::setFilterRules(QString::fromLatin1(c.rules));
        const QString url = c.path.isEmpty() ? u"http://127.0.0.1:1/"_s : m_http.url(c.path);
        performRequest(requestFor(url, c.method));
        if (c.expected.isEmpty() && qEnvironmentVariableIsEmpty("QT_LOGGING_RULES")) {
            EXPECT_TRUE(lines.isEmpty()) << lines.join(u'\n').toStdString();
        }
        if (!c.expected.isEmpty()) {
            ASSERT_EQ(lines.size(), 1);
            for (const QString &text : c.expected) {
                EXPECT_TRUE(lines[0].contains(text)) << lines[0].toStdString() << " lacks " << text.toStdString();
            }
        }
    }
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
}

TEST(RequestUrlBytes, EncodesOnlyWhatCannotBeSent)
{
    struct Case
    {
        const char *name;
        QString address;
        QByteArray expected;
    };

    const std::vector<Case> cases = {
        {"plain address unchanged", u"http://h.com/a/b?q=1&r=%41#top"_s, "http://h.com/a/b?q=1&r=%41#top"},
        {"space in path and query", u"http://h.com/a b?q=c d"_s, "http://h.com/a%20b?q=c%20d"},
        {"non-ASCII path as UTF-8", u"http://h.com/\u00fc"_s, "http://h.com/%C3%BC"},
        {"host left to the IDN layer", u"http://\u00fc.com/x"_s, "http://\xc3\xbc.com/x"},
        {"line breaks cannot split the request", u"http://h.com/a\r\nb"_s, "http://h.com/a%0D%0Ab"},
        {"no scheme: unchanged", u"mailto:a b"_s, "mailto:a b"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(requestUrlBytes(c.address), c.expected);
    }
}

TEST_F(HttpTest, PathIsSentEncoded)
{
    const HttpResult r = performRequest(requestFor(m_http.url(u"/echo-target/a b/\u00fc?q=\u00e7"_s)));
    EXPECT_EQ(r.error, QString());
    EXPECT_EQ(r.body, "/echo-target/a%20b/%C3%BC?q=%C3%A7");
}

TEST(HttpFailures, AddressesThatCannotBeRequested)
{
    struct Case
    {
        const char *name;
        QString url;
    };

    const std::vector<Case> cases = {
        {"refused port", u"http://127.0.0.1:%1/x"_s.arg(refusedPort())},
        {"local file", u"file:///etc/hostname"_s},
        {"other scheme", u"ftp://127.0.0.1/x"_s},
        {"not an address", u"not an address"_s},
        {"empty", QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const HttpResult r = performRequest(requestFor(c.url));
        EXPECT_FALSE(r.error.isEmpty());
        EXPECT_EQ(r.statusCode, -1);
        EXPECT_TRUE(r.statusLine.isEmpty());
        EXPECT_TRUE(r.body.isEmpty());
        EXPECT_GE(r.elapsedMs, 0);
    }
}

// Answers of a bare TCP server; the time-outs are short so each row ends quickly.
TEST(HttpFailures, HostileAnswers)
{
    struct Case
    {
        const char *name;
        std::function<void(RawServer::Connection &)> answer;
        int code;
        QByteArray statusLine;
        QString error; // exact, or ending in "*" for any text after what comes before it
        QByteArray body;
    };

    const auto answer = [](QByteArray bytes, bool stall) {
        return [bytes, stall](RawServer::Connection &c) {
            c.readRequestHead();
            c.send(bytes);
            if (stall) {
                c.waitForShutdown();
            }
        };
    };
    const QByteArray head100 = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
    const std::vector<Case> cases = {
        {"own reason phrase", answer("HTTP/1.1 200 Fine Thanks\r\nContent-Length: 2\r\n\r\nok", false), 200,
         "HTTP/1.1 200 Fine Thanks", QString(), "ok"},
        {"HTTP/1.0 ended by closing", answer("HTTP/1.0 404 Nope\r\n\r\nbody", false), 404, "HTTP/1.0 404 Nope",
         QString(), "body"},
        {"the final answer after an interim 100",
         answer("HTTP/1.1 100 Continue\r\nX-First: 1\r\n\r\nHTTP/1.1 201 Made\r\nContent-Length: 0\r\n\r\n", false),
         201, "HTTP/1.1 201 Made", QString(), ""},
        {"never answers", answer("", true), -1, "", u"No data received for 300 ms"_s, ""},
        {"stalls mid-body", answer(head100 + QByteArray(50, 'x'), true), 200, "HTTP/1.1 200 OK",
         u"No data received for 300 ms"_s, ""},
        {"closed mid-body", answer(head100 + QByteArray(50, 'x'), false), 200, "HTTP/1.1 200 OK", u"*"_s, ""},
        {"closed mid-chunk", answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n64\r\nabc", false), 200,
         "HTTP/1.1 200 OK", u"*"_s, ""},
        {"closed without an answer", answer("", false), -1, "", u"*"_s, ""},
        {"no status line", answer("hello there\r\n\r\n", false), -1, "", u"*"_s, ""},
        {"only an interim 100, then closed", answer("HTTP/1.1 100 Continue\r\nX-First: 1\r\n\r\n", false), -1, "",
         u"No final answer (only an interim 1xx response)*"_s, ""},
        {"interim answers until the bound",
         answer("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\n\r\n", true), -1, "",
         u"No final answer (only an interim 1xx response): No data received for 300 ms"_s, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(c.answer);
        ASSERT_TRUE(server.start());
        HttpRequest request = requestFor(server.url(u"/x"_s));
        request.idleTimeoutMs = 300;
        const HttpResult r = performRequest(request);
        EXPECT_EQ(r.statusCode, c.code);
        EXPECT_EQ(r.statusLine, c.statusLine);
        if (c.error.endsWith(u'*')) {
            EXPECT_TRUE(r.error.startsWith(c.error.chopped(1))) << r.error.toStdString();
            EXPECT_FALSE(r.error.isEmpty());
        } else {
            EXPECT_EQ(r.error, c.error);
        }
        EXPECT_EQ(r.body, c.body);
        EXPECT_EQ(r.header("X-First"), QByteArray());
        if (c.error.startsWith(u"No data"_s)) {
            EXPECT_GE(r.elapsedMs, 300);
        }
    }
}

// What a check's verdict is made of: each way of getting no answer has its kind.
TEST(HttpFailures, EachFailureHasItsKind)
{
    struct Case
    {
        const char *name;
        std::function<void(RawServer::Connection &)> answer; // null: no server
        QString url;                                         // with no server
        QString scheme;
        HttpFailure failure;
    };

    const auto send = [](QByteArray bytes, bool stall) {
        return [bytes, stall](RawServer::Connection &c) {
            c.readRequestHead();
            c.send(bytes);
            if (stall) {
                c.waitForShutdown();
            }
        };
    };
    const std::vector<Case> cases = {
        {"an answer", send("HTTP/1.1 404 No\r\nContent-Length: 0\r\n\r\n", false), {}, u"http"_s, HttpFailure::None},
        {"refused", nullptr, u"http://127.0.0.1:%1/x"_s.arg(refusedPort()), {}, HttpFailure::Refused},
        {"a name that does not resolve", nullptr, u"http://quorvel-fault.invalid/"_s, {}, HttpFailure::NameLookup},
        {"silence until the idle bound", send("", true), {}, u"http"_s, HttpFailure::Timeout},
        {"closed before any answer", send("", false), {}, u"http"_s, HttpFailure::Reset},
        {"reset before any answer",
         [](RawServer::Connection &c) {
             c.readRequestHead();
             c.reset();
         },
         {},
         u"http"_s,
         HttpFailure::Reset},
        {"plain text to a TLS hello",
         [](RawServer::Connection &c) {
             c.send("HTTP/1.1 200 OK\r\n\r\n");
             c.waitForShutdown();
         },
         {},
         u"https"_s,
         HttpFailure::Tls},
        {"closed mid-body",
         send("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc", false),
         {},
         u"http"_s,
         HttpFailure::Other},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<RawServer> server;
        QString url = c.url;
        if (c.answer) {
            server.emplace(c.answer);
            ASSERT_TRUE(server->start());
            url = server->url(u"/x"_s);
            url.replace(0, url.indexOf(u':'), c.scheme);
        }
        HttpRequest request = requestFor(url);
        request.idleTimeoutMs = 300;
        request.connectTimeoutMs = 2000;
        const HttpResult r = performRequest(request);
        EXPECT_EQ(r.failure, c.failure) << r.error.toStdString();
        EXPECT_EQ(r.failure == HttpFailure::None, r.error.isEmpty());
        if (c.failure == HttpFailure::Refused) {
            EXPECT_EQ(r.osErrno, ECONNREFUSED);
        }
    }

    HttpRequest spent = requestFor(u"http://127.0.0.1:%1/x"_s.arg(refusedPort()));
    spent.totalTimeoutMs = 10;
    spent.totalSince = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    EXPECT_EQ(performRequest(spent).failure, HttpFailure::Timeout);
}

// A bound shared with earlier requests that is already spent ends the request before it connects.
TEST(HttpFailures, ASpentSharedBoundMakesNoConnection)
{
    RawServer server([](RawServer::Connection &c) {
        c.readRequestHead();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    ASSERT_TRUE(server.start());
    HttpRequest request = requestFor(server.url(u"/x"_s));
    request.totalTimeoutMs = 1000;
    request.totalSince = std::chrono::steady_clock::now() - std::chrono::milliseconds(1000);
    const HttpResult spent = performRequest(request);
    EXPECT_EQ(spent.error, totalTimeoutMessage(1000));
    EXPECT_EQ(spent.statusCode, -1);
    EXPECT_EQ(server.connectionCount(), 0);

    request.totalSince = std::chrono::steady_clock::now();
    const HttpResult fresh = performRequest(request);
    EXPECT_EQ(fresh.error, QString());
    EXPECT_EQ(fresh.body, QByteArray("ok"));
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST(HttpFailures, ConnectTimeOutWhenNobodyAccepts)
{
    FullBacklogPort port;
    if (!port.isFull()) {
        GTEST_SKIP() << "the accept queue did not fill up on this system";
    }
    HttpRequest request = requestFor(port.url(u"/x"_s));
    request.connectTimeoutMs = 300;
    const HttpResult r = performRequest(request);
    EXPECT_EQ(r.error, u"Connection timed out after 300 ms"_s);
    EXPECT_EQ(r.statusCode, -1);
    EXPECT_GE(r.elapsedMs, 300);
}

TEST(HttpFailures, CancelEndsTheTransferAtOnce)
{
    struct Case
    {
        const char *name;
        QByteArray sent; // before the server waits
    };

    const std::vector<Case> cases = {
        {"mid-body", "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + QByteArray(5000, 'x')},
        {"before any answer", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::promise<void> sent;
        RawServer server([&](RawServer::Connection &connection) {
            connection.readRequestHead();
            connection.send(c.sent);
            sent.set_value();
            connection.waitForShutdown();
        });
        ASSERT_TRUE(server.start());
        std::atomic<bool> cancel{false};
        HttpRequest request = requestFor(server.url(u"/x"_s));
        request.idleTimeoutMs = 30'000; // a cancel that is missed ends as a time-out, not a hang
        request.cancel = &cancel;
        HttpResult r;
        std::thread client([&] { r = performRequest(request); });
        sent.get_future().wait();
        cancel = true;
        client.join();
        EXPECT_EQ(r.error, QString(kCancelledMessage));
        EXPECT_EQ(r.failure, HttpFailure::Cancelled);
        EXPECT_TRUE(r.body.isEmpty());
    }
}

TEST_F(HttpTest, SessionReusesItsConnection)
{
    HttpSession session;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(session.perform(requestFor(m_http.url(u"/ok"_s))).statusCode, 200);
    }
    const std::lock_guard lock(m_httpCounters.mutex);
    EXPECT_EQ(m_httpCounters.okClientPorts.size(), 1u);
}

// A pause ends at a wake-up, whether it came before the pause or during it. (A pause that missed
// its wake-up would block the test for ten minutes.)
TEST(HttpSessionTest, WakeupEndsAPause)
{
    HttpSession session;
    session.wakeup();
    session.pause(600'000);

    std::promise<void> started;
    std::thread waker([&] {
        started.get_future().wait();
        session.wakeup();
    });
    started.set_value();
    session.pause(600'000);
    waker.join();
}

TEST(HttpSessionTest, WakeupFromAnotherThreadReturnsThePollAtOnce)
{
    std::promise<void> received;
    RawServer server([&](RawServer::Connection &c) {
        c.readRequestHead();
        received.set_value();
        c.waitForShutdown();
    });
    ASSERT_TRUE(server.start());
    HttpSession session;
    bool ended = false;
    HttpResult result;
    session.start(requestFor(server.url(u"/x"_s)), [&](HttpResult r) {
        result = std::move(r);
        ended = true;
    });
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        received.get_future().wait(); // the loop below is polling by now
        stop = true;
        session.wakeup();
    });
    // Without the wake-up the poll would wait out the 5 s idle time-out, which ends the request
    // with a different error.
    while (!ended && !stop) {
        session.poll(60'000);
    }
    stopper.join();
    session.cancelAll();
    EXPECT_TRUE(ended);
    EXPECT_EQ(result.error, QString(kCancelledMessage));
}

TEST(HttpSessionTest, RequestCancelledBeforeItStartsIsReportedByTheNextPoll)
{
    HttpSession session;
    const std::atomic<bool> cancelled{true};
    HttpRequest request = requestFor(u"http://127.0.0.1:%1/x"_s.arg(refusedPort()));
    request.cancel = &cancelled;
    std::optional<HttpResult> result;
    session.start(request, [&](HttpResult r) { result = std::move(r); });
    EXPECT_EQ(session.inFlight(), 1) << "a loop that waits for inFlight() would drop it";
    EXPECT_FALSE(result.has_value());
    session.poll(0);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->error, QString(kCancelledMessage));
    EXPECT_EQ(session.inFlight(), 0);
}

} // namespace
} // namespace quorvel::test
