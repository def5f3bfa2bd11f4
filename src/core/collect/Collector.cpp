#include "core/collect/Collector.h"

#include "core/collect/AnchorScanner.h"
#include "core/collect/LinkResolver.h"
#include "core/collect/PageFetcher.h"
#include "core/common/Http.h"
#include "core/common/Logging.h"
#include "core/common/ThreadHandOff.h"

#include <QElapsedTimer>
#include <QUrl>

#include <chrono>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

bool isRedirect(const FetchedPage &page)
{
    return page.error.isEmpty() && !page.redirectLocation.isEmpty();
}

} // namespace

QString fixUpAddress(const QString &boxText)
{
    if (boxText.startsWith(u"http"_s) || boxText.startsWith(u"file:///"_s)) {
        return boxText;
    }
    return u"http://"_s + boxText;
}

QString RedirectTarget(const QString &address, const QString &location)
{
    const QUrl reference(location);
    if (!reference.isRelative()) {
        return location;
    }
    const QUrl resolved = QUrl(address).resolved(reference);
    if (resolved.isRelative()) {
        return location;
    }
    // Spaces stay encoded: the target is requested as it is shown.
    return resolved.toString(QUrl::EncodeSpaces);
}

LinkRows CollectLinks(const QString &pageText, const QString &base, const RunOptions &options)
{
    LinkRows rows;
    ScanAnchors(pageText, base,
                [&](const QString &href, const QString &linkBase, const QString &follow, const QString &anchorText,
                    TextPosition at) {
                    if (std::optional<LinkRow> row = AddLink(href, linkBase, follow, anchorText, options)) {
                        row->line = at.line;
                        row->column = at.column;
                        rows.append(std::move(*row));
                    }
                });
    return rows;
}

namespace {

// The page a run scans, and where its links are resolved from.
struct LoadedPage
{
    QString text;
    QByteArray utf8; // a local page that is valid UTF-8 is scanned as its bytes
    bool isUtf8 = false;
    QString base;
    QString address; // the page's address: the redirect's target, or the local page's stand-in
};

void reportLoading(const CollectionEvents &events, const QString &address)
{
    if (events.loading) {
        events.loading(address);
    }
}

LoadedPage loadLocalPage(const CollectionSnapshot &snapshot, CollectionResult &result)
{
    LoadedPage page;
    PageSource local = readLocalPageSource(snapshot.address);
    page.isUtf8 = local.isUtf8;
    page.utf8 = std::move(local.utf8);
    page.text = std::move(local.text);
    result.error = std::move(local.error);
    if (snapshot.localPageUrl.isEmpty()) {
        page.address = snapshot.address;
        page.base = localPathOf(snapshot.address);
    } else {
        page.address = snapshot.localPageUrl;
        page.base = snapshot.localPageUrl;
    }
    return page;
}

// Fetches the page; a first answer that redirects becomes the redirect row, and its target is
// fetched once (a further redirect is not followed; its own body is the page).
LoadedPage fetchWebPage(const CollectionSnapshot &snapshot, const CollectionEvents &events,
                        const std::atomic<bool> *stop, CollectionResult &result)
{
    FetchOptions fetchOptions;
    fetchOptions.userAgent = snapshot.userAgent;
    fetchOptions.cancel = stop;
    fetchOptions.connectTimeoutMs = snapshot.connectTimeoutMs;
    fetchOptions.idleTimeoutMs = snapshot.idleTimeoutMs;
    fetchOptions.totalTimeoutMs = snapshot.totalTimeoutMs;
    fetchOptions.maxBytes = snapshot.maxBytes;
    // The total bound is for the whole run: the probe and the fetch after a redirect share it.
    fetchOptions.totalSince = std::chrono::steady_clock::now();

    LoadedPage loaded;
    loaded.address = snapshot.address;
    // The redirect probe. When it is not redirected, its answer is the page: one request.
    FetchedPage page = FetchPage(snapshot.address, fetchOptions);
    if (isRedirect(page)) {
        const QString target = RedirectTarget(snapshot.address, page.redirectLocation);
        const LinkRow row = LinkRow::redirectRow(snapshot.address);
        result.rows.append(row);
        result.redirectFrom = snapshot.address;
        if (events.redirected) {
            events.redirected(row, target);
        }
        loaded.address = target;
        reportLoading(events, target);
        // Fetched, never read from disk: a server's redirect to "file:///" must not open local files.
        page = FetchPage(target, fetchOptions);
        if (snapshot.totalTimeoutMs > 0 && page.error == totalTimeoutMessage(snapshot.totalTimeoutMs)) {
            // The fetch got what the probe left of the bound; say whose bound ran out.
            page.error = u"The page did not arrive within the run's bound of %1 ms"_s.arg(snapshot.totalTimeoutMs);
        }
    }
    loaded.text = std::move(page.text);
    result.error = std::move(page.error);
    loaded.base = loaded.address;
    return loaded;
}

// Scans the page into rows: kept in the result, handed on in batches, or both.
void scanPage(LoadedPage &page, const CollectionSnapshot &snapshot, const CollectionEvents &events,
              const std::atomic<bool> *abandon, CollectionResult &result)
{
    const RunOptions options = RunOptions::make(snapshot.ignoreUrlsText, snapshot.ignoreExtensionsText,
                                                snapshot.removeAnchors, snapshot.urlBase, page.address);
    LinkRows batch;
    QElapsedTimer sinceFlush;
    sinceFlush.start();
    const auto flush = [&] {
        if (!batch.isEmpty() && events.rows) {
            events.rows(batch);
        }
        batch.clear();
        sinceFlush.restart();
    };
    // Reserved once: growing a list of many rows would hold the old and the new array at once.
    const bool keepRows = !events.rows || events.keepRows;
    if (keepRows) {
        result.rows.reserve(result.rows.size() +
                            (page.isUtf8 ? countAnchorTagsUtf8(page.utf8) : countAnchorTags(page.text)));
    }
    const AnchorSink addRow = [&](const QString &href, const QString &linkBase, const QString &follow,
                                  const QString &anchorText, TextPosition at) {
        if (abandon && abandon->load(std::memory_order_relaxed)) {
            return;
        }
        std::optional<LinkRow> row = AddLink(href, linkBase, follow, anchorText, options);
        if (!row) {
            return;
        }
        row->line = at.line;
        row->column = at.column;
        if (!events.rows) {
            result.rows.append(std::move(*row)); // nobody takes batches: keep the row only
            return;
        }
        if (keepRows) {
            result.rows.append(*row);
        }
        batch.append(std::move(*row));
        // The clock is read every 16 rows: reading it for each row costs more than its row.
        if (batch.size() >= snapshot.batchRows ||
            (batch.size() % 16 == 1 && sinceFlush.elapsed() >= snapshot.batchIntervalMs)) {
            flush();
        }
    };
    if (page.isUtf8) {
        // The page goes back to the system as the scan passes it: it and all the rows are never
        // held at once.
        QByteArray &bytes = page.utf8;
        scanAnchorsUtf8(bytes, page.base, addRow, [&bytes](qsizetype passed) { releasePageBytes(bytes, passed); });
    } else {
        ScanAnchors(page.text, page.base, addRow);
    }
    flush();
}

} // namespace

