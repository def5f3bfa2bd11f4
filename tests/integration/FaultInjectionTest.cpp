#include "core/collect/Collector.h"
#include "core/model/LinkRow.h"
#include "core/results/LinkChecker.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// Far beyond every bound a case sets: a fault that hangs fails here (and is stopped) instead of
// blocking the test binary.
constexpr int kEndWithinMs = 60'000;

// How much a fault may raise the process's resident peak. Under AddressSanitizer freed blocks sit
// in its quarantine for a while, so a body that grows by reallocation counts several times.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kPeakGrowthKiB = 768 * 1024;
#else
constexpr qint64 kPeakGrowthKiB = 256 * 1024;
#endif

constexpr qint64 kTenGigabytes = 10LL * 1024 * 1024 * 1024;

// A field of /proc/self/status in KiB, or -1.
qint64 statusKiB(QByteArrayView field)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field) && line.size() > field.size() && line[field.size()] == ':') {
            return line.sliced(field.size() + 1).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

// Sets the resident peak back to the current size where the kernel allows it, and returns the
// peak to measure growth from.
qint64 restartPeak()
{
    QFile clearRefs(u"/proc/self/clear_refs"_s);
    if (clearRefs.open(QIODevice::WriteOnly)) {
        clearRefs.write("5");
    }
    return statusKiB("VmHWM");
}

struct RunOutcome
{
    CollectionResult result;
    bool ended = false;
};

// One collection run on another thread; a run still going after kEndWithinMs is stopped.
RunOutcome collect(const CollectionSnapshot &snapshot)
{
    std::atomic<bool> stop = false;
    auto run = std::async(std::launch::async, [&] { return runCollection(snapshot, {}, &stop); });
    RunOutcome outcome;
    outcome.ended = run.wait_for(std::chrono::milliseconds(kEndWithinMs)) == std::future_status::ready;
    stop = true;
    outcome.result = run.get();
    return outcome;
}

struct CheckOutcome
{
    std::optional<TURLStatus> status;
    bool ended = false;
};

// A check pass over one link on another thread; a pass still going after kEndWithinMs is stopped.
CheckOutcome checkOne(const QString &link, const LinkCheckOptions &options)
{
    std::atomic<bool> stop = false;
    auto pass = std::async(std::launch::async, [&] { return checkLinks({link}, options, &stop); });
    CheckOutcome outcome;
    outcome.ended = pass.wait_for(std::chrono::milliseconds(kEndWithinMs)) == std::future_status::ready;
    stop = true;
    const LinkCheckResults results = pass.get();
    if (!results.isEmpty()) {
        outcome.status = results.first();
    }
    return outcome;
}

// Answers every request with these bytes and closes.
RawServer::Handler answer(const QByteArray &bytes)
{
    return [bytes](RawServer::Connection &c) {
        c.readRequestHead();
        c.send(bytes);
    };
}

QByteArray head(const QByteArray &statusAndHeaders, qint64 contentLength)
{
    return statusAndHeaders + "\r\nContent-Length: " + QByteArray::number(contentLength) + "\r\n\r\n";
}

QByteArray withBody(const QByteArray &statusAndHeaders, const QByteArray &body)
{
    return head(statusAndHeaders, body.size()) + body;
}

// Expected error text: exact, a prefix when it ends in '*', or any text for "*" alone.
void expectError(const QString &error, const QString &expected)
{
    if (expected.endsWith(u'*')) {
        EXPECT_TRUE(error.startsWith(expected.chopped(1)) && !error.isEmpty()) << error.toStdString();
    } else {
        EXPECT_EQ(error, expected);
    }
}

// The servers of the faults, each a bare TCP server writing its answer by hand.
class FaultServers
{
public:
    FaultServers()
    {
        for (RawServer *server : {&resetMidBody, &badGzip, &badDeflate, &selfRedirect, &longLocation,
                                  &longButAcceptedLocation, &manyHeaders, &trickle, &endless, &notTls}) {
            m_started = m_started && server->start();
        }
    }

    bool started() const { return m_started; }

    // Declared before the servers, which write it until they are destroyed.
    std::atomic<qint64> endlessSent = 0;
    // Sent a part of its body, then aborts the connection with a TCP reset.
    RawServer resetMidBody{[](RawServer::Connection &c) {
        c.readRequestHead();
        c.send(QByteArray(head("HTTP/1.1 200 OK\r\nContent-Type: text/html", 100'000) + "<a href=\"/x\">x</a>" +
                          QByteArray(5000, ' ')));
        c.reset();
    }};
    RawServer badGzip{answer(withBody("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Encoding: gzip",
                                      QByteArray("\x1F\x8B\x08\x00", 4) + QByteArray("junk").repeated(100)))};
    RawServer badDeflate{answer(withBody("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Encoding: deflate",
                                         QByteArray("<a href=\"/x\">not deflate</a>").repeated(10)))};
    RawServer selfRedirect{answer(withBody("HTTP/1.1 301 Moved Permanently\r\nLocation: /loop\r\nConnection: close"
                                           "\r\nContent-Type: text/html",
                                           "<a href=\"/from-the-loop\">again</a>"))};
    // A header line over libcurl's limit of 100 KiB.
    RawServer longLocation{answer(withBody("HTTP/1.1 301 Moved Permanently\r\nLocation: /" +
                                               QByteArray(100 * 1024, 'a') + "\r\nConnection: close",
                                           "ok"))};
    // Just under it: the run moves to the 100,000-character target, once.
    RawServer longButAcceptedLocation{answer(withBody("HTTP/1.1 301 Moved Permanently\r\nLocation: /" +
                                                          QByteArray(100'000 - 1, 'a') + "\r\nConnection: close",
                                                      "ok"))};
    RawServer manyHeaders{[](RawServer::Connection &c) {
        c.readRequestHead();
        QByteArray headers = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < 200'000; ++i) {
            headers += "X-H" + QByteArray::number(i) + ": v\r\n";
        }
        c.send(withBody(headers + "Content-Type: text/html", QByteArray("<a href=\"/x\">x</a>")));
    }};
    // The head at once, then one byte of the body a second: never idle long, never done.
    RawServer trickle{[](RawServer::Connection &c) {
        c.readRequestHead();
        c.send(head("HTTP/1.1 200 OK\r\nContent-Type: text/html", 1000));
        while (!c.waitForShutdownFor(1000) && c.send(" ")) {
        }
    }};
    // Ten gigabytes of body, written in pieces of a mebibyte as fast as the client takes them.
    RawServer endless{[this](RawServer::Connection &c) {
        c.readRequestHead();
        c.send(head("HTTP/1.1 200 OK\r\nContent-Type: text/html", kTenGigabytes));
        const QByteArray piece(1 << 20, 'x');
        for (qint64 sent = 0; sent < kTenGigabytes && c.send(piece); sent += piece.size()) {
            endlessSent += piece.size();
        }
    }};
    // Bytes that are no TLS record, sent at once instead of an answer to the client's hello.
    RawServer notTls{[](RawServer::Connection &c) {
        c.send(QByteArray("this is not a TLS handshake\r\n").repeated(20));
        c.waitForShutdownFor(kEndWithinMs);
    }};

private:
    bool m_started = true;
};

} // namespace

// Each fault of a hostile or broken server, through the two places a user meets it: the page fetch
// of a collection run and a broken-link check of a row. Both end within their bounds, show the
// failure, and keep memory bounded.
TEST(FaultInjection, EveryFaultEndsAndShowsItsFailure)
{
    FaultServers servers;
    ASSERT_TRUE(servers.started());

    struct Case
    {
        const char *name;
        QString address;
        const RawServer *server; // its connections are counted; null: none
        QString pageError;       // see expectError
        qsizetype rows;          // rows of the run, the redirect row included
        int pageConnections;     // connections the run made to the server
        int checkStatus;
        QString checkMessage;
        int checkIcon;
        int pageTotalTimeoutMs = 30'000;
        QString checkResponseTimeout = u"5000"_s;
        const std::atomic<qint64> *sent = nullptr; // bytes the server wrote, when it counts them
    };

    const QString ok = u"HTTP/1.1 200 OK"_s;
    const QString moved = u"HTTP/1.1 301 Moved Permanently"_s;
    const std::vector<Case> cases = {
        {"connection reset mid-body", servers.resetMidBody.url(u"/"_s), &servers.resetMidBody, u"*"_s, 0, 1, 200, ok,
         kIconOk},
        {"gzip header over garbage", servers.badGzip.url(u"/"_s), &servers.badGzip,
         u"Error while processing content unencoding*"_s, 0, 1, 200, ok, kIconOk},
        {"deflate over garbage", servers.badDeflate.url(u"/"_s), &servers.badDeflate,
         u"Error while processing content unencoding*"_s, 0, 1, 200, ok, kIconOk},
        // The probe moves the run to the target once; the target's own redirect is its page.
        {"redirect to itself", servers.selfRedirect.url(u"/loop"_s), &servers.selfRedirect, QString(), 2, 2, 301, moved,
         kIconRedirect},
        {"Location of 100 KiB", servers.longLocation.url(u"/"_s), &servers.longLocation,
         u"A response header line is too long (or memory ran out)"_s, 0, 1, 301, moved, kIconRedirect},
        {"Location of 100,000 bytes", servers.longButAcceptedLocation.url(u"/"_s), &servers.longButAcceptedLocation,
         QString(), 1, 2, 301, moved, kIconRedirect},
        {"200,000 headers", servers.manyHeaders.url(u"/"_s), &servers.manyHeaders, u"Too large response headers*"_s, 0,
         1, 200, ok, kIconOk},
        {"a byte a second", servers.trickle.url(u"/"_s), &servers.trickle, u"The answer took longer than 3000 ms"_s, 0,
         1, 200, ok, kIconOk, 3000, u"3000"_s},
        {"a body of 10 GB", servers.endless.url(u"/"_s), &servers.endless,
         u"The response body is larger than %1 bytes"_s.arg(kPageMaxBytes), 0, 1, 200, ok, kIconOk, 30'000, u"5000"_s,
         &servers.endlessSent},
        {"garbage for a TLS handshake", u"https://127.0.0.1:%1/"_s.arg(servers.notTls.port()), &servers.notTls, u"*"_s,
         0, 1, -1, QString(), kIconNone},
        {"a name that does not resolve", u"http://quorvel-fault.invalid/"_s, nullptr, u"*"_s, 0, 0, -1, QString(),
         kIconNone},
        {"a port that refuses", u"http://127.0.0.1:%1/"_s.arg(refusedPort()), nullptr, u"*"_s, 0, 0, -1, QString(),
         kIconNone},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype peakBefore = restartPeak();
        const int connectionsBefore = c.server ? c.server->connectionCount() : 0;

        CollectionSnapshot snapshot;
        snapshot.address = c.address;
        snapshot.connectTimeoutMs = 2000;
        snapshot.idleTimeoutMs = 5000;
        snapshot.totalTimeoutMs = c.pageTotalTimeoutMs;
        const qint64 sentBefore = c.sent ? c.sent->load() : 0;
        const RunOutcome run = collect(snapshot);
        ASSERT_TRUE(run.ended) << "the run did not end";
        expectError(run.result.error, c.pageError);
        EXPECT_EQ(run.result.rows.size(), c.rows);
        if (c.server) {
            EXPECT_EQ(c.server->connectionCount() - connectionsBefore, c.pageConnections);
        }
        if (c.sent) {
            EXPECT_LT(c.sent->load() - sentBefore, 256LL << 20) << "the run read far beyond its page limit";
        }

        LinkCheckOptions options;
        options.connectTimeout = u"2000"_s;
        options.responseTimeout = c.checkResponseTimeout;
        options.parallel = 1;
        const qint64 sentBeforeCheck = c.sent ? c.sent->load() : 0;
        const CheckOutcome check = checkOne(c.address, options);
        ASSERT_TRUE(check.ended) << "the check did not end";
        ASSERT_TRUE(check.status.has_value());
        EXPECT_EQ(check.status->MyStatus, c.checkStatus);
        EXPECT_EQ(check.status->MyMessage, c.checkMessage);
        EXPECT_EQ(iconForStatus(check.status->MyStatus), c.checkIcon);
        EXPECT_FALSE(check.status->MyResponseTime.isEmpty());
        if (c.sent) {
            EXPECT_LT(c.sent->load() - sentBeforeCheck, 256LL << 20) << "the check read far beyond its status";
        }

        const qint64 peakAfter = statusKiB("VmHWM");
        if (peakBefore > 0 && peakAfter > 0) {
            EXPECT_LT(peakAfter - peakBefore, kPeakGrowthKiB) << "peak grew by " << (peakAfter - peakBefore) << " KiB";
        }
    }
}

} // namespace quorvel::test
