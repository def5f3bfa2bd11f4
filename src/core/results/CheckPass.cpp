#include "core/results/CheckPass.h"

#include "core/analyze/PageAnalysis.h"
#include "core/collect/PageFetcher.h"
#include "core/common/Http.h"
#include "core/common/Logging.h"
#include "core/common/Text.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QUrl>
#include <queue>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <set>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

// A check needs only the status line. A small body is read to its end, so the connection can serve
// the next link; a larger one is dropped here, and the row keeps the status it got.
constexpr qint64 kCheckBodyBytes = 1 << 20;
// Enough of an error page to read its title (a bot wall's challenge page says who it is there).
constexpr qsizetype kTitleBodyBytes = qsizetype{64} * 1024;
// A page read for the fragments that point into it.
constexpr qint64 kFragmentPageBytes = 16LL << 20;

// The request every link of a pass is sent with; only its address and method change.
HttpRequest checkRequest(const LinkCheckOptions &options)
{
    HttpRequest request;
    request.method = options.useHead ? HttpMethod::Head : HttpMethod::Get;
    request.userAgent = options.userAgent;
    request.connectTimeoutMs = timeoutFromText(options.connectTimeout, kPageConnectTimeoutMs);
    request.idleTimeoutMs = timeoutFromText(options.responseTimeout, kPageIdleTimeoutMs);
    // A server that trickles a byte now and then never trips the idle bound: the whole request gets
    // the connection time-out plus the response time-out.
    request.totalTimeoutMs = int(
        std::min<qint64>(qint64(request.connectTimeoutMs) + request.idleTimeoutMs, std::numeric_limits<int>::max()));
    request.bodyLimit = kCheckBodyBytes;
    request.discardBody = true;
    request.keepBodyBytes = kTitleBodyBytes;
    return request;
}

TURLStatus statusFromResult(const QString &url, const HttpResult &r)
{
    // A failed request still shows the status line of whatever response arrived.
    const bool answered = r.statusCode >= 0;
    return TURLStatus{url, answered ? r.statusCode : -1, QString::number(r.elapsedMs),
                      QString::fromLatin1(r.statusLine), answered ? QString() : r.error};
}

QString withoutFragment(const QString &link)
{
    const qsizetype hash = link.indexOf(u'#');
    return hash < 0 ? link : link.first(hash);
}

bool isHtml(const HttpResult &r)
{
    const QByteArray type = r.header("Content-Type").trimmed().toLower();
    return type.startsWith("text/html") || type.startsWith("application/xhtml+xml");
}

// The words a user reads for an answer that did not come.
QString failureInWords(const HttpResult &r)
{
    switch (r.failure) {
    case HttpFailure::NameLookup:
        return u"Could not resolve host"_s;
    case HttpFailure::Refused:
        return r.osErrno == ECONNREFUSED ? u"Connection refused"_s : u"Could not connect: "_s + r.error;
    case HttpFailure::Tls:
        return u"TLS handshake failed: "_s + r.error;
    case HttpFailure::Reset:
        return u"Connection closed before an answer"_s;
    case HttpFailure::Timeout:
    case HttpFailure::Other:
    case HttpFailure::Cancelled:
    case HttpFailure::None:
        break;
    }
    return r.error;
}

// The verdict of a last answer that is not a redirect to follow.
Verdict verdictOfAnswer(const HttpResult &r, int hops)
{
    switch (r.failure) {
    case HttpFailure::Timeout:
        return Verdict::Timeout;
    case HttpFailure::NameLookup:
    case HttpFailure::Refused:
    case HttpFailure::Tls:
    case HttpFailure::Reset:
        return Verdict::Unreachable;
    default:
        break;
    }
    const int code = r.statusCode;
    if (code < 0) {
        return Verdict::Broken; // something answered, but not HTTP
    }
    if (code == 429) {
        return Verdict::RateLimited;
    }
    if (code == 999 || code == 403 || code == 503) {
        const QString title = r.body.isEmpty() ? QString() : ExtractTitle(QString::fromUtf8(r.body));
        if (isBotWall(code, r.header("cf-mitigated"), title)) {
            return Verdict::Blocked;
        }
    }
    if (code >= 400 || code < 200) {
        return Verdict::Broken;
    }
    if (code >= 300) {
        return Verdict::Redirected; // a redirect that was not followed
    }
    return hops > 0 ? Verdict::Redirected : Verdict::Ok;
}

} // namespace

