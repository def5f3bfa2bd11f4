#include "core/common/Http.h"

#include "core/common/Logging.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <poll.h>
#include <string_view>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <unordered_set>
#include <utility>
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
        return m_kind == Kind::Gzip ? feedGzip(data, size, take) : feedDeflate(data, size, take);
    }

    // True once the input seen so far ends a whole stream (every gzip member begun has ended).
    bool finished() const { return m_finished; }

    QString error() const { return m_error; }

private:
    enum class Step
    {
        More,    // all input taken; more may follow
        Stopped, // take stopped it
        Broken   // the data is not a valid stream
    };

    // Inflates until the input runs out or the stream ends; data and size are left at what was not
    // taken (bytes after the end of a stream).
    template <typename Take> Step inflateSome(const char *&data, size_t &size, Take &take)
    {
        m_z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        m_z.avail_in = uInt(size);
        std::array<char, 16384> out;
        Step step = Step::More;
        for (;;) {
            m_z.next_out = reinterpret_cast<Bytef *>(out.data());
            m_z.avail_out = uInt(out.size());
            const int rc = inflate(&m_z, Z_NO_FLUSH);
            const size_t produced = out.size() - m_z.avail_out;
            if (produced > 0) {
                m_producedAny = true;
                if (!take(out.data(), produced)) {
                    step = Step::Stopped;
                    break;
                }
            }
            if (rc == Z_STREAM_END) {
                m_finished = true;
                break;
            }
            if (rc == Z_OK && (m_z.avail_in > 0 || m_z.avail_out == 0)) {
                continue;
            }
            if (rc != Z_OK && rc != Z_BUF_ERROR) {
                m_error = u"Error while processing content unencoding: %1"_s.arg(m_z.msg ? QString::fromUtf8(m_z.msg)
                                                                                         : u"zlib error %1"_s.arg(rc));
                step = Step::Broken;
            }
            break;
        }
        data = reinterpret_cast<const char *>(m_z.next_in);
        size = m_z.avail_in;
        return step;
    }

    // A gzip body may hold several members one after another; each is decoded, as gzip -d does.
    // Anything after a member that does not start another one is ignored, as before.
    template <typename Take> bool feedGzip(const char *data, size_t size, Take &take)
    {
        while (size > 0) {
            if (m_finished && !beginNextMember(data, size, take)) {
                return m_error.isEmpty();
            }
            const Step step = inflateSome(data, size, take);
            if (step != Step::More) {
                return false;
            }
        }
        return true;
    }

    // After a member: true when the bytes start another one (its first bytes then fed), false when
    // more bytes are needed to tell, or when they are trailing bytes to ignore.
    template <typename Take> bool beginNextMember(const char *&data, size_t &size, Take &take)
    {
        if (m_trailing) {
            size = 0;
            return false;
        }
        while (m_magic.size() < 2 && size > 0) {
            m_magic.append(*data);
            ++data;
            --size;
        }
        if (m_magic.size() < 2) {
            return false;
        }
        if (m_magic != QByteArrayView("\x1f\x8b")) {
            m_trailing = true;
            size = 0;
            return false;
        }
        inflateReset(&m_z);
        m_finished = false;
        const char *magic = m_magic.constData();
        size_t magicSize = 2;
        const Step step = inflateSome(magic, magicSize, take);
        m_magic.clear();
        return step == Step::More;
    }

    template <typename Take> bool feedDeflate(const char *data, size_t size, Take &take)
    {
        if (m_finished) {
            return true; // bytes after the end of the stream are ignored
        }
        // A zlib stream shows its first bytes early; past 64 KiB without any, the retry is off.
        const bool mayRetryBare = !m_bare && !m_producedAny && !m_retryOff && m_seen.size() + qsizetype(size) <= 65536;
        if (mayRetryBare) {
            m_seen.append(data, qsizetype(size));
        } else {
            m_retryOff = true;
            m_seen.clear();
        }
        const Step step = inflateSome(data, size, take);
        if (step == Step::Broken && mayRetryBare && !m_producedAny) {
            // Some servers send "deflate" as bare deflate data, without the zlib wrapper.
            inflateEnd(&m_z);
            m_z = z_stream{};
            m_bare = true;
            m_error.clear();
            m_ready = inflateInit2(&m_z, -MAX_WBITS) == Z_OK;
            const QByteArray seen = std::exchange(m_seen, QByteArray());
            return feed(seen.constData(), size_t(seen.size()), take);
        }
        return step == Step::More;
    }

    z_stream m_z{};
    Kind m_kind;
    bool m_ready = false;
    bool m_bare = false;
    bool m_producedAny = false;
    bool m_finished = false;
    bool m_retryOff = false; // the bare retry can no longer replay the whole input
    bool m_trailing = false; // gzip: bytes after the last member, ignored
    QByteArray m_seen;       // deflate input until it has proved to be a zlib stream
    QByteArray m_magic;      // gzip: the first bytes after a member, until they tell a new member
    QString m_error;
};

