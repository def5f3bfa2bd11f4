#include "core/crawl/Crawler.h"

#include "core/collect/Collector.h"
#include "core/collect/LinkResolver.h"
#include "core/common/Charset.h"
#include "core/common/Http.h"
#include "core/common/Logging.h"
#include "core/common/Text.h"
#include "core/crawl/Robots.h"
#include "core/crawl/Sitemap.h"
#include "core/results/CheckPass.h"
#include "core/results/CheckResult.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <deque>
#include <limits>
#include <map>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

QString withoutFragment(const QString &link)
{
    const qsizetype hash = link.indexOf(u'#');
    return hash < 0 ? link : link.first(hash);
}

// The site's root: scheme and authority, for /robots.txt and /sitemap.xml.
QString rootOf(const QString &address)
{
    const QUrl url(address);
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
        .toString(QUrl::FullyEncoded);
}

// One GET on a connection of its own, its redirects followed (at most five, as crawlers do for
// robots.txt): the last answer.
HttpResult fetchFollowing(const QString &address, const LinkCheckOptions &options, qint64 bodyLimit)
{
    HttpRequest request;
    request.method = HttpMethod::Get;
    request.userAgent = options.userAgent;
    request.connectTimeoutMs = timeoutFromText(options.connectTimeout, kPageConnectTimeoutMs);
    request.idleTimeoutMs = timeoutFromText(options.responseTimeout, kPageIdleTimeoutMs);
    request.totalTimeoutMs = int(
        std::min<qint64>(qint64(request.connectTimeoutMs) + request.idleTimeoutMs, std::numeric_limits<int>::max()));
    request.bodyLimit = bodyLimit;
    request.url = address;
    HttpResult result = performRequest(request);
    for (int hop = 0; hop < 5 && result.statusCode >= 300 && result.statusCode <= 399 && !result.location.isEmpty();
         ++hop) {
        const QString next = RedirectTarget(request.url, QString::fromUtf8(result.location));
        if (!isCheckedAddress(next)) {
            break;
        }
        request.url = next;
        result = performRequest(request);
    }
    return result;
}

// A page read and waiting for its turn to be scanned.
struct ReadPage
{
    QString url;
    int depth = 0;
    int status = 0;
    Verdict verdict = Verdict::Ok;
    QByteArray contentType;
    QByteArray body;
};

class Crawl
{
public:
    Crawl(const QString &start, const CrawlOptions &options, CrawlSink &sink, CrawlHooks hooks)
        : m_start(withoutFragment(start)) // the page, not a place in it
        , m_options(options)
        , m_sink(sink)
        , m_hooks(std::move(hooks))
        , m_parallel(effectiveParallel(options.check.parallel))
        , m_session(keptConnections(m_parallel))
        , m_queue(options.check, m_session, m_parallel,
                  CheckQueue::Hooks{[this](int row, const TURLStatus &status) { onResult(row, status); },
                                    [this](const QString &asked, const QString &finalAddress,
                                           const HttpResult &answer) { onPageRead(asked, finalAddress, answer); },
                                    [this] {
                                        onTurn();
                                    }})
        , m_siteOptions(RunOptions::make(options.ignoreUrlsText, options.ignoreExtensionsText, options.removeAnchors,
                                         options.urlBase, m_start))
    {}

    CrawlEnd run()
    {
        CrawlHeader header;
        header.start = m_start;
        header.startedAt = QDateTime::currentDateTimeUtc();
        header.options = optionsInWords();
        m_sink.begin(header);
        m_clock.start();
        m_sinceProgress.start();

        readRobots();
        addCandidate(m_start, 0);
        if (!m_options.ignoreRobots && !robotsAllow(m_start)) {
            resolveCandidate(m_start);
            CrawlPage page;
            page.url = m_start;
            page.verdict = m_robotsFailure.isEmpty() ? Verdict::Skipped : m_robotsVerdict;
            page.error = m_robotsFailure.isEmpty() ? u"Disallowed by robots.txt"_s : m_robotsFailure;
            m_pages.append(page);
            m_sink.pageDone(page, {});
        } else {
            addPseudoRow(m_start);
            if (m_options.useSitemap) {
                readSitemaps();
            }
        }
        // Once asked to stop, the crawl stays stopped: the answers cut short on the way out are no
        // results, and a page waiting for one of them is not finished.
        const auto shouldStop = [this] {
            m_stopping = m_stopping || (m_hooks.shouldStop && m_hooks.shouldStop());
            return m_stopping;
        };
        const bool stopped = m_queue.run(shouldStop, std::max(1, m_hooks.pollMs)) || shouldStop();
        return finish(stopped);
    }

private:
    struct Candidate
    {
        int depth = 0;
        bool resolved = false; // its answer came (a page or not)
        bool asked = false;    // the check asks it as a page
        // Asked as a page beyond the pages the budget holds places for: taken only when a place
        // is still free once it answers (a candidate before it turned out to be no page).
        bool spare = false;
        bool held = false; // a spare page read while no place was free, waiting for one
    };

