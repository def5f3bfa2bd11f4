#pragma once

#include "core/common/OwnedThread.h"
#include "core/results/ParallelChecks.h"
#include "core/results/VerdictRules.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace quorvel {

class HttpSession;

// The outcome of one row within one check pass. The first five members describe the first answer
// (after a HEAD refused and asked again with GET, and after the retries of a "come back later");
// the rest is what the whole chain of answers means.
struct TURLStatus
{
    TURLStatus() = default;
    // The first answer's cells; the verdict members start empty.
    TURLStatus(QString url, int status, QString responseTime, QString message, QString error)
        : MyURL(std::move(url))
        , MyStatus(status)
        , MyResponseTime(std::move(responseTime))
        , MyMessage(std::move(message))
        , MyError(std::move(error))
    {}

    QString MyURL;          // the row's link
    int MyStatus = 0;       // HTTP status code; 0 for a link not requested; -1 when no status line arrived
    QString MyResponseTime; // whole milliseconds as plain digits; empty for a link not requested
    QString MyMessage;      // the "HTTP Response" cell: the status line as received, "EMAIL", or empty
    QString MyError;        // why no answer arrived (MyStatus -1): "Could not resolve host ...", else empty

    Verdict verdict = Verdict::None;
    QString finalUrl;         // the address of the last answer after redirects; empty without one
    int finalStatus = 0;      // the last answer's status; 0 when nothing answered
    int hops = 0;             // redirects followed
    QString reason;           // why the verdict: for timeout/unreachable and a redirect that failed
    QList<RedirectHop> chain; // every answer in order, the first included

    friend bool operator==(const TURLStatus &, const TURLStatus &) = default;
};

// A snapshot of the options a pass runs with, taken when it starts.
struct LinkCheckOptions
{
    QString userAgent;
    bool useHead = false;
    // The time-out boxes' texts as typed, in milliseconds.
    QString connectTimeout = QStringLiteral("5000");
    QString responseTimeout = QStringLiteral("5000");
    int parallel = kDefaultParallelRequests; // requests in flight at once, kept within the bounds of ParallelChecks.h
    int perHost = kDefaultPerHostRequests;   // requests in flight to one host:port at once
    int maxRedirects = 10;                   // redirects followed; 0: none, the first answer is the last
    int retries = 2;                         // repeats of a 429/503 or a reset before any answer
    int retryWaitMaxMs = 30'000;             // the longest wait before a repeat
    bool checkFragments = false;             // "#name" must exist in a 2xx HTML page (anchors kept)
};

// True for a link the check requests: one that starts with "http://" or "https://" (ASCII case
// ignored). Any other row (a mail link, a local page's scheme-less href such as "about.html" or
// "127.0.0.1:8080/x") gets a result with status 0 and no request.
bool isCheckedAddress(const QString &link);

// The icon of a checked row: 200 ok, 300-399 redirect, 400-599 broken, anything else none.
int iconForStatus(int code);

// A time-out box's text in milliseconds. A text that is not a whole number above zero (empty,
// letters, "0", out of range) gives the fallback: a wait is never left without a bound.
int timeoutFromText(const QString &text, int fallbackMs);

// The requests in flight a pass runs with: requested within the check's bounds, and below what the
// process's limit on open files allows.
int effectiveParallel(int requested);
// Idle connections a session keeps for reuse with that many requests in flight.
int keptConnections(int parallel);

// One row's result, or nothing for a row that a stopped pass did not get to.
using LinkCheckResults = QList<std::optional<TURLStatus>>;

// One broken-link pass over links on the calling thread (the command line's, or a LinkChecker's
// worker thread), each link followed to its verdict (see runCheckPass in CheckPass.h for the
// rules). progress runs on it once per row that got its result, in the order results arrive (row
// order when parallel is 1); cancel is looked at every few ms.
LinkCheckResults checkLinks(const QStringList &links, const LinkCheckOptions &options,
                            const std::atomic<bool> *cancel = nullptr,
                            const std::function<void(int, const TURLStatus &)> &progress = {});

// Runs one broken-link pass (checkLinks) over a snapshot of the rows' links; lives on an owned
// worker thread.
// Up to `parallel` requests are in flight through one curl multi handle (at most `perHost` to one
// host:port), connections are reused within the pass, and each distinct address (its fragment
// removed) is requested once: a repeat waits for its first occurrence and copies its result.
class LinkChecker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinkChecker)

public:
    // A checker on a new, not yet started thread. Connect to the signals, then call start() on
    // the handle; dropping the handle stops the pass, quits the thread and waits for it.
    static OwnedWorker<LinkChecker> createOnWorkerThread(const QStringList &links, const LinkCheckOptions &options);

    explicit LinkChecker(QStringList links, LinkCheckOptions options, QObject *parent = nullptr);
    ~LinkChecker() override;

    // Any thread: requests in flight are aborted at once; rows not started get no result.
    void stop();

Q_SIGNALS:
    void rowChecked(int row, quorvel::TURLStatus status);
    void finished(bool stopped);

private:
    // Runs the whole pass on the checker's thread as it starts, then emits finished.
    void run();

    const QStringList m_links;
    const LinkCheckOptions m_options;
    std::atomic<bool> m_stop{false};
    std::mutex m_sessionMutex;
    HttpSession *m_session = nullptr; // the running pass's session, woken by stop()
};

} // namespace quorvel

Q_DECLARE_METATYPE(quorvel::TURLStatus)
