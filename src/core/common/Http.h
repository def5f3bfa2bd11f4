#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <atomic>

namespace quorvel {

enum class HttpMethod { Get, Head, Post };

// One request, for every use: page fetch, link check, form post.
struct HttpRequest
{
    QString url;
    HttpMethod method = HttpMethod::Get;
    QString userAgent;
    QByteArray body;               // POST only
    QByteArray contentType;        // POST only
    QList<QByteArray> extraHeaders; // "Name: value"
    int connectTimeoutMs = 0;      // 0: no limit of ours
    int idleTimeoutMs = 0;         // longest wait for the next byte; 0: no limit of ours
    qint64 bodyLimit = -1;         // decoded body bytes; -1: no limit
    bool discardBody = false;      // read the body and drop it (link checks)
    const std::atomic<bool> *cancel = nullptr; // aborts the transfer at once when it turns true
};

struct HttpHeader
{
    QByteArray name;
    QByteArray value;
};

// The outcome of one request; a failure is data, never an exception.
struct HttpResult
{
    int statusCode = -1;         // -1 when no status line arrived
    QByteArray statusLine;       // as received, e.g. "HTTP/1.1 200 OK", without CR LF
    QList<HttpHeader> headers;   // of the last response
    QByteArray body;             // decoded from gzip/deflate
    QByteArray location;         // the Location header as sent; redirects are never followed
    QString error;               // empty when the transfer completed
    qint64 elapsedMs = 0;

    bool completed() const { return error.isEmpty(); }
    // The first header of that name (ASCII case ignored), or a null array.
    QByteArray header(QByteArrayView name) const;
};

// Runs one request to its end on the calling thread.
HttpResult PerformRequest(const HttpRequest &request);

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