// More codings than any server applies in earnest; a longer list is refused.
constexpr qsizetype kMaxContentCodings = 4;

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
    qsizetype keepBodyBytes = 0;
    HttpSession::Done done;
    const char *method = "GET"; // for the debug log
    QString url;

    HttpResult result;
    Clock::time_point started;
    Clock::time_point totalStart; // when the total time-out's clock started
    Clock::time_point lastActivity;
    bool connected = false;
    curl_off_t downloaded = 0;
    curl_off_t uploaded = 0;
    qint64 bodyBytes = 0;
    bool decoderChosen = false;
    // For a coded body, one decoder per coding in the order they are undone (the reverse of the
    // order they were applied), and the bytes each one has been fed.
    std::vector<std::unique_ptr<BodyDecoder>> decoders;
    std::vector<qint64> codedBytes;
    QString abortReason; // why one of our callbacks stopped the transfer
    std::array<char, CURL_ERROR_SIZE> errorBuffer{};

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
        r.headers.reserve(16); // room for a usual answer's lines at once
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
    } else if (const qsizetype room = t->keepBodyBytes - t->result.body.size(); room > 0) {
        t->result.body.append(data, std::min(room, qsizetype(n)));
    }
    return true;
}

// The decoders the response's Content-Encoding asks for. Every Content-Encoding line counts, in
// order, so "gzip" and "gzip" on two lines are the same stack as "gzip, gzip" on one. False (with
// the reason) for a coding we cannot decode or a stack too deep.
bool chooseDecoders(Transfer *t)
{
    QList<QByteArray> codings; // in the order they were applied
    for (const HttpHeader &h : std::as_const(t->result.headers)) {
        if (h.name.compare("Content-Encoding", Qt::CaseInsensitive) != 0) {
            continue;
        }
        for (const QByteArray &coding : h.value.split(',')) {
            const QByteArray name = coding.trimmed().toLower();
            if (!name.isEmpty() && name != "identity") {
                codings.append(name);
            }
        }
    }
    if (codings.isEmpty()) {
        return true;
    }
    const QString list = QString::fromLatin1(codings.join(", "));
    if (codings.size() > kMaxContentCodings) {
        t->abortReason = u"Too many content encodings: %1"_s.arg(list);
        return false;
    }
    for (qsizetype i = codings.size(); i-- > 0;) {
        const QByteArray &coding = codings.at(i);
        if (coding == "gzip" || coding == "x-gzip") {
            t->decoders.push_back(std::make_unique<BodyDecoder>(BodyDecoder::Kind::Gzip));
        } else if (coding == "deflate") {
            t->decoders.push_back(std::make_unique<BodyDecoder>(BodyDecoder::Kind::Deflate));
        } else {
            t->decoders.clear();
            t->abortReason = u"Unrecognized content encoding type: %1"_s.arg(list);
            return false;
        }
    }
    t->codedBytes.assign(t->decoders.size(), 0);
    return true;
}