    // Where a row of the check belongs: a row of an open page, or (slot -1) an address asked only
    // as a page (the start, a sitemap's page).
    struct RowRef
    {
        int slot = -1;
        int index = 0;
    };

    struct OpenPage
    {
        CrawlPage page;
        QList<CrawlRow> rows;
        int pending = 0;
    };

    QString optionsInWords() const
    {
        return u"depth %1, max pages %2, robots.txt %3, sitemap %4, %5 in flight, %6 per host"_s.arg(m_options.maxDepth)
            .arg(m_options.maxPages)
            .arg(m_options.ignoreRobots ? u"ignored"_s : u"obeyed"_s)
            .arg(m_options.useSitemap ? u"read"_s : u"not read"_s)
            .arg(m_parallel)
            .arg(m_options.check.perHost);
    }

    void readRobots()
    {
        if (m_options.ignoreRobots && !m_options.useSitemap) {
            return;
        }
        const HttpResult answer =
            fetchFollowing(rootOf(m_start) + u"/robots.txt"_s, m_options.check, kRobotsSizeLimit + 1);
        const int status = answer.statusCode < 0 ? 0 : answer.statusCode;
        if (status == 0 || status >= 500 || status == 429) {
            // Nothing may be fetched; the start page says why rather than only "disallowed".
            m_robotsVerdict = status == 0
                                  ? (answer.failure == HttpFailure::Timeout ? Verdict::Timeout : Verdict::Unreachable)
                                  : Verdict::Skipped;
            m_robotsFailure = u"robots.txt could not be read: "_s +
                              (status == 0 ? answer.error : QString::fromLatin1(answer.statusLine));
        }
        m_robots = robotsForAnswer(status, answer.body, robotsProductToken(m_options.check.userAgent));
        qCDebug(lcCheck).nospace() << "robots.txt: status " << status << ", " << m_robots.rules.size() << " rules"
                                   << (m_robots.disallowAll ? ", nothing allowed" : "");
        if (m_options.ignoreRobots) {
            m_robots = RobotsRules{{}, m_robots.sitemaps, false};
        }
        m_robotsForbidsAny = m_robots.forbidsAny();
    }

    // The sitemaps robots.txt names and /sitemap.xml, indexes followed, within the bounds; their
    // Internal pages are asked as pages one link away from the start.
    void readSitemaps()
    {
        QStringList toRead = m_robots.sitemaps;
        const QString standard = rootOf(m_start) + u"/sitemap.xml"_s;
        if (!toRead.contains(standard)) {
            toRead.append(standard);
        }
        QSet<QString> seen;
        int read = 0;
        for (qsizetype i = 0; i < toRead.size() && read < m_options.maxSitemaps; ++i) {
            const QString address = toRead[i];
            if (seen.contains(address) || !isCheckedAddress(address)) {
                continue;
            }
            seen.insert(address);
            ++read;
            const HttpResult answer = fetchFollowing(address, m_options.check, m_options.maxSitemapBytes);
            if (answer.statusCode < 200 || answer.statusCode > 299) {
                continue;
            }
            const SitemapDocument document = parseSitemap(answer.body, QUrl(address));
            for (const QUrl &child : document.sitemaps) {
                toRead.append(child.toString(QUrl::FullyEncoded));
            }
            for (const QUrl &url : document.urls) {
                addSitemapPage(withoutFragment(url.toString(QUrl::FullyEncoded)));
            }
        }
    }

    void addSitemapPage(const QString &address)
    {
        if (m_sitemapPages.contains(address)) {
            return;
        }
        const std::optional<LinkRow> row = AddLink(address, address, QString(), QString(), m_siteOptions);
        if (!row || row->type != u"Internal") {
            return;
        }
        m_sitemapPages.insert(address);
        m_sitemapOrder.append(address);
        if (address == m_start || m_candidates.contains(address) || m_options.maxDepth < 1 || !robotsAllow(address) ||
            !roomForAnotherPage()) {
            return;
        }
        addCandidate(address, 1);
        addPseudoRow(address);
    }