// Where requests queue for politeness: scheme, host and port.
QString hostKeyOf(const QString &address)
{
    // Most addresses are "http://name:port/...", with a plain name: read without parsing the whole
    // address. Anything else (user info, IPv6, escapes, IDN) is QUrl's to read.
    for (const QStringView scheme : {QStringView(u"http"), QStringView(u"https")}) {
        if (!address.startsWith(scheme) || !QStringView(address).sliced(scheme.size()).startsWith(u"://")) {
            continue;
        }
        const QStringView rest = QStringView(address).sliced(scheme.size() + 3);
        qsizetype end = 0;
        qsizetype colon = -1;
        for (; end < rest.size(); ++end) {
            const char16_t c = rest[end].unicode();
            if (c == u'/' || c == u'?' || c == u'#') {
                break;
            }
            if (c == u':' && colon < 0) {
                colon = end;
            } else if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                         c == u'-' || c == u'.')) {
                end = -1;
                break;
            }
        }
        if (end < 0) {
            break;
        }
        const QStringView host = rest.first(colon < 0 ? end : colon);
        const QStringView port = colon < 0 ? QStringView() : rest.sliced(colon + 1, end - colon - 1);
        bool portOk = true;
        const int number = colon < 0 ? 0 : port.toInt(&portOk);
        if (host.isEmpty() || (colon >= 0 && (!portOk || port.size() > 5 || number > 65535 || port.startsWith(u'+')))) {
            break;
        }
        return scheme + u"://"_s + host.toString().toLower() + u':' +
               QString::number(colon < 0 ? (scheme == u"https" ? 443 : 80) : number);
    }
    const QUrl url(address);
    const QString scheme = url.scheme().toLower();
    return scheme + u"://"_s + url.host().toLower() + u':' + QString::number(url.port(scheme == u"https" ? 443 : 80));
}

class CheckPass
{
public:
    CheckPass(const LinkCheckOptions &options, HttpSession &session, int parallel, CheckQueue::Hooks hooks,
              bool keepResults)
        : m_options(options)
        , m_session(session)
        , m_parallel(parallel)
        , m_hooks(std::move(hooks))
        , m_request(checkRequest(options))
        , m_keepResults(keepResults)
    {}

    // Rows for links after those already there; readsPage, when given, names the addresses whose
    // 2xx HTML answer is handed to the pageRead hook.
    int addLinks(const QStringList &links, const std::function<bool(const QString &)> &readsPage)
    {
        const int first = int(m_links.size());
        m_links.append(links);
        if (m_keepResults) {
            m_outcome.results.resize(m_links.size());
        }
        planProbes(first, readsPage);
        return first;
    }

    PassOutcome run(const std::function<bool()> &shouldStop, int pollMs)
    {
        while (true) {
            if (m_hooks.turn) {
                m_hooks.turn();
            }
            releaseDueWaits();
            while (m_session.inFlight() < m_parallel && !shouldStop()) {
                if (!startNext()) {
                    break;
                }
            }
            if (m_next >= m_links.size() && m_session.inFlight() == 0 && m_waits.empty() && m_queued == 0) {
                break;
            }
            if (shouldStop()) {
                // The requests in flight end now with what they received; their repeats, the waits
                // and the rows not started get nothing.
                m_stopping = true;
                m_outcome.stopped = true;
                m_session.cancelAll();
                break;
            }
            const int wait = std::min(pollMs, msUntilNextWait());
            if (m_session.inFlight() > 0) {
                m_session.poll(wait);
            } else {
                m_session.pause(wait);
            }
        }
        return std::move(m_outcome);
    }

private:
    // One distinct address and the answers it got so far.
    struct Probe
    {
        int row = 0;     // the first row that asks for it
        QString address; // what is asked now (the next hop after a redirect)
        HttpMethod method = HttpMethod::Get;
        int host = -1;
        int hops = 0;
        int attempt = 0; // repeats at this hop
        bool fellBack = false;
        bool wantsPage = false; // rows point into it with fragments
        bool readsPage = false; // its page is handed on (the crawl reads it)
        QString asked;          // the address first asked, before any redirect
        bool done = false;
        bool hasFirst = false;
        TURLStatus result;     // the first answer, then the verdict
        QList<int> waiting;    // repeats reached while it was asked
        QSet<QString> targets; // the page's ids and anchor names
        bool pageRead = false;
    };