// Feeds coded bytes to decoder `stage`, whose output goes to the next one, and the last one's to the
// body. False (with the reason) when a stream is broken or a limit is passed.
bool feedDecoders(Transfer *t, size_t stage, const char *data, size_t n)
{
    if (stage == t->decoders.size()) {
        return takeBody(t, data, n);
    }
    // Coded bytes that never decode to anything still end at the limit (stored blocks make honest
    // data at most a little larger than it decodes to); each stage of a stack is held to it.
    t->codedBytes[stage] += qint64(n);
    if (!withinBodyLimit(t, t->codedBytes[stage], t->bodyLimit + t->bodyLimit / 64 + 1024)) {
        return false;
    }
    BodyDecoder &decoder = *t->decoders[stage];
    const bool ok = decoder.feed(data, n, [t, stage](const char *decoded, size_t length) {
        return feedDecoders(t, stage + 1, decoded, length);
    });
    if (!ok && t->abortReason.isEmpty()) {
        t->abortReason = decoder.error();
    }
    return ok;
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
        if (!chooseDecoders(t)) {
            return 0;
        }
    }
    return feedDecoders(t, 0, data, n) ? n : 0;
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

// What every request of the session asks the same way: set once on a new handle, kept while the
// handle is reused.
void configureHandle(CURL *e)
{
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L); // see BodyDecoder
    curl_easy_setopt(e, CURLOPT_PROXY, "");
    // Old servers still answer; modern ones still negotiate TLS 1.3. Certificates are not checked.
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(e, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_0));
    curl_easy_setopt(e, CURLOPT_SSL_CIPHER_LIST, "DEFAULT:@SECLEVEL=0");
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &onConnected);
}

// The header lines every request with this agent sends. They go in as header lines rather than as
// curl's agent and encoding options, which curl would format anew, a character at a time, for
// every request. The codings are decoded by BodyDecoder.
curl_slist *commonHeaders(const QByteArray &agent)
{
    curl_slist *list = nullptr;
    if (!agent.isEmpty()) {
        list = curl_slist_append(list, QByteArray("User-Agent: " + agent).constData());
    }
    return curl_slist_append(list, "Accept-Encoding: deflate, gzip, identity");
}

// What differs from request to request. Every option a request may set is set here each time, to
// its value or its default, since the handle keeps what the previous request set. shared: the
// common header lines for the request's agent, which a request without lines of its own uses as
// they are.
void configure(Transfer &t, const HttpRequest &request, const QByteArray &agent, curl_slist *shared)
{
    CURL *e = t.easy;
    curl_easy_setopt(e, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.errorBuffer.data());
    curl_easy_setopt(e, CURLOPT_URL, requestUrlBytes(request.url).constData());
    t.url = request.url;
    // Our own loop ends the connect phase on time; curl's limit, a little later, is only a backstop
    // (its clock starts later and rounds, so an equal limit can fire a millisecond early).
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                     request.connectTimeoutMs > 0 ? long(request.connectTimeoutMs) + kConnectBackstopMs : 0L);

    switch (request.method) {
    case HttpMethod::Get:
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
        break;
    case HttpMethod::Head:
        t.method = "HEAD";
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
        break;
    case HttpMethod::Post:
        // The handle is not reused after a POST (see end()), so nothing of it reaches another request.
        t.method = "POST";
        t.headerList = commonHeaders(agent);
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
    if (!request.extraHeaders.isEmpty() && !t.headerList) {
        t.headerList = commonHeaders(agent);
    }
    for (const QByteArray &header : request.extraHeaders) {
        if (!header.contains('\r') && !header.contains('\n')) {
            t.headerList = curl_slist_append(t.headerList, header.constData());
        }
    }
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.headerList ? t.headerList : shared);

    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &t);
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

