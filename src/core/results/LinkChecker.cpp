#include "core/results/LinkChecker.h"

#include "core/collect/PageFetcher.h"
#include "core/common/Http.h"
#include "core/common/Logging.h"
#include "core/common/Text.h"
#include "core/model/LinkRow.h"

#include <QElapsedTimer>
#include <QHash>

#include <algorithm>
#include <limits>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// How often a pass looks at a stop that nobody can wake it for (a bare flag, a thread interruption).
constexpr int kBareFlagPollMs = 5;
constexpr int kWakeablePollMs = 100;
// A check needs only the status line. A small body is read to its end, so the connection can serve
// the next link; a larger one is dropped here, and the row keeps the status it got.
constexpr qint64 kCheckBodyBytes = 1 << 20;

struct PassOutcome
{
    LinkCheckResults results;
    bool stopped = false;
};

// Sockets are file descriptors: a parallelism above the process's limit would turn into failed
// requests, so it is kept below, with room for the name resolver and the rest of the program.
int effectiveParallel(int requested)
{
    int parallel = std::clamp(requested, kMinParallelRequests, kMaxParallelRequests);
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const auto room = (qint64(limit.rlim_cur) - 64) / 2;
        parallel = int(std::clamp<qint64>(room, 1, parallel));
    }
    return parallel;
}

// Idle connections kept for reuse: one per request in flight, and room for the other hosts of a page.
int keptConnections(int parallel)
{
    return parallel + 32;
}

TURLStatus statusFromResult(const QString &url, const HttpResult &r)
{
    // A failed request still shows the status line of whatever response arrived.
    const bool answered = r.statusCode >= 0;
    return TURLStatus{url, answered ? r.statusCode : -1, QString::number(r.elapsedMs),
                      QString::fromLatin1(r.statusLine), answered ? QString() : r.error};
}

// The request every link of a pass is sent with; only its address changes.
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
    return request;
}

// One function for the whole schedule of a pass (start, repeats, stop): its steps share the pass's
// state, and the order in which they look at it is the point.
PassOutcome runPass(const QStringList &links, const LinkCheckOptions &options, HttpSession &session, int parallel,
                    const std::function<bool()> &shouldStop, int pollMs,
                    const std::function<void(int, const TURLStatus &)> &progress)
{
    const qsizetype count = links.size();
    PassOutcome outcome;
    outcome.results.resize(count);
    QElapsedTimer timer;
    timer.start();
    qCDebug(lcCheck).nospace() << "check pass of " << count << " links, " << parallel << " in flight, "
                               << (options.useHead ? "HEAD" : "GET");

    HttpRequest request = checkRequest(options);

    QHash<QString, int> firstRow;          // link text -> the row that requests it
    QHash<int, QList<int>> waitingRepeats; // a row in flight -> later rows with the same link
    bool stopping = false;

    const auto deliver = [&](int row, const TURLStatus &status) {
        outcome.results[row] = status;
        if (progress) {
            progress(row, status);
        }
    };
    const auto onResult = [&](int row, const HttpResult &result) {
        const TURLStatus status = statusFromResult(links[row], result);
        deliver(row, status);
        const QList<int> repeats = waitingRepeats.take(row);
        if (!stopping) {
            for (int repeat : repeats) {
                deliver(repeat, status);
            }
        }
    };

    qsizetype next = 0;
    while (true) {
        while (next < count && session.inFlight() < parallel && !shouldStop()) {
            const int row = int(next++);
            const QString &url = links[row];
            if (const auto it = firstRow.constFind(url); it != firstRow.constEnd()) {
                if (const auto &earlier = outcome.results[*it]) {
                    deliver(row, *earlier);
                } else {
                    waitingRepeats[*it].append(row);
                }
                continue;
            }
            firstRow.insert(url, row);
            if (startsWithAsciiCI(url, u"mailto:")) {
                deliver(row, TURLStatus{url, 0, QString(), u"EMAIL"_s, QString()});
                continue;
            }
            if (!isCheckedAddress(url)) {
                // Nothing to request: a scheme-less href of a local page would be taken for a host.
                deliver(row, TURLStatus{url, 0, QString(), QString(), QString()});
                continue;
            }
            request.url = url;
            session.start(request, [&onResult, row](const HttpResult &result) { onResult(row, result); });
        }
        if (next >= count && session.inFlight() == 0) {
            break;
        }
        if (shouldStop()) {
            // The requests in flight end now with what they received; their repeats and the rows
            // not started get nothing.
            stopping = true;
            outcome.stopped = true;
            session.cancelAll();
            break;
        }
        session.poll(pollMs);
    }
    qCDebug(lcCheck).nospace() << "check pass " << (outcome.stopped ? "stopped" : "ended") << " after "
                               << timer.elapsed() << " ms";
    return outcome;
}

} // namespace

bool isCheckedAddress(const QString &link)
{
    return startsWithAsciiCI(link, u"http://") || startsWithAsciiCI(link, u"https://");
}

int iconForStatus(int code)
{
    if (code == 200) {
        return kIconOk;
    }
    if (code >= 300 && code <= 399) {
        return kIconRedirect;
    }
    if (code >= 400 && code <= 599) {
        return kIconBroken;
    }
    return kIconNone;
}

int timeoutFromText(const QString &text, int fallbackMs)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok && value > 0 ? value : fallbackMs;
}

OwnedWorker<LinkChecker> LinkChecker::createOnWorkerThread(const QStringList &links, const LinkCheckOptions &options)
{
    return {std::make_unique<LinkChecker>(links, options), u"LinkChecker"_s, &LinkChecker::run,
            [](LinkChecker *checker) {
                checker->stop();
            }};
}

LinkChecker::LinkChecker(QStringList links, LinkCheckOptions options, QObject *parent)
    : QObject(parent)
    , m_links(std::move(links))
    , m_options(std::move(options))
{
    qRegisterMetaType<quorvel::TURLStatus>();
}

LinkChecker::~LinkChecker() = default;

void LinkChecker::stop()
{
    m_stop.store(true);
    const std::lock_guard lock(m_sessionMutex);
    if (m_session) {
        m_session->wakeup();
    }
}

void LinkChecker::run()
{
    const int parallel = effectiveParallel(m_options.parallel);
    HttpSession session(keptConnections(parallel));
    {
        const std::lock_guard lock(m_sessionMutex);
        m_session = &session;
    }
    QThread *thread = QThread::currentThread();
    const auto shouldStop = [this, thread] {
        return m_stop.load() || thread->isInterruptionRequested();
    };
    const auto progress = [this](int row, const TURLStatus &status) {
        Q_EMIT rowChecked(row, status);
    };
    const PassOutcome outcome = runPass(m_links, m_options, session, parallel, shouldStop, kWakeablePollMs, progress);
    {
        const std::lock_guard lock(m_sessionMutex);
        m_session = nullptr;
    }
    Q_EMIT finished(outcome.stopped);
}

LinkCheckResults checkLinks(const QStringList &links, const LinkCheckOptions &options, const std::atomic<bool> *cancel,
                            const std::function<void(int, const TURLStatus &)> &progress)
{
    const int parallel = effectiveParallel(options.parallel);
    HttpSession session(keptConnections(parallel));
    const auto shouldStop = [cancel] {
        return cancel && cancel->load();
    };
    return runPass(links, options, session, parallel, shouldStop, cancel ? kBareFlagPollMs : kWakeablePollMs, progress)
        .results;
}

} // namespace quorvel