    // When no rule of robots.txt forbids anything, every address is allowed: it is then not parsed
    // at all (a crawl asks this for every internal link it finds).
    bool robotsAllow(const QString &address) const
    {
        if (!m_robotsForbidsAny) {
            return true;
        }
        return m_robots.allows(robotsTargetOf(address));
    }

    // Is there a place in the budget no page or candidate holds yet?
    bool roomForAnotherPage() const { return m_accepted + reservedOutstanding() < m_options.maxPages; }

    void addCandidate(const QString &address, int depth, bool spare = false)
    {
        m_candidates.insert(address, Candidate{depth, false, false, spare});
        ++m_outstanding[depth];
        if (spare) {
            ++m_sparesOutstanding;
        }
    }

    // A held spare is resolved only when its place is decided (force).
    void resolveCandidate(const QString &address, bool force = false)
    {
        const auto it = m_candidates.find(address);
        if (it == m_candidates.end() || it->resolved || (it->held && !force)) {
            return;
        }
        it->resolved = true;
        if (it->spare) {
            --m_sparesOutstanding;
        }
        const auto count = m_outstanding.find(it->depth);
        if (count != m_outstanding.end() && --count->second == 0) {
            m_outstanding.erase(count);
        }
    }

    bool readsPage(const QString &address)
    {
        const auto it = m_candidates.find(address);
        if (it == m_candidates.end() || it->resolved) {
            return false;
        }
        it->asked = true;
        return true;
    }

    void addPseudoRow(const QString &address)
    {
        const int first = m_queue.addLinks({address}, [this](const QString &a) { return readsPage(a); });
        Q_ASSERT(size_t(first) == m_rowRefs.size());
        m_rowRefs.push_back(RowRef{});
        // An address the check had already asked for before it became a page is not read again.
        if (!m_candidates.value(address).asked) {
            resolveCandidate(address);
        }
        Q_UNUSED(first);
    }

    void onPageRead(const QString &asked, const QString &finalAddress, const HttpResult &answer)
    {
        const auto candidate = m_candidates.constFind(asked);
        if (candidate == m_candidates.cend()) {
            return;
        }
        const int depth = candidate->depth;
        const bool spare = candidate->spare;
        const QString url = withoutFragment(finalAddress);
        if (m_pageUrls.contains(url) || m_accepted >= m_options.maxPages) {
            resolveCandidate(asked);
            return;
        }
        if (url != asked) {
            // A redirect may leave the site, or lead where robots.txt says no.
            const std::optional<LinkRow> row = AddLink(url, url, QString(), QString(), m_siteOptions);
            if (!row || row->type != u"Internal" || !robotsAllow(url)) {
                resolveCandidate(asked);
                return;
            }
        }
        ReadPage page{url,
                      depth,
                      answer.statusCode,
                      url == asked ? Verdict::Ok : Verdict::Redirected,
                      answer.header("Content-Type"),
                      answer.body};
        if (spare && !roomForAnotherPage()) {
            // The candidates asked before it keep their places; while one of them may still turn out
            // to be no page, the spare waits (still counted at its depth) for the place it frees.
            if (reservedOutstanding() > 0) {
                m_candidates[asked].held = true;
                m_heldSpares.emplace_back(asked, std::move(page));
            } else {
                resolveCandidate(asked);
            }
            return;
        }
        resolveCandidate(asked);
        acceptPage(std::move(page));
    }

    void acceptPage(ReadPage page)
    {
        m_pageUrls.insert(page.url);
        ++m_accepted;
        const int depth = page.depth;
        m_waiting.emplace(depth, std::move(page));
    }

    // Candidates holding a place in the budget whose answer has not come.
    qint64 reservedOutstanding() const
    {
        qint64 outstanding = -m_sparesOutstanding;
        for (const auto &[depth, count] : m_outstanding) {
            outstanding += count;
        }
        return outstanding;
    }

    // Held spares take the places that came free, in the order they were read; once no reserved
    // candidate is left to free one, the rest are dropped.
    void settleHeldSpares()
    {
        while (!m_heldSpares.empty()) {
            const bool room = roomForAnotherPage() && m_accepted < m_options.maxPages;
            if (!room && reservedOutstanding() > 0) {
                return;
            }
            auto [asked, page] = std::move(m_heldSpares.front());
            m_heldSpares.pop_front();
            resolveCandidate(asked, true);
            if (room && !m_pageUrls.contains(page.url)) {
                acceptPage(std::move(page));
            }
        }
    }