    struct Host
    {
        int inFlight = 0;
        int limit = 1;
        std::set<std::pair<int, int>> queue; // (row, probe) in row order
        std::optional<std::pair<int, int>> listed;
    };

    struct Wait
    {
        Clock::time_point due;
        int probe;
        bool operator>(const Wait &other) const { return due > other.due; }
    };

    void planProbes(int first, const std::function<bool(const QString &)> &readsPage)
    {
        m_probeOfRow.resize(size_t(m_links.size()), -1);
        QHash<QString, int> &byAddress = m_probeByAddress;
        const size_t firstProbe = m_probes.size();
        for (int row = first; row < m_links.size(); ++row) {
            const QString &link = m_links[row];
            if (!isCheckedAddress(link) || startsWithAsciiCI(link, u"mailto:")) {
                continue;
            }
            const QString address = withoutFragment(link);
            auto it = byAddress.find(address);
            if (it == byAddress.end()) {
                Probe probe;
                probe.row = row;
                probe.address = address;
                probe.method = m_request.method;
                probe.host = hostIndex(address);
                probe.asked = address;
                probe.readsPage = readsPage && readsPage(address);
                it = byAddress.insert(address, int(m_probes.size()));
                m_probes.push_back(std::move(probe));
            }
            m_probeOfRow[size_t(row)] = *it;
            if (m_options.checkFragments) {
                const std::optional<QString> fragment = fragmentOf(link);
                if (fragment && !isAlwaysPresentFragment(*fragment)) {
                    m_probes[size_t(*it)].wantsPage = true;
                }
            }
        }
        // A HEAD answer has no page to look into. An address asked for by earlier links keeps its
        // method.
        for (size_t p = firstProbe; p < m_probes.size(); ++p) {
            Probe &probe = m_probes[p];
            if (probe.wantsPage || probe.readsPage) {
                probe.method = HttpMethod::Get;
            }
        }
    }

    int hostIndex(const QString &address)
    {
        const QString key = hostKeyOf(address);
        auto it = m_hostIndex.find(key);
        if (it == m_hostIndex.end()) {
            it = m_hostIndex.insert(key, int(m_hosts.size()));
            Host host;
            host.limit = std::clamp(m_options.perHost, kMinPerHostRequests, kMaxPerHostRequests);
            m_hosts.push_back(std::move(host));
        }
        return *it;
    }

    // Keeps the host among those that can start a request now, keyed by its first queued row.
    void relist(int h)
    {
        Host &host = m_hosts[size_t(h)];
        if (host.listed) {
            m_ready.erase(*host.listed);
            host.listed.reset();
        }
        if (host.inFlight < host.limit && !host.queue.empty()) {
            host.listed = std::pair{host.queue.begin()->first, h};
            m_ready.insert(*host.listed);
        }
    }

    void enqueue(int p)
    {
        const Probe &probe = m_probes[size_t(p)];
        m_hosts[size_t(probe.host)].queue.insert({probe.row, p});
        ++m_queued;
        relist(probe.host);
    }

    // Takes the next row in table order, or the first queued request of a host with room when its
    // row comes earlier. False when neither can go now.
    bool startNext()
    {
        const int queuedRow = m_ready.empty() ? std::numeric_limits<int>::max() : m_ready.begin()->first;
        if (m_next < m_links.size() && m_next < queuedRow) {
            takeRow(int(m_next++));
            return true;
        }
        if (m_ready.empty()) {
            return false;
        }
        const int h = m_ready.begin()->second;
        Host &host = m_hosts[size_t(h)];
        const int p = host.queue.begin()->second;
        host.queue.erase(host.queue.begin());
        --m_queued;
        start(p);
        return true;
    }

    void takeRow(int row)
    {
        const QString &link = m_links[row];
        const int p = m_probeOfRow[size_t(row)];
        if (p < 0) {
            // Nothing to request: a mail link, or a scheme-less href of a local page that would be
            // taken for a host.
            const bool mail = startsWithAsciiCI(link, u"mailto:");
            TURLStatus status{link, 0, QString(), mail ? u"EMAIL"_s : QString(), QString()};
            status.verdict = Verdict::Skipped;
            deliver(row, status);
            return;
        }
        Probe &probe = m_probes[size_t(p)];
        if (probe.row == row) {
            enqueue(p);
        } else if (probe.done) {
            deliver(row, statusForRow(probe, link));
        } else {
            probe.waiting.append(row);
        }
    }

