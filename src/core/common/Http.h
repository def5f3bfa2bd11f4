#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace quorvel {

enum class HttpMethod
{
    Get,
    Head,
    Post
};

// One request, for every use: page fetch, link check, form post.
struct HttpRequest
{
    QString url;
    HttpMethod method = HttpMethod::Get;
    QString userAgent;
    QByteArray body;                           // POST only
    QByteArray contentType;                    // POST only
    QList<QByteArray> extraHeaders;            // "Name: value"
    int connectTimeoutMs = 0;                  // 0: no limit of ours
    int idleTimeoutMs = 0;                     // longest wait for the next byte; 0: no limit of ours
    int totalTimeoutMs = 0;                    // longest the whole request may take; 0: no limit of ours
    qint64 bodyLimit = -1;                     // decoded body bytes; -1: no limit
    bool discardBody = false;                  // read the body and drop it (link checks)
    qsizetype keepBodyBytes = 0;               // with discardBody: the body's first bytes kept anyway
    const std::atomic<bool> *cancel = nullptr; // aborts the transfer at once when it turns true
    // When the total time-out's clock started, for a bound shared with earlier requests (a page
    // fetch after its redirect probe); unset: when this request starts. A bound already spent ends
    // the request before it connects.
    std::optional<std::chrono::steady_clock::time_point> totalSince;
};

struct HttpHeader
{
    QByteArray name;
    QByteArray value;
};

// Why a request got no complete answer, by kind: what a link check's verdict is made of.
enum class HttpFailure
{
    None,       // the transfer completed
    Timeout,    // a connect, idle or total time-out ran out
    NameLookup, // the host name could not be resolved
    Refused,    // the connection was refused (or could not be made)
    Tls,        // the TLS handshake or the certificate failed
    Reset,      // the connection closed or broke before an answer was read
    Cancelled,  // a cancel flag or cancelAll() ended it
    Other,      // anything else (a broken body, a bound of ours)
};

// The outcome of one request; a failure is data, never an exception.
struct HttpResult
{
    int statusCode = -1;       // -1 when no status line arrived
    QByteArray statusLine;     // as received, e.g. "HTTP/1.1 200 OK", without CR LF
    QList<HttpHeader> headers; // of the last response
    QByteArray body;           // decoded from gzip/deflate
    QByteArray location;       // the Location header as sent; redirects are never followed
    QString error;             // empty when the transfer completed
    HttpFailure failure = HttpFailure::None;
    long osErrno = 0; // the system's error number of a failed connection, 0 when none
    qint64 elapsedMs = 0;

    bool completed() const { return error.isEmpty(); }

    // The first header of that name (ASCII case ignored), or a null array.
    QByteArray header(QByteArrayView name) const;
};

// Runs one request to its end on the calling thread, on a connection of its own. Connect, idle and
// total time-outs are kept to the millisecond; the cancel flag is looked at every few milliseconds.
// An empty user agent sends no User-Agent header. Any status is a completed transfer: a 404 is
// statusCode 404 with an empty error; what a status means is the caller's business.
HttpResult performRequest(const HttpRequest &request);

// Many requests over one curl multi handle, driven on the thread that calls poll(); connections
// and looked-up names are kept between its requests and reused, nothing else is (no cookies).
// Every member is for that one thread except wakeup(), which any thread may call.
class HttpSession final
{
public:
    using Done = std::function<void(HttpResult)>;

    // maxConnections: idle connections kept for reuse (0: curl's own choice).
    explicit HttpSession(int maxConnections = 0);
    ~HttpSession();
    HttpSession(const HttpSession &) = delete;
    HttpSession &operator=(const HttpSession &) = delete;

    // Starts a request; done runs on this thread, inside a later poll() or cancelAll(), once it ended.
    void start(const HttpRequest &request, Done done);
    // Requests whose done has yet to run.
    int inFlight() const;
    // Waits at most maxWaitMs (less when a time-out falls due) for network activity, moves every
    // transfer on, and runs done for each request that ended.
    void poll(int maxWaitMs);
    // Ends every request in flight at once with the error "Operation cancelled".
    void cancelAll();
    // Any thread: makes the poll() or pause() in progress, or else the next one, return at once.
    void wakeup();
    // Waits maxWaitMs, or less when wakeup() is called; runs nothing. For a caller with nothing in
    // flight that waits to start the next request.
    void pause(int maxWaitMs);
    // Runs one request to its end, reusing the session's connections.
    HttpResult perform(const HttpRequest &request);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The bytes handed to curl for an address: UTF-8, with spaces, control characters and non-ASCII
// bytes after the host percent-encoded (as browsers send them); everything else is left as written.
QByteArray requestUrlBytes(const QString &address);

// The error of a request ended by its total time-out.
QString totalTimeoutMessage(int totalTimeoutMs);

// The error of a request ended by its cancel flag or by HttpSession::cancelAll().
inline constexpr QLatin1StringView kCancelledMessage{"Operation cancelled"};

// curl_global_init/cleanup for the life of main(); create it first.
class CurlGlobal final
{
public:
    CurlGlobal();
    ~CurlGlobal();
    CurlGlobal(const CurlGlobal &) = delete;
    CurlGlobal &operator=(const CurlGlobal &) = delete;
};

} // namespace quorvel