    void onResult(int row, const TURLStatus &status)
    {
        if (m_stopping) {
            return;
        }
        const RowRef ref = m_rowRefs[size_t(row)];
        const QString address = withoutFragment(status.MyURL);
        if (ref.slot < 0) {
            // A page that did not come as a page: only the start says so in the pages.
            const bool wasPage = m_pageUrls.contains(address) || m_pageUrls.contains(status.finalUrl);
            resolveCandidate(address);
            if (address == m_start && !wasPage) {
                CrawlPage page;
                page.url = m_start;
                page.status = status.finalStatus > 0 ? status.finalStatus : std::max(status.MyStatus, 0);
                page.verdict = status.verdict == Verdict::Ok || status.verdict == Verdict::Redirected
                                   ? Verdict::Skipped // it answered, but not with an HTML page
                                   : status.verdict;
                page.error = status.reason.isEmpty() && page.verdict == Verdict::Skipped
                                 ? u"Not an HTML page"_s
                                 : (status.reason.isEmpty() ? status.MyError : status.reason);
                m_pages.append(page);
                m_sink.pageDone(page, {});
            }
            return;
        }
        resolveCandidate(address);
        const auto open = m_open.find(ref.slot);
        if (open == m_open.end()) {
            return;
        }
        applyCheckResult(open->rows[ref.index].row, status);
        ++m_rowsDone;
        if (--open->pending == 0) {
            emitPage(open);
        }
    }

    void onTurn()
    {
        settleHeldSpares();
        // Pages are scanned in order of depth, and a page only once no page nearer the start can
        // still turn up: a link's depth is the length of the shortest way to it.
        while (!m_waiting.empty()) {
            const auto next = m_waiting.begin();
            if (!m_outstanding.empty() && m_outstanding.begin()->first < next->first) {
                break;
            }
            ReadPage page = std::move(next->second);
            m_waiting.erase(next);
            scanPage(std::move(page));
        }
        if (m_hooks.progress && m_sinceProgress.hasExpired(m_hooks.progressIntervalMs)) {
            m_sinceProgress.start();
            m_hooks.progress(progressNow());
        }
    }

    CrawlProgress progressNow() const
    {
        CrawlProgress progress;
        progress.pagesDone = m_pages.size();
        progress.pagesFound = m_accepted - m_sparesOutstanding; // a spare is no page until it is taken
        for (const auto &[depth, count] : m_outstanding) {
            progress.pagesFound += count;
        }
        progress.linksChecked = m_rowsDone;
        progress.distinct = m_distinct.size();
        return progress;
    }

    void scanPage(ReadPage read)
    {
        const QString text = normaliseLineEnds(decodeBody(read.contentType, read.body));
        read.body = QByteArray();
        // The ignore lists were split once for the site; only the page's own fields change.
        const RunOptions options = m_siteOptions.forPage(read.url);
        LinkRows rows = CollectLinks(text, read.url, options);

        const int slot = m_nextSlot++;
        OpenPage &open = m_open[slot];
        open.page = CrawlPage{read.url, read.depth, read.status, read.verdict, QString(), int(rows.size()), 0};
        open.rows.reserve(rows.size());
        QStringList toCheck;
        std::vector<int> checked;
        QStringList newCandidates;
        const bool deeper = read.depth + 1 <= m_options.maxDepth;
        for (LinkRow &row : rows) {
            const int index = int(open.rows.size());
            const QString address = withoutFragment(row.link);
            const bool mayCrawl = deeper && row.type == u"Internal" && isCheckedAddress(row.link);
            const int line = row.line;
            const int column = row.column;
            open.rows.append(CrawlRow{read.url, std::move(row), line, column});
            LinkRow &kept = open.rows.last().row;
            if (mayCrawl && !robotsAllow(address)) {
                kept.verdict = Verdict::Skipped;
                kept.verdictError = u"Disallowed by robots.txt"_s;
                ++m_rowsDone;
                continue;
            }
            const bool known = m_pageUrls.contains(address) || m_candidates.contains(address);
            // While the budget is not spent, a link beyond the places it holds is asked as a spare
            // page: a candidate before it may turn out to be no page and give its place up.
            if (mayCrawl && !known && m_accepted < m_options.maxPages) {
                addCandidate(address, read.depth + 1, !roomForAnotherPage());
                newCandidates.append(address);
            } else if (std::optional<TURLStatus> cached = cachedFor(kept.link)) {
                cached->MyURL = kept.link;
                applyCheckResult(kept, *cached);
                ++m_rowsDone;
                continue;
            }
            toCheck.append(kept.link);
            checked.push_back(index);
        }
        const int first = m_queue.addLinks(toCheck, [this](const QString &a) { return readsPage(a); });
        Q_ASSERT(size_t(first) == m_rowRefs.size());
        Q_UNUSED(first);
        for (const int index : checked) {
            m_rowRefs.push_back(RowRef{slot, index});
        }
        for (const QString &address : std::as_const(newCandidates)) {
            if (!m_candidates.value(address).asked) {
                resolveCandidate(address); // the check had asked for it before: it is no page
            }
        }
        open.pending = int(checked.size());
        if (open.pending == 0) {
            emitPage(m_open.find(slot));
        }
    }

