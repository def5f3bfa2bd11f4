#include "core/common/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>
#include <zlib.h>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

// How long perform() waits when nothing else is due; curl's own timers still wake it earlier.
constexpr int kIdleWaitMs = 1000;
// The longest a transfer with a cancel flag goes unobserved: nobody can wake the loop for a flag.
constexpr int kCancelCheckMs = 5;
constexpr long kConnectBackstopMs = 20;
constexpr QLatin1StringView kNoFinalAnswer{"No final answer (only an interim 1xx response)"};

qint64 roundedMs(Clock::duration d)
{
    using namespace std::chrono;
    return (duration_cast<microseconds>(d).count() + 500) / 1000;
}

qint64 msUntil(Clock::time_point now, Clock::time_point due)
{
    using namespace std::chrono;
    if (due <= now) {
        return 0;
    }
    // Rounded up, so the wait never ends just before the time-out is due.
    return (duration_cast<microseconds>(due - now).count() + 999) / 1000;
}

bool startsWithHttpSlash(QByteArrayView line)
{
    return line.size() >= 5 && QByteArrayView(line.first(5)).compare("HTTP/", Qt::CaseInsensitive) == 0;
}

// The three-digit code after the protocol version, or -1.
int statusCodeOf(QByteArrayView line)
{
    qsizetype i = line.indexOf(' ');
    if (i < 0) {
        return -1;
    }
    while (i < line.size() && line[i] == ' ') {
        ++i;
    }
    int code = 0;
    int digits = 0;
    while (i < line.size() && digits < 3 && line[i] >= '0' && line[i] <= '9') {
        code = code * 10 + (line[i] - '0');
        ++digits;
        ++i;
    }
    return digits == 3 ? code : -1;
}

// Header values end up in request lines; a CR or LF would start a header of its own.
QByteArray withoutLineBreaks(QByteArray value)
{
    value.replace('\r', ' ');
    value.replace('\n', ' ');
    return value;
}

// Inflates a gzip or deflate body. Done here rather than by libcurl, which takes a compressed
// stream that stops early for the whole body when the response around it is complete: the page
// would then be scanned cut short.
class BodyDecoder final
{
public:
    enum class Kind
    {
        Gzip,
        Deflate
    };

    explicit BodyDecoder(Kind kind)
        : m_kind(kind)
    {
        // gzip: its container and checksum; deflate: a zlib stream, or bare deflate data (below).
        m_ready = inflateInit2(&m_z, kind == Kind::Gzip ? MAX_WBITS + 16 : MAX_WBITS) == Z_OK;
    }

    ~BodyDecoder()
    {
        if (m_ready) {
            inflateEnd(&m_z);
        }
    }

    BodyDecoder(const BodyDecoder &) = delete;
    BodyDecoder &operator=(const BodyDecoder &) = delete;