namespace {

QString idleTimeoutMessage(int idleTimeoutMs)
{
    return u"No data received for %1 ms"_s.arg(idleTimeoutMs);
}

} // namespace

QString totalTimeoutMessage(int totalTimeoutMs)
{
    return u"The answer took longer than %1 ms"_s.arg(totalTimeoutMs);
}

QByteArray requestUrlBytes(const QString &address)
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
    constexpr std::string_view kHex = "0123456789ABCDEF";
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

// The kind of a request that curl ended with an error.
HttpFailure failureKind(CURLcode code, bool answered)
{
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return HttpFailure::Timeout;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return HttpFailure::NameLookup;
    case CURLE_COULDNT_CONNECT:
        return HttpFailure::Refused;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
        return HttpFailure::Tls;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        return answered ? HttpFailure::Other : HttpFailure::Reset;
    default:
        break;
    }
    return HttpFailure::Other;
}

// The session waits for its sockets with epoll and moves on only the transfers whose sockets are
// ready or whose curl timer is due (curl's socket interface), so a wait costs the same with one
// transfer in flight or a thousand. curl says which sockets to watch through onSocket and when
// its next timer falls due through onTimer; an eventfd in the same epoll set wakes a wait early.
struct HttpSession::Impl
{
    CURLM *multi = nullptr;
    int epoll = -1;
    int wakeFd = -1;
    std::unordered_set<curl_socket_t> watched;
    std::vector<CURL *> spareEasy; // handles of ended transfers, for the next ones
    // The common header lines of each agent the session has sent (few), kept while it lives.
    std::vector<std::pair<QByteArray, curl_slist *>> headersByAgent;

    curl_slist *headersFor(const QByteArray &agent)
    {
        for (const auto &[known, list] : headersByAgent) {
            if (known == agent) {
                return list;
            }
        }
        headersByAgent.emplace_back(agent, commonHeaders(agent));
        return headersByAgent.back().second;
    }
    std::optional<Clock::time_point> curlDue; // when curl wants its timer run; none: no timer
    std::vector<std::unique_ptr<Transfer>> transfers;
    // Ended transfers whose done has yet to run, in the order they ended.
    std::vector<std::unique_ptr<Transfer>> ended;

    // reason and kind: why we ended the transfer ourselves; else curl's code says.
    void end(Transfer *t, CURLcode code, const QString &reason = {}, HttpFailure kind = HttpFailure::Other);
    void checkDeadlines(Clock::time_point now);
    int waitMs(Clock::time_point now, int maxWaitMs) const;
    void deliver();
    void watch(curl_socket_t socket, int what);
    void drainWakeups() const;
    // Runs curl on the ready sockets and the due timer, and ends the transfers it finished.
    void advance(const epoll_event *events, int count);

    static int onSocket(CURL *, curl_socket_t socket, int what, void *user, void *)
    {
        static_cast<Impl *>(user)->watch(socket, what);
        return 0;
    }

    static int onTimer(CURLM *, long timeoutMs, void *user)
    {
        auto *impl = static_cast<Impl *>(user);
        if (timeoutMs < 0) {
            impl->curlDue.reset();
        } else {
            impl->curlDue = Clock::now() + std::chrono::milliseconds(timeoutMs);
        }
        return 0;
    }
};

void HttpSession::Impl::watch(curl_socket_t socket, int what)
{
    if (what == CURL_POLL_REMOVE) {
        if (watched.erase(socket) > 0) {
            ::epoll_ctl(epoll, EPOLL_CTL_DEL, socket, nullptr); // fails harmlessly once it is closed
        }
        return;
    }
    epoll_event ev{};
    ev.events = ((what & CURL_POLL_IN) != 0 ? EPOLLIN : 0u) | ((what & CURL_POLL_OUT) != 0 ? EPOLLOUT : 0u);
    ev.data.fd = socket;
    // A socket number can come back for a new connection after curl closed the old one unseen by
    // epoll, so an add that finds it known modifies, and a modify that finds it unknown adds.
    const bool known = watched.count(socket) > 0;
    if (::epoll_ctl(epoll, known ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, socket, &ev) != 0) {
        const int other = known && errno == ENOENT ? EPOLL_CTL_ADD : (!known && errno == EEXIST ? EPOLL_CTL_MOD : 0);
        if (other == 0 || ::epoll_ctl(epoll, other, socket, &ev) != 0) {
            qCWarning(lcHttp) << "could not watch socket" << socket << ":" << std::strerror(errno);
            return;
        }
    }
    watched.insert(socket);
}