    std::optional<TURLStatus> cachedFor(const QString &link) const
    {
        if (!m_hooks.cachedCheck || !isCheckedAddress(link)) {
            return std::nullopt;
        }
        if (m_options.check.checkFragments && link.contains(u'#')) {
            return std::nullopt; // the page must be read for its fragment
        }
        return m_hooks.cachedCheck(withoutFragment(link));
    }

    void emitPage(QHash<int, OpenPage>::iterator open)
    {
        for (const CrawlRow &row : std::as_const(open->rows)) {
            count(row.row);
        }
        m_pages.append(open->page);
        m_sink.pageDone(open->page, open->rows);
        m_open.erase(open);
    }

    void count(const LinkRow &row)
    {
        ++m_summary.rows;
        ++m_summary.byVerdict[size_t(row.verdict)];
        const QString address = withoutFragment(row.link);
        ++m_inlinks[address];
        if (!row.finalUrl.isEmpty() && row.finalUrl != address) {
            ++m_inlinks[withoutFragment(row.finalUrl)];
        }
        if (row.verdict != Verdict::Skipped && isCheckedAddress(address)) {
            m_distinct.insert(address);
        }
    }

    CrawlEnd finish(bool stopped)
    {
        CrawlEnd end;
        end.stopped = stopped;
        end.pages = m_pages;
        for (CrawlPage &page : end.pages) {
            page.inlinks = m_inlinks.value(page.url);
        }
        for (const QString &address : std::as_const(m_sitemapOrder)) {
            if (address != m_start && m_inlinks.value(address) == 0) {
                end.orphans.append(address);
            }
        }
        m_summary.pages = end.pages.size();
        m_summary.distinct = m_distinct.size();
        end.summary = m_summary;
        end.endedAt = QDateTime::currentDateTimeUtc();
        if (m_hooks.progress) {
            m_hooks.progress(progressNow());
        }
        qCDebug(lcCheck).nospace() << "crawl of " << m_start << (stopped ? " stopped" : " ended") << " after "
                                   << m_clock.elapsed() << " ms: " << end.pages.size() << " pages, " << m_summary.rows
                                   << " rows";
        m_sink.end(end);
        return end;
    }

    const QString m_start;
    const CrawlOptions m_options;
    CrawlSink &m_sink;
    const CrawlHooks m_hooks;
    const int m_parallel;
    HttpSession m_session;
    CheckQueue m_queue;
    const RunOptions m_siteOptions;
    RobotsRules m_robots;
    bool m_robotsForbidsAny = false;
    QString m_robotsFailure; // why robots.txt allows nothing, when it could not be had
    Verdict m_robotsVerdict = Verdict::Skipped;

    QHash<QString, Candidate> m_candidates;
    std::map<int, int> m_outstanding; // candidates not answered yet, by depth
    std::deque<std::pair<QString, ReadPage>> m_heldSpares;
    qint64 m_sparesOutstanding = 0; // of them, the spares
    std::multimap<int, ReadPage> m_waiting;
    QSet<QString> m_pageUrls;
    qint64 m_accepted = 0;
    std::vector<RowRef> m_rowRefs;
    QHash<int, OpenPage> m_open;
    int m_nextSlot = 0;
    QList<CrawlPage> m_pages;
    QHash<QString, int> m_inlinks;
    QSet<QString> m_distinct;
    QSet<QString> m_sitemapPages;
    QStringList m_sitemapOrder;
    CrawlSummary m_summary;
    qint64 m_rowsDone = 0;
    bool m_stopping = false;
    QElapsedTimer m_clock;
    QElapsedTimer m_sinceProgress;
};

} // namespace

CrawlEnd runCrawl(const QString &start, const CrawlOptions &options, CrawlSink &sink, const CrawlHooks &hooks)
{
    Crawl crawl(start, options, sink, hooks);
    return crawl.run();
}

} // namespace quorvel
