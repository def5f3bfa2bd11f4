#include "core/collect/PageFetcher.h"

#include "core/common/Charset.h"
#include "core/common/Http.h"
#include "core/common/Text.h"

#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

bool isWebAddress(const QString &address)
{
    return startsWithAsciiCI(address, u"http://") || startsWithAsciiCI(address, u"https://");
}

// A header value as text: UTF-8 when it is valid UTF-8, else every byte as its own code.
QString headerText(const QByteArray &value)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(value);
    if (utf8.hasError()) {
        text = QString::fromLatin1(value);
    }
    return text;
}

QString statusLineOf(const HttpResult &result)
{
    if (!result.statusLine.isEmpty()) {
        return QString::fromLatin1(result.statusLine);
    }
    return u"HTTP status %1"_s.arg(result.statusCode);
}

// Why an answer that arrived whole still gives no page; empty when its body is the page.
QString refusalOf(const HttpResult &result)
{
    const int status = result.statusCode;
    if (status < 0) {
        return u"The server sent no HTTP answer"_s;
    }
    QString statusLine = statusLineOf(result);
    if (status >= 200 && status <= 299) {
        return {};
    }
    if (status == 304) {
        return statusLine + u": the server sent no page"_s;
    }
    if (status >= 300 && status <= 399) {
        if (!result.location.isEmpty()) {
            return {};
        }
        return statusLine + u": a redirect without a Location"_s;
    }
    if (status == 401) {
        return statusLine + u": the page needs a user name and password"_s;
    }
    if (status == 407) {
        return statusLine + u": the proxy needs a user name and password"_s;
    }
    if (status >= 400 && status <= 599) {
        return statusLine;
    }
    return statusLine + u": not a page answer"_s;
}

} // namespace

FetchedPage FetchPage(const QString &address, const FetchOptions &options)
{
    FetchedPage page;
    if (!isWebAddress(address)) {
        page.error = u"Unknown Protocol"_s;
        return page;
    }
    // A stop that came before the request: no connection is made at all.
    if (options.cancel != nullptr && options.cancel->load()) {
        page.error = QString(kCancelledMessage);
        return page;
    }

    HttpRequest request;
    request.url = address;
    request.method = HttpMethod::Get;
    request.userAgent = options.userAgent;
    request.connectTimeoutMs = options.connectTimeoutMs;
    request.idleTimeoutMs = options.idleTimeoutMs;
    request.totalTimeoutMs = options.totalTimeoutMs;
    request.totalSince = options.totalSince;
    request.bodyLimit = options.maxBytes;
    request.cancel = options.cancel;
    const HttpResult result = performRequest(request);

    page.statusCode = result.statusCode;
    if (!result.completed()) {
        page.error = result.error;
        return page;
    }
    // The transport enforces the limit; a body over it is never a page, whoever let it through.
    if (options.maxBytes >= 0 && result.body.size() > options.maxBytes) {
        page.error = u"The page is larger than %1 bytes"_s.arg(options.maxBytes);
        return page;
    }
    page.error = refusalOf(result);
    if (!page.error.isEmpty()) {
        return page;
    }
    if (result.statusCode >= 300) {
        page.redirectLocation = headerText(result.location);
    }
    page.text = normaliseLineEnds(decodeBody(result.header("Content-Type"), result.body));
    return page;
}

} // namespace quorvel