CollectionResult runCollection(const CollectionSnapshot &snapshot, const CollectionEvents &events,
                               const std::atomic<bool> *stop, const std::atomic<bool> *abandon)
{
    QElapsedTimer runTimer;
    runTimer.start();
    qCDebug(lcCollect).noquote() << "collection run of" << snapshot.address;
    CollectionResult result;
    reportLoading(events, snapshot.address);
    LoadedPage page = isLocalAddress(snapshot.address) ? loadLocalPage(snapshot, result)
                                                       : fetchWebPage(snapshot, events, stop, result);
    result.pageAddress = page.address;
    scanPage(page, snapshot, events, abandon, result);
    qCDebug(lcCollect).nospace().noquote() << "collection run of " << snapshot.address << " ended in "
                                           << runTimer.elapsed() << " ms: " << result.rows.size() << " rows"
                                           << (result.error.isEmpty() ? QString() : u", error: "_s + result.error);
    return result;
}

TCollector::TCollector(CollectionSnapshot snapshot)
    : m_snapshot(std::move(snapshot))
{}

TCollector::~TCollector()
{
    // Deleted on the worker thread as it ends; a stop may have come from any thread.
    handOffAcquire(this);
}

OwnedWorker<TCollector> TCollector::create(CollectionSnapshot snapshot)
{
    return {std::unique_ptr<TCollector>(new TCollector(std::move(snapshot))), u"TCollector"_s, &TCollector::run,
            [](TCollector *collector) {
                collector->abandon();
            }};
}

void TCollector::requestStop()
{
    m_stop = true;
    handOffRelease(this);
}

void TCollector::abandon()
{
    m_abandon = true;
    m_stop = true;
}

void TCollector::run()
{
    const quint64 generation = m_snapshot.generation;
    CollectionEvents events;
    events.loading = [&](const QString &address) {
        Q_EMIT loading(generation, address);
    };
    events.redirected = [&](const LinkRow &row, const QString &target) {
        Q_EMIT redirectRow(generation, row);
        Q_EMIT urlBoxChanged(generation, target);
    };
    events.rows = [&](const LinkRows &rows) {
        Q_EMIT rowsCollected(generation, rows);
    };
    const CollectionResult result = runCollection(m_snapshot, events, &m_stop, &m_abandon);
    Q_EMIT finished(generation, result.rows.size(), result.error);
}

} // namespace quorvel