    // Feeds compressed bytes; take receives the decoded ones in pieces and returns false to stop.
    // False when the stream is broken (error() says why) or take stopped it.
    template <typename Take> bool feed(const char *data, size_t size, Take &&take)
    {
        if (!m_ready) {
            m_error = u"Error while processing content unencoding: zlib could not start"_s;
            return false;
        }
        if (m_finished) {
            return true; // bytes after the end of the stream are ignored
        }
        // A zlib stream shows its first bytes early; past 64 KiB without any, the retry is off.
        const bool mayRetryBare = m_kind == Kind::Deflate && !m_bare && !m_producedAny && !m_retryOff &&
                                  m_seen.size() + qsizetype(size) <= 65536;
        if (mayRetryBare) {
            m_seen.append(data, qsizetype(size));
        } else {
            m_retryOff = true;
            m_seen.clear();
        }
        m_z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        m_z.avail_in = uInt(size);
        char out[16384];
        for (;;) {
            m_z.next_out = reinterpret_cast<Bytef *>(out);
            m_z.avail_out = sizeof out;
            const int rc = inflate(&m_z, Z_NO_FLUSH);
            const size_t produced = sizeof out - m_z.avail_out;
            if (produced > 0) {
                m_producedAny = true;
                if (!take(out, produced)) {
                    return false;
                }
            }
            if (rc == Z_STREAM_END) {
                m_finished = true;
                return true;
            }
            if (rc == Z_OK && (m_z.avail_in > 0 || m_z.avail_out == 0)) {
                continue;
            }
            if (rc == Z_OK || rc == Z_BUF_ERROR) {
                return true; // all taken; more input is needed
            }
            if (mayRetryBare && !m_producedAny) {
                // Some servers send "deflate" as bare deflate data, without the zlib wrapper.
                inflateEnd(&m_z);
                m_z = z_stream{};
                m_bare = true;
                m_ready = inflateInit2(&m_z, -MAX_WBITS) == Z_OK;
                const QByteArray seen = std::exchange(m_seen, QByteArray());
                return feed(seen.constData(), size_t(seen.size()), take);
            }
            m_error = u"Error while processing content unencoding: %1"_s.arg(m_z.msg ? QString::fromUtf8(m_z.msg)
                                                                                     : u"zlib error %1"_s.arg(rc));
            return false;
        }
    }

    bool finished() const { return m_finished; }

    QString error() const { return m_error; }

private:
    z_stream m_z{};
    Kind m_kind;
    bool m_ready = false;
    bool m_bare = false;
    bool m_producedAny = false;
    bool m_finished = false;
    bool m_retryOff = false; // the bare retry can no longer replay the whole input
    QByteArray m_seen;       // deflate input until it has proved to be a zlib stream
    QString m_error;
};

struct Transfer
{
    CURL *easy = nullptr;
    curl_slist *headerList = nullptr;
    QByteArray postBody; // curl reads it in place
    const std::atomic<bool> *cancel = nullptr;
    int connectTimeoutMs = 0;
    int idleTimeoutMs = 0;
    int totalTimeoutMs = 0;
    qint64 bodyLimit = -1;
    bool discardBody = false;
    HttpSession::Done done;

    HttpResult result;
    Clock::time_point started;
    Clock::time_point lastActivity;
    bool connected = false;
    curl_off_t downloaded = 0;
    curl_off_t uploaded = 0;
    qint64 bodyBytes = 0;
    qint64 compressedBytes = 0; // of a body being decoded
    bool decoderChosen = false;
    std::unique_ptr<BodyDecoder> decoder; // for a gzip or deflate body
    QString abortReason;                  // why one of our callbacks stopped the transfer
    char errorBuffer[CURL_ERROR_SIZE] = {};

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
};

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t n = size * count;
    t->lastActivity = Clock::now();
    if (t->cancelled()) {
        t->abortReason = kCancelledMessage;
        return 0;
    }
    QByteArrayView line(data, qsizetype(n));
    if (line.endsWith('\n')) {
        line.chop(1);
    }
    if (line.endsWith('\r')) {
        line.chop(1);
    }
    HttpResult &r = t->result;
    if (startsWithHttpSlash(line)) {
        // Each response (an interim 1xx too) starts with its status line; the last one counts.
        r.statusLine = line.toByteArray();
        r.statusCode = statusCodeOf(line);
        r.headers.clear();
    } else if (line.isEmpty()) {
        // the blank line that ends a header block
    } else if (line.front() == ' ' || line.front() == '\t') {
        if (!r.headers.isEmpty()) {
            r.headers.last().value += ' ' + line.trimmed().toByteArray();
        }
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        r.headers.append({line.first(colon).trimmed().toByteArray(), line.sliced(colon + 1).trimmed().toByteArray()});
    }
    return n;
}

// False (with the reason) once bytes pass the transfer's body limit.
bool withinBodyLimit(Transfer *t, qint64 bytes, qint64 limit)
{
    if (t->bodyLimit >= 0 && bytes > limit) {
        t->abortReason = u"The response body is larger than %1 bytes"_s.arg(t->bodyLimit);
        return false;
    }
    return true;
}

