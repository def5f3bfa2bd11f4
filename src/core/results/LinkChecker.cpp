#include "core/results/LinkChecker.h"

#include "core/common/Http.h"
#include "core/common/Text.h"
#include "core/model/LinkRow.h"
#include "core/results/CheckPass.h"

#include <algorithm>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// How often a pass looks at a stop that nobody can wake it for (a bare flag, a thread interruption).
constexpr int kBareFlagPollMs = 5;
constexpr int kWakeablePollMs = 100;

} // namespace

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
    const PassOutcome outcome =
        runCheckPass(m_links, m_options, session, parallel, shouldStop, kWakeablePollMs, progress);
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
    return runCheckPass(links, options, session, parallel, shouldStop, cancel ? kBareFlagPollMs : kWakeablePollMs,
                        progress)
        .results;
}

} // namespace quorvel