    void start(int p)
    {
        Probe &probe = m_probes[size_t(p)];
        Host &host = m_hosts[size_t(probe.host)];
        ++host.inFlight;
        relist(probe.host);
        HttpRequest request = m_request;
        request.url = probe.address;
        request.method = probe.method;
        if (probe.wantsPage || probe.readsPage) {
            request.discardBody = false;
            request.bodyLimit = kFragmentPageBytes;
        }
        m_session.start(request, [this, p](const HttpResult &result) { onAnswer(p, result); });
    }

    void onAnswer(int p, const HttpResult &r)
    {
        Probe &probe = m_probes[size_t(p)];
        Host &host = m_hosts[size_t(probe.host)];
        --host.inFlight;
        relist(probe.host);
        if (m_stopping || r.failure == HttpFailure::Cancelled) {
            if (!probe.hasFirst) {
                probe.result = statusFromResult(m_links[probe.row], r);
            }
            probe.done = true;
            deliver(probe.row, statusForRow(probe, m_links[probe.row]));
            return;
        }
        const int code = r.statusCode;
        if (probe.method == HttpMethod::Head && (code == 405 || code == 501) && !probe.fellBack) {
            probe.method = HttpMethod::Get;
            probe.fellBack = true;
            enqueue(p);
            return;
        }
        const bool comeBack = isRetriedStatus(code) || (code < 0 && r.failure == HttpFailure::Reset);
        if (comeBack && probe.attempt < m_options.retries) {
            if (code == 429) {
                host.limit = std::max(1, host.limit / 2);
                relist(probe.host);
            }
            const qint64 cap = std::max(0, m_options.retryWaitMaxMs);
            const std::optional<qint64> asked =
                code >= 0 ? retryAfterMs(r.header("Retry-After"), QDateTime::currentDateTimeUtc()) : std::nullopt;
            const qint64 waitMs = asked ? std::min(*asked, cap) : backoffMs(probe.attempt, cap);
            ++probe.attempt;
            m_waits.push({Clock::now() + std::chrono::milliseconds(waitMs), p});
            return;
        }
        if (!probe.hasFirst) {
            probe.hasFirst = true;
            probe.result = statusFromResult(m_links[probe.row], r);
        }
        probe.result.chain.append({std::max(code, 0), probe.address});
        if (isRedirectStatus(code) && !r.location.isEmpty() && m_options.maxRedirects > 0) {
            const RedirectStep target = redirectStepOf(probe.address, r.location);
            QString refusal = target.error;
            if (refusal.isEmpty() && probe.hops >= m_options.maxRedirects) {
                refusal = u"Too many redirects"_s;
            } else if (refusal.isEmpty() && inChain(probe, target.address)) {
                refusal = u"Redirect loop"_s;
            }
            if (!refusal.isEmpty()) {
                finish(p, r, Verdict::Broken, refusal);
                return;
            }
            ++probe.hops;
            probe.address = target.address;
            probe.attempt = 0;
            probe.host = hostIndex(target.address);
            enqueue(p);
            return;
        }
        const Verdict verdict = verdictOfAnswer(r, probe.hops);
        const bool failed =
            verdict == Verdict::Timeout || verdict == Verdict::Unreachable || (verdict == Verdict::Broken && code < 0);
        finish(p, r, verdict, failed ? failureInWords(r) : QString());
    }

    // True when an earlier answer of the chain came from address: a redirect there is a loop. The
    // chain is short (at most the redirect bound), so a probe keeps no set of its own.
    static bool inChain(const Probe &probe, const QString &address)
    {
        return std::any_of(probe.result.chain.cbegin(), probe.result.chain.cend(),
                           [&address](const RedirectHop &hop) { return hop.address == address; });
    }