// Takes decoded body bytes; false (with the reason) once they pass the limit.
bool takeBody(Transfer *t, const char *data, size_t n)
{
    t->bodyBytes += qint64(n);
    // Decoded bytes arrive in pieces of at most 16 KiB, so a decompression bomb stops here with
    // little more than the limit in memory.
    if (!withinBodyLimit(t, t->bodyBytes, t->bodyLimit)) {
        return false;
    }
    if (!t->discardBody) {
        t->result.body.append(data, qsizetype(n));
    }
    return true;
}

// The decoder the response's Content-Encoding asks for; false (with the reason) for one we cannot
// decode.
bool chooseDecoder(Transfer *t)
{
    QList<QByteArray> codings;
    for (const QByteArray &coding : t->result.header("Content-Encoding").split(',')) {
        const QByteArray name = coding.trimmed().toLower();
        if (!name.isEmpty() && name != "identity") {
            codings.append(name);
        }
    }
    if (codings.isEmpty()) {
        return true;
    }
    if (codings.size() == 1 && (codings.front() == "gzip" || codings.front() == "x-gzip")) {
        t->decoder = std::make_unique<BodyDecoder>(BodyDecoder::Kind::Gzip);
        return true;
    }
    if (codings.size() == 1 && codings.front() == "deflate") {
        t->decoder = std::make_unique<BodyDecoder>(BodyDecoder::Kind::Deflate);
        return true;
    }
    t->abortReason = u"Unrecognized content encoding type: %1"_s.arg(QString::fromLatin1(codings.join(", ")));
    return false;
}

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t n = size * count;
    t->lastActivity = Clock::now();
    if (t->cancelled()) {
        t->abortReason = kCancelledMessage;
        return n == 0 ? 1 : 0;
    }
    if (!t->decoderChosen) {
        t->decoderChosen = true;
        if (!chooseDecoder(t)) {
            return 0;
        }
    }
    if (!t->decoder) {
        return takeBody(t, data, n) ? n : 0;
    }
    // Compressed bytes that never decode to anything still end at the limit (stored blocks make
    // honest data at most a little larger than it decodes to).
    t->compressedBytes += qint64(n);
    if (!withinBodyLimit(t, t->compressedBytes, t->bodyLimit + t->bodyLimit / 64 + 1024)) {
        return 0;
    }
    const bool ok =
        t->decoder->feed(data, n, [t](const char *decoded, size_t length) { return takeBody(t, decoded, length); });
    if (!ok) {
        if (t->abortReason.isEmpty()) {
            t->abortReason = t->decoder->error();
        }
        return 0;
    }
    return n;
}

int onProgress(void *user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded)
{
    auto *t = static_cast<Transfer *>(user);
    if (downloaded != t->downloaded || uploaded != t->uploaded) {
        t->downloaded = downloaded;
        t->uploaded = uploaded;
        t->lastActivity = Clock::now();
    }
    if (t->cancelled()) {
        t->abortReason = kCancelledMessage;
        return 1;
    }
    return 0;
}

