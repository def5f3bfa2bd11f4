#pragma once

#include "core/collect/LocalPage.h"
#include "core/collect/PageFetcher.h"
#include "core/collect/RunOptions.h"
#include "core/common/OwnedThread.h"
#include "core/model/LinkRow.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace quorvel {

// The Check command's fix-up of the URL box text: "http://" is put in front unless the text begins
// with "http" or "file:///" (both case-sensitive, the text untrimmed).
QString fixUpAddress(const QString &boxText);

// Where a redirect leads: a relative Location is resolved against the address it answered for
// (RFC 3986); an absolute one stays exactly as sent.
QString RedirectTarget(const QString &address, const QString &location);

// Scans a page and turns every link found into rows, in page order.
LinkRows CollectLinks(const QString &pageText, const QString &base, const RunOptions &options);

// Everything one collection run uses, taken when it starts: later changes to the window's
// controls do not reach a run in progress.
struct CollectionSnapshot
{
    QString address;              // the URL box text, already fixed up with fixUpAddress
    QString ignoreUrlsText;       // the Ignore URLs box text
    QString ignoreExtensionsText; // the Ignore Extensions box text
    bool removeAnchors = true;
    UrlBaseMode urlBase = UrlBaseMode::Domain;
    QString userAgent;
    quint64 generation = 0; // carried by every report, so a window can ignore a stale run
    // For a "file:///" address only: the address the file stands for (base of the run and the
    // address links are classified against) instead of the file's own; empty: the file's own.
    QString localPageUrl;

    // Bounds of the page requests (tests make them small).
    int connectTimeoutMs = kPageConnectTimeoutMs;
    int idleTimeoutMs = kPageIdleTimeoutMs;
    int totalTimeoutMs = kPageTotalTimeoutMs;
    qint64 maxBytes = kPageMaxBytes;
    // Rows are handed on in batches of at most this many, or after this many milliseconds.
    int batchRows = 500;
    int batchIntervalMs = 50;
};

// How a run went, for a caller that runs it to the end on its own thread (the command line).
struct CollectionResult
{
    LinkRows rows;        // every row in table order, the redirect row first when there is one
    QString redirectFrom; // the address as given, when it answered with a redirect; else empty
    QString pageAddress;  // the address the rows were collected from (the target after a redirect)
    QString error;        // why the page could not be loaded; empty on success
};

// What a run reports while it goes, in this order: loading (before the redirect probe, and again
// with the target after a redirect), redirected, rows (batches in table order). All optional.
struct CollectionEvents
{
    std::function<void(const QString &address)> loading;
    std::function<void(const LinkRow &redirectRow, const QString &target)> redirected;
    std::function<void(const LinkRows &batch)> rows;
};

// The whole run on the calling thread, for the command line and for a collector's worker thread
// alike. A stop aborts a page request in flight at once (the page is then empty); it does not cut
// the scan short: every link of a loaded page is added. abandon, when it turns true, also skips the
// rows still to come (nobody will see them).
CollectionResult runCollection(const CollectionSnapshot &snapshot, const CollectionEvents &events,
                               const std::atomic<bool> *stop, const std::atomic<bool> *abandon = nullptr);

// One collection run (runCollection), living on an owned worker thread: redirect probe (not for
// "file:///"), page fetch or file read, scan, rows. create() puts it on a new thread; its owner
// connects the signals (queued), calls start(), and drops the handle after finished, or earlier to
// abandon the run. Every signal carries the snapshot's generation number.
class TCollector final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TCollector)

public:
    // A collector living on a new, not yet started thread. start() on the handle starts the run;
    // call it once, after connecting the signals. Dropping the handle abandons the run.
    static OwnedWorker<TCollector> create(CollectionSnapshot snapshot);
    ~TCollector() override;

    // STOP: aborts a page request in flight at once; a scan in progress still adds every row.
    // Safe from any thread.
    void requestStop();

    quint64 generation() const { return m_snapshot.generation; }

Q_SIGNALS:
    // The page being loaded (the window shows "Loading: " followed by it). Sent before the redirect
    // probe, and again with the target after a redirect.
    void loading(quint64 generation, const QString &address);
    // The address answered with a redirect: this row, then the URL box moves to the target.
    void redirectRow(quint64 generation, const quorvel::LinkRow &row);
    void urlBoxChanged(quint64 generation, const QString &target);
    // Rows in table order, in batches.
    void rowsCollected(quint64 generation, const QList<quorvel::LinkRow> &rows);
    // The run is over: total rows (the redirect row counts), why the page could not be loaded
    // (empty on success).
    void finished(quint64 generation, qsizetype total, const QString &error);

private:
    explicit TCollector(CollectionSnapshot snapshot);
    void run();
    void abandon(); // the owner dropped the run: stop, and skip the rows still to come

    CollectionSnapshot m_snapshot;
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_abandon = false;
};

} // namespace quorvel