    void finish(int p, const HttpResult &r, Verdict verdict, const QString &reason)
    {
        Probe &probe = m_probes[size_t(p)];
        probe.done = true;
        probe.result.verdict = verdict;
        probe.result.reason = reason;
        probe.result.hops = probe.hops;
        probe.result.finalStatus = std::max(r.statusCode, 0);
        probe.result.finalUrl = probe.hops > 0 ? probe.address : QString();
        const bool htmlPage = (verdict == Verdict::Ok || verdict == Verdict::Redirected) && r.statusCode >= 200 &&
                              r.statusCode <= 299 && r.completed() && isHtml(r);
        if (probe.wantsPage && htmlPage) {
            probe.targets = fragmentTargetsOf(r.body);
            probe.pageRead = true;
        }
        if (probe.readsPage && htmlPage && m_hooks.pageRead) {
            m_hooks.pageRead(probe.asked, probe.address, r);
        }
        deliver(probe.row, statusForRow(probe, m_links[probe.row]));
        for (const int row : std::as_const(probe.waiting)) {
            deliver(row, statusForRow(probe, m_links[row]));
        }
        probe.waiting.clear();
    }

    // The probe's outcome as one row reads it: the row's own link, and its own fragment.
    TURLStatus statusForRow(const Probe &probe, const QString &link) const
    {
        TURLStatus status = probe.result;
        status.MyURL = link;
        if (probe.pageRead) {
            const std::optional<QString> fragment = fragmentOf(link);
            if (fragment && !isAlwaysPresentFragment(*fragment) && !probe.targets.contains(*fragment)) {
                status.verdict = Verdict::FragmentMissing;
                status.reason = u"No element with id or name \"%1\" in the page"_s.arg(*fragment);
            }
        }
        return status;
    }

    void deliver(int row, const TURLStatus &status)
    {
        if (m_keepResults) {
            m_outcome.results[row] = status;
        } else {
            m_links[row] = QString(); // nobody asks for the row again
        }
        if (m_hooks.progress) {
            m_hooks.progress(row, status);
        }
    }

    void releaseDueWaits()
    {
        const Clock::time_point now = Clock::now();
        while (!m_waits.empty() && m_waits.top().due <= now) {
            const int p = m_waits.top().probe;
            m_waits.pop();
            enqueue(p);
        }
    }

    int msUntilNextWait() const
    {
        if (m_waits.empty()) {
            return std::numeric_limits<int>::max();
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_waits.top().due - Clock::now()).count();
        return int(std::clamp<qint64>(left, 0, std::numeric_limits<int>::max()));
    }

    QStringList m_links;
    const LinkCheckOptions m_options;
    HttpSession &m_session;
    const int m_parallel;
    const CheckQueue::Hooks m_hooks;
    const HttpRequest m_request;
    const bool m_keepResults;
    QHash<QString, int> m_probeByAddress;

    PassOutcome m_outcome;
    std::vector<Probe> m_probes;
    std::vector<int> m_probeOfRow;
    std::vector<Host> m_hosts;
    QHash<QString, int> m_hostIndex;
    std::set<std::pair<int, int>> m_ready; // (first queued row, host) of hosts with room
    std::priority_queue<Wait, std::vector<Wait>, std::greater<>> m_waits;
    qsizetype m_next = 0;
    qsizetype m_queued = 0;
    bool m_stopping = false;
};

CheckQueue::CheckQueue(const LinkCheckOptions &options, HttpSession &session, int parallel, Hooks hooks)
    : m_pass(std::make_unique<CheckPass>(options, session, parallel, std::move(hooks), false))
{}

CheckQueue::~CheckQueue() = default;

int CheckQueue::addLinks(const QStringList &links, const std::function<bool(const QString &)> &readsPage)
{
    return m_pass->addLinks(links, readsPage);
}

bool CheckQueue::run(const std::function<bool()> &shouldStop, int pollMs)
{
    return m_pass->run(shouldStop, pollMs).stopped;
}

PassOutcome runCheckPass(const QStringList &links, const LinkCheckOptions &options, HttpSession &session, int parallel,
                         const std::function<bool()> &shouldStop, int pollMs,
                         const std::function<void(int, const TURLStatus &)> &progress)
{
    QElapsedTimer timer;
    timer.start();
    qCDebug(lcCheck).nospace() << "check pass of " << links.size() << " links, " << parallel << " in flight, "
                               << options.perHost << " per host, " << (options.useHead ? "HEAD" : "GET");
    CheckPass pass(options, session, parallel, CheckQueue::Hooks{progress, {}, {}}, true);
    pass.addLinks(links, {});
    PassOutcome outcome = pass.run(shouldStop, pollMs);
    qCDebug(lcCheck).nospace() << "check pass " << (outcome.stopped ? "stopped" : "ended") << " after "
                               << timer.elapsed() << " ms";
    return outcome;
}

} // namespace quorvel