// Runs once the connection is up (TLS included) or taken from the cache: the connect phase ends and
// the idle clock starts.
int onConnected(void *user, char *, char *, int, int)
{
    auto *t = static_cast<Transfer *>(user);
    t->connected = true;
    t->lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

void configure(Transfer &t, const HttpRequest &request)
{
    CURL *e = t.easy;
    curl_easy_setopt(e, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.errorBuffer);
    curl_easy_setopt(e, CURLOPT_URL, RequestUrlBytes(request.url).constData());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "deflate, gzip, identity");
    curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L); // see BodyDecoder
    curl_easy_setopt(e, CURLOPT_PROXY, "");
    // Old servers still answer; modern ones still negotiate TLS 1.3. Certificates are not checked.
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(e, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_0));
    curl_easy_setopt(e, CURLOPT_SSL_CIPHER_LIST, "DEFAULT:@SECLEVEL=0");
    if (!request.userAgent.isEmpty()) {
        curl_easy_setopt(e, CURLOPT_USERAGENT, withoutLineBreaks(request.userAgent.toUtf8()).constData());
    }
    if (request.connectTimeoutMs > 0) {
        // Our own loop ends the connect phase on time; curl's limit, a little later, is only a
        // backstop (its clock starts later and rounds, so an equal limit can fire a millisecond early).
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(request.connectTimeoutMs) + kConnectBackstopMs);
    }

    switch (request.method) {
    case HttpMethod::Get:
        break;
    case HttpMethod::Head:
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
        break;
    case HttpMethod::Post:
        t.postBody = request.body;
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(t.postBody.size()));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, t.postBody.constData());
        if (!request.contentType.isEmpty()) {
            const QByteArray header = "Content-Type: " + withoutLineBreaks(request.contentType);
            t.headerList = curl_slist_append(t.headerList, header.constData());
        }
        // No "Expect: 100-continue" round trip before larger bodies.
        t.headerList = curl_slist_append(t.headerList, "Expect:");
        break;
    }
    for (const QByteArray &header : request.extraHeaders) {
        if (!header.contains('\r') && !header.contains('\n')) {
            t.headerList = curl_slist_append(t.headerList, header.constData());
        }
    }
    if (t.headerList) {
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.headerList);
    }

    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &onConnected);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, &t);
}

} // namespace

QByteArray HttpResult::header(QByteArrayView name) const
{
    for (const HttpHeader &h : headers) {
        if (h.name.compare(name, Qt::CaseInsensitive) == 0) {
            return h.value;
        }
    }
    return {};
}