void HttpSession::Impl::drainWakeups() const
{
    eventfd_t count = 0;
    ::eventfd_read(wakeFd, &count); // non-blocking: nothing to read is fine
}

void HttpSession::Impl::advance(const epoll_event *events, int count)
{
    int running = 0;
    for (int i = 0; i < count; ++i) {
        const epoll_event &ev = events[i];
        if (ev.data.fd == wakeFd) {
            drainWakeups();
            continue;
        }
        int flags = 0;
        if ((ev.events & (EPOLLIN | EPOLLHUP | EPOLLRDHUP)) != 0) {
            flags |= CURL_CSELECT_IN;
        }
        if ((ev.events & EPOLLOUT) != 0) {
            flags |= CURL_CSELECT_OUT;
        }
        if ((ev.events & EPOLLERR) != 0) {
            flags |= CURL_CSELECT_ERR;
        }
        curl_multi_socket_action(multi, ev.data.fd, flags, &running);
    }
    if (curlDue && *curlDue <= Clock::now()) {
        curlDue.reset(); // onTimer sets the next one
        curl_multi_socket_action(multi, CURL_SOCKET_TIMEOUT, 0, &running);
    }
    int queued = 0;
    while (CURLMsg *msg = curl_multi_info_read(multi, &queued)) {
        if (msg->msg != CURLMSG_DONE) {
            continue;
        }
        Transfer *t = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &t);
        const CURLcode code = msg->data.result; // msg dies with the handle
        if (t) {
            end(t, code);
        }
    }
}