QByteArray RequestUrlBytes(const QString &address)
{
    const QByteArray utf8 = address.toUtf8();
    qsizetype from = utf8.size();
    if (const qsizetype scheme = utf8.indexOf("://"); scheme >= 0) {
        from = scheme + 3;
        while (from < utf8.size() && utf8[from] != '/' && utf8[from] != '?' && utf8[from] != '#') {
            ++from;
        }
    }
    QByteArray out = utf8.first(from);
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (qsizetype i = from; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c <= 0x20 || c >= 0x7f) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

struct HttpSession::Impl
{
    CURLM *multi = nullptr;
    std::vector<std::unique_ptr<Transfer>> transfers;
    // Ended transfers whose done has yet to run, in the order they ended.
    std::vector<std::unique_ptr<Transfer>> ended;

    void end(Transfer *t, CURLcode code, const QString &reason = {});
    void checkDeadlines(Clock::time_point now);
    int waitMs(Clock::time_point now, int maxWaitMs) const;
    void deliver();
};

void HttpSession::Impl::end(Transfer *t, CURLcode code, const QString &reason)
{
    HttpResult &r = t->result;
    r.elapsedMs = roundedMs(Clock::now() - t->started);
    if (!reason.isEmpty()) {
        r.error = reason;
    } else if (code == CURLE_OK) {
        r.error = t->decoder && !t->decoder->finished() ? u"The compressed response body is cut short"_s : QString();
    } else if (!t->abortReason.isEmpty()) {
        r.error = t->abortReason;
    } else if (code == CURLE_OPERATION_TIMEDOUT && !t->connected && t->connectTimeoutMs > 0) {
        r.error = u"Connection timed out after %1 ms"_s.arg(t->connectTimeoutMs);
    } else if (code == CURLE_OUT_OF_MEMORY) {
        // curl's answer to a header line over its 100 KiB limit, far more often than to a full memory.
        r.error = u"A response header line is too long (or memory ran out)"_s;
    } else if (t->errorBuffer[0] != '\0') {
        r.error = QString::fromUtf8(t->errorBuffer);
    } else {
        r.error = QString::fromUtf8(curl_easy_strerror(code));
    }
    if (r.error.isEmpty() && code != CURLE_OK) {
        r.error = u"Transfer failed"_s;
    }
    if (r.statusCode >= 100 && r.statusCode <= 199) {
        // Only interim answers arrived (the connection closed or a bound ran out after them): that is
        // no answer at all, whatever the transport made of it.
        r.statusCode = -1;
        r.statusLine.clear();
        r.headers.clear();
        if (r.error != kCancelledMessage) {
            r.error = r.error.isEmpty() ? QString(kNoFinalAnswer) : QString(kNoFinalAnswer + u": "_s + r.error);
        }
    }
    if (!r.error.isEmpty()) {
        r.body.clear(); // a body cut short is no body
    }
    r.location = r.header("Location");

    if (t->easy) {
        curl_multi_remove_handle(multi, t->easy);
        curl_easy_cleanup(t->easy);
        t->easy = nullptr;
    }
    curl_slist_free_all(t->headerList);
    t->headerList = nullptr;

    const auto it = std::find_if(transfers.begin(), transfers.end(), [t](const auto &p) { return p.get() == t; });
    if (it != transfers.end()) {
        ended.push_back(std::move(*it));
        *it = std::move(transfers.back());
        transfers.pop_back();
    }
}

void HttpSession::Impl::checkDeadlines(Clock::time_point now)
{
    std::vector<std::pair<Transfer *, QString>> due;
    for (const auto &p : transfers) {
        Transfer *t = p.get();
        if (t->cancelled()) {
            due.emplace_back(t, QString(kCancelledMessage));
        } else if (!t->connected && t->connectTimeoutMs > 0 &&
                   now - t->started >= std::chrono::milliseconds(t->connectTimeoutMs)) {
            due.emplace_back(t, u"Connection timed out after %1 ms"_s.arg(t->connectTimeoutMs));
        } else if (t->connected && t->idleTimeoutMs > 0 &&
                   now - t->lastActivity >= std::chrono::milliseconds(t->idleTimeoutMs)) {
            due.emplace_back(t, u"No data received for %1 ms"_s.arg(t->idleTimeoutMs));
        } else if (t->totalTimeoutMs > 0 && now - t->started >= std::chrono::milliseconds(t->totalTimeoutMs)) {
            // A server that trickles a byte now and then never trips the idle bound.
            due.emplace_back(t, u"The answer took longer than %1 ms"_s.arg(t->totalTimeoutMs));
        }
    }
    for (const auto &[t, reason] : due) {
        end(t, CURLE_OK, reason);
    }
}

int HttpSession::Impl::waitMs(Clock::time_point now, int maxWaitMs) const
{
    qint64 wait = std::max(0, maxWaitMs);
    for (const auto &p : transfers) {
        const Transfer *t = p.get();
        if (t->cancel) {
            wait = std::min<qint64>(wait, kCancelCheckMs);
        }
        if (!t->connected && t->connectTimeoutMs > 0) {
            wait = std::min(wait, msUntil(now, t->started + std::chrono::milliseconds(t->connectTimeoutMs)));
        } else if (t->connected && t->idleTimeoutMs > 0) {
            wait = std::min(wait, msUntil(now, t->lastActivity + std::chrono::milliseconds(t->idleTimeoutMs)));
        }
        if (t->totalTimeoutMs > 0) {
            wait = std::min(wait, msUntil(now, t->started + std::chrono::milliseconds(t->totalTimeoutMs)));
        }
    }
    return int(wait);
}

void HttpSession::Impl::deliver()
{
    // done may start new requests, so the list is taken first.
    std::vector<std::unique_ptr<Transfer>> batch;
    batch.swap(ended);
    for (auto &t : batch) {
        if (t->done) {
            t->done(std::move(t->result));
        }
    }
}

HttpSession::HttpSession(int maxConnections)
    : d(std::make_unique<Impl>())
{
    d->multi = curl_multi_init();
    if (d->multi) {
        curl_multi_setopt(d->multi, CURLMOPT_PIPELINING, long(CURLPIPE_NOTHING));
        if (maxConnections > 0) {
            curl_multi_setopt(d->multi, CURLMOPT_MAXCONNECTS, long(maxConnections));
        }
    }
}

HttpSession::~HttpSession()
{
    for (auto &t : d->transfers) {
        curl_multi_remove_handle(d->multi, t->easy);
        curl_easy_cleanup(t->easy);
        curl_slist_free_all(t->headerList);
    }
    if (d->multi) {
        curl_multi_cleanup(d->multi);
    }
}

void HttpSession::start(const HttpRequest &request, Done done)
{
    auto owned = std::make_unique<Transfer>();
    Transfer *t = owned.get();
    t->cancel = request.cancel;
    t->connectTimeoutMs = std::max(0, request.connectTimeoutMs);
    t->idleTimeoutMs = std::max(0, request.idleTimeoutMs);
    t->totalTimeoutMs = std::max(0, request.totalTimeoutMs);
    t->bodyLimit = request.bodyLimit;
    t->discardBody = request.discardBody;
    t->done = std::move(done);
    t->started = Clock::now();
    t->lastActivity = t->started;
    d->transfers.push_back(std::move(owned));

    if (t->cancelled()) {
        d->end(t, CURLE_OK, QString(kCancelledMessage));
        return;
    }
    t->easy = d->multi ? curl_easy_init() : nullptr;
    if (!t->easy) {
        d->end(t, CURLE_OK, u"Could not create an HTTP transfer"_s);
        return;
    }
    configure(*t, request);
    if (const CURLMcode rc = curl_multi_add_handle(d->multi, t->easy); rc != CURLM_OK) {
        d->end(t, CURLE_OK, QString::fromUtf8(curl_multi_strerror(rc)));
    }
}

int HttpSession::inFlight() const
{
    // A request that ended at once is in flight until poll() has run its done.
    return int(d->transfers.size() + d->ended.size());
}

void HttpSession::poll(int maxWaitMs)
{
    if (!d->transfers.empty()) {
        d->checkDeadlines(Clock::now());
    }
    if (!d->transfers.empty()) {
        int ready = 0;
        curl_multi_poll(d->multi, nullptr, 0, d->waitMs(Clock::now(), maxWaitMs), &ready);
        int running = 0;
        curl_multi_perform(d->multi, &running);
        int queued = 0;
        while (CURLMsg *msg = curl_multi_info_read(d->multi, &queued)) {
            if (msg->msg != CURLMSG_DONE) {
                continue;
            }
            Transfer *t = nullptr;
            curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &t);
            const CURLcode code = msg->data.result; // msg dies with the handle
            if (t) {
                d->end(t, code);
            }
        }
        d->checkDeadlines(Clock::now());
    }
    d->deliver();
}

void HttpSession::cancelAll()
{
    while (!d->transfers.empty()) {
        d->end(d->transfers.back().get(), CURLE_OK, QString(kCancelledMessage));
    }
    d->deliver();
}

void HttpSession::wakeup()
{
    if (d->multi) {
        curl_multi_wakeup(d->multi);
    }
}

HttpResult HttpSession::perform(const HttpRequest &request)
{
    HttpResult out;
    bool ended = false;
    start(request, [&](HttpResult r) {
        out = std::move(r);
        ended = true;
    });
    while (!ended) {
        poll(kIdleWaitMs);
    }
    return out;
}

HttpResult PerformRequest(const HttpRequest &request)
{
    HttpSession session;
    return session.perform(request);
}

CurlGlobal::CurlGlobal()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlGlobal::~CurlGlobal()
{
    curl_global_cleanup();
}

} // namespace quorvel