void HttpSession::Impl::end(Transfer *t, CURLcode code, const QString &reason, HttpFailure kind)
{
    HttpResult &r = t->result;
    r.elapsedMs = roundedMs(Clock::now() - t->started);
    if (!reason.isEmpty()) {
        r.error = reason;
    } else if (code == CURLE_OK) {
        const bool cutShort = std::any_of(t->decoders.cbegin(), t->decoders.cend(),
                                          [](const auto &decoder) { return !decoder->finished(); });
        r.error = cutShort ? u"The compressed response body is cut short"_s : QString();
    } else if (!t->abortReason.isEmpty()) {
        r.error = t->abortReason;
    } else if (code == CURLE_OPERATION_TIMEDOUT && !t->connected && t->connectTimeoutMs > 0) {
        r.error = u"Connection timed out after %1 ms"_s.arg(t->connectTimeoutMs);
    } else if (code == CURLE_OUT_OF_MEMORY) {
        // curl's answer to a header line over its 100 KiB limit, far more often than to a full memory.
        r.error = u"A response header line is too long (or memory ran out)"_s;
    } else if (t->errorBuffer[0] != '\0') {
        r.error = QString::fromUtf8(t->errorBuffer.data());
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
        if (t->easy) {
            curl_easy_getinfo(t->easy, CURLINFO_OS_ERRNO, &r.osErrno);
        }
        if (!reason.isEmpty()) {
            r.failure = kind;
        } else if (t->abortReason == kCancelledMessage) {
            r.failure = HttpFailure::Cancelled;
        } else {
            r.failure = failureKind(code, r.statusCode >= 0);
        }
    }
    r.location = r.header("Location");
    // A server's words are quoted, so control characters in them show as escapes.
    if (r.error.isEmpty()) {
        qCDebug(lcHttp).nospace() << t->method << ' ' << t->url << " -> " << r.statusCode << " in " << r.elapsedMs
                                  << " ms";
    } else {
        qCDebug(lcHttp).nospace() << t->method << ' ' << t->url << " -> " << r.statusCode << " (" << r.error << ") in "
                                  << r.elapsedMs << " ms";
    }

    if (t->easy) {
        curl_multi_remove_handle(multi, t->easy);
        // Kept for the next request, which sets what differs: a kept handle costs less than a new
        // one. A POST's handle is not kept: its body and method would have to be undone.
        if (std::string_view(t->method) == "POST") {
            curl_easy_cleanup(t->easy);
        } else {
            curl_easy_setopt(t->easy, CURLOPT_ERRORBUFFER, nullptr); // the transfer's buffer goes with it
            spareEasy.push_back(t->easy);
        }
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
    struct Due
    {
        Transfer *transfer;
        QString reason;
        HttpFailure kind;
    };
    std::vector<Due> due;
    for (const auto &p : transfers) {
        Transfer *t = p.get();
        if (t->cancelled()) {
            due.push_back({t, QString(kCancelledMessage), HttpFailure::Cancelled});
        } else if (!t->connected && t->connectTimeoutMs > 0 &&
                   now - t->started >= std::chrono::milliseconds(t->connectTimeoutMs)) {
            due.push_back({t, u"Connection timed out after %1 ms"_s.arg(t->connectTimeoutMs), HttpFailure::Timeout});
        } else if (t->connected && t->idleTimeoutMs > 0 &&
                   now - t->lastActivity >= std::chrono::milliseconds(t->idleTimeoutMs)) {
            due.push_back({t, idleTimeoutMessage(t->idleTimeoutMs), HttpFailure::Timeout});
        } else if (t->totalTimeoutMs > 0 && now - t->totalStart >= std::chrono::milliseconds(t->totalTimeoutMs)) {
            // A server that trickles a byte now and then never trips the idle bound.
            due.push_back({t, totalTimeoutMessage(t->totalTimeoutMs), HttpFailure::Timeout});
        }
    }
    for (const Due &d : due) {
        end(d.transfer, CURLE_OK, d.reason, d.kind);
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
            wait = std::min(wait, msUntil(now, t->totalStart + std::chrono::milliseconds(t->totalTimeoutMs)));
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
    : m_impl(std::make_unique<Impl>())
{
    m_impl->epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_impl->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_impl->epoll >= 0 && m_impl->wakeFd >= 0) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = m_impl->wakeFd;
        if (::epoll_ctl(m_impl->epoll, EPOLL_CTL_ADD, m_impl->wakeFd, &ev) == 0) {
            m_impl->multi = curl_multi_init();
        }
    }
    if (m_impl->multi) {
        curl_multi_setopt(m_impl->multi, CURLMOPT_PIPELINING, long(CURLPIPE_NOTHING));
        if (maxConnections > 0) {
            curl_multi_setopt(m_impl->multi, CURLMOPT_MAXCONNECTS, long(maxConnections));
        }
        curl_multi_setopt(m_impl->multi, CURLMOPT_SOCKETFUNCTION, &Impl::onSocket);
        curl_multi_setopt(m_impl->multi, CURLMOPT_SOCKETDATA, m_impl.get());
        curl_multi_setopt(m_impl->multi, CURLMOPT_TIMERFUNCTION, &Impl::onTimer);
        curl_multi_setopt(m_impl->multi, CURLMOPT_TIMERDATA, m_impl.get());
    } else {
        qCWarning(lcHttp) << "could not set up an HTTP session:" << std::strerror(errno);
    }
}

HttpSession::~HttpSession()
{
    for (auto &t : m_impl->transfers) {
        curl_multi_remove_handle(m_impl->multi, t->easy);
        curl_easy_cleanup(t->easy);
        curl_slist_free_all(t->headerList);
    }
    for (CURL *easy : m_impl->spareEasy) {
        curl_easy_cleanup(easy);
    }
    for (const auto &[agent, list] : m_impl->headersByAgent) {
        curl_slist_free_all(list);
    }
    if (m_impl->multi) {
        curl_multi_cleanup(m_impl->multi);
    }
    if (m_impl->wakeFd >= 0) {
        ::close(m_impl->wakeFd);
    }
    if (m_impl->epoll >= 0) {
        ::close(m_impl->epoll);
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
    t->keepBodyBytes = request.keepBodyBytes;
    t->done = std::move(done);
    t->started = Clock::now();
    t->totalStart = std::min(t->started, request.totalSince.value_or(t->started));
    t->lastActivity = t->started;
    m_impl->transfers.push_back(std::move(owned));

    if (t->cancelled()) {
        m_impl->end(t, CURLE_OK, QString(kCancelledMessage), HttpFailure::Cancelled);
        return;
    }
    if (t->totalTimeoutMs > 0 && t->started - t->totalStart >= std::chrono::milliseconds(t->totalTimeoutMs)) {
        m_impl->end(t, CURLE_OK, totalTimeoutMessage(t->totalTimeoutMs), HttpFailure::Timeout);
        return;
    }
    if (m_impl->multi && !m_impl->spareEasy.empty()) {
        t->easy = m_impl->spareEasy.back();
        m_impl->spareEasy.pop_back();
    } else {
        t->easy = m_impl->multi ? curl_easy_init() : nullptr;
        if (t->easy) {
            configureHandle(t->easy);
        }
    }
    if (!t->easy) {
        m_impl->end(t, CURLE_OK, u"Could not create an HTTP transfer"_s);
        return;
    }
    const QByteArray agent = withoutLineBreaks(request.userAgent.toUtf8());
    configure(*t, request, agent, m_impl->headersFor(agent));
    if (const CURLMcode rc = curl_multi_add_handle(m_impl->multi, t->easy); rc != CURLM_OK) {
        m_impl->end(t, CURLE_OK, QString::fromUtf8(curl_multi_strerror(rc)));
    }
}

int HttpSession::inFlight() const
{
    // A request that ended at once is in flight until poll() has run its done.
    return int(m_impl->transfers.size() + m_impl->ended.size());
}

void HttpSession::poll(int maxWaitMs)
{
    if (!m_impl->transfers.empty()) {
        m_impl->checkDeadlines(Clock::now());
    }
    if (!m_impl->transfers.empty()) {
        const Clock::time_point now = Clock::now();
        qint64 wait = m_impl->waitMs(now, maxWaitMs);
        if (m_impl->curlDue) {
            wait = std::min(wait, msUntil(now, *m_impl->curlDue));
        }
        std::array<epoll_event, 256> events{};
        int count = ::epoll_wait(m_impl->epoll, events.data(), int(events.size()), int(wait));
        if (count < 0) {
            count = 0; // EINTR: the caller polls again
        }
        m_impl->advance(events.data(), count);
        m_impl->checkDeadlines(Clock::now());
    }
    m_impl->deliver();
}

void HttpSession::cancelAll()
{
    while (!m_impl->transfers.empty()) {
        m_impl->end(m_impl->transfers.back().get(), CURLE_OK, QString(kCancelledMessage), HttpFailure::Cancelled);
    }
    m_impl->deliver();
}

void HttpSession::pause(int maxWaitMs)
{
    if (m_impl->multi && maxWaitMs > 0) {
        // Only the wake-up counts here: a kept connection that its server closes is no reason to
        // end the pause.
        pollfd wake{m_impl->wakeFd, POLLIN, 0};
        if (::poll(&wake, 1, maxWaitMs) > 0) {
            m_impl->drainWakeups();
        }
    }
}

void HttpSession::wakeup()
{
    if (m_impl->wakeFd >= 0) {
        ::eventfd_write(m_impl->wakeFd, 1);
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

HttpResult performRequest(const HttpRequest &request)
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
