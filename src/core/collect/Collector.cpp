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
                [&](const QString &href, const QString &linkBase, const QString &follow, const QString &anchorText) {
                    if (std::optional<LinkRow> row = AddLink(href, linkBase, follow, anchorText, options)) {
                        rows.append(std::move(*row));
                    }
                });
    return rows;
}

CollectionResult runCollection(const CollectionSnapshot &snapshot, const CollectionEvents &events,
                               const std::atomic<bool> *stop, const std::atomic<bool> *abandon)
{
    QElapsedTimer runTimer;
    runTimer.start();
    qCDebug(lcCollect).noquote() << "collection run of" << snapshot.address;
    CollectionResult result;
    const auto reportLoading = [&](const QString &address) {
        if (events.loading) {
            events.loading(address);
        }
    };

    QString pageText;
    QString base;
    QString pageAddress = snapshot.address;
    if (isLocalAddress(snapshot.address)) {
        reportLoading(snapshot.address);
        PageText local = readLocalPage(snapshot.address);
        pageText = std::move(local.text);
        result.error = std::move(local.error);
        if (snapshot.localPageUrl.isEmpty()) {
            base = localPathOf(snapshot.address);
        } else {
            pageAddress = snapshot.localPageUrl;
            base = snapshot.localPageUrl;
        }
    } else {
        FetchOptions fetchOptions;
        fetchOptions.userAgent = snapshot.userAgent;
        fetchOptions.cancel = stop;
        fetchOptions.connectTimeoutMs = snapshot.connectTimeoutMs;
        fetchOptions.idleTimeoutMs = snapshot.idleTimeoutMs;
        fetchOptions.totalTimeoutMs = snapshot.totalTimeoutMs;
        fetchOptions.maxBytes = snapshot.maxBytes;

        reportLoading(snapshot.address);
        // The total bound is for the whole run: the probe and the fetch after a redirect share it.
        const auto runStart = std::chrono::steady_clock::now();
        fetchOptions.totalSince = runStart;
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
            pageAddress = target;
            reportLoading(target);
            // Fetched, never read from disk: a server's redirect to "file:///" must not open local
            // files. A further redirect is not followed; its own body is the page.
            page = FetchPage(target, fetchOptions);
            if (snapshot.totalTimeoutMs > 0 && page.error == totalTimeoutMessage(snapshot.totalTimeoutMs)) {
                // The fetch got what the probe left of the bound; say whose bound ran out.
                page.error = u"The page did not arrive within the run's bound of %1 ms"_s.arg(snapshot.totalTimeoutMs);
            }
        }
        pageText = std::move(page.text);
        result.error = std::move(page.error);
        base = pageAddress;
    }
    result.pageAddress = pageAddress;

    const RunOptions options = RunOptions::make(snapshot.ignoreUrlsText, snapshot.ignoreExtensionsText,
                                                snapshot.removeAnchors, snapshot.urlBase, pageAddress);
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
    result.rows.reserve(result.rows.size() + countAnchorTags(pageText));
    ScanAnchors(pageText, base,
                [&](const QString &href, const QString &linkBase, const QString &follow, const QString &anchorText) {
                    if (abandon && abandon->load(std::memory_order_relaxed)) {
                        return;
                    }
                    std::optional<LinkRow> row = AddLink(href, linkBase, follow, anchorText, options);
                    if (!row) {
                        return;
                    }
                    if (!events.rows) {
                        result.rows.append(std::move(*row)); // nobody takes batches: keep the row only
                        return;
                    }
                    result.rows.append(*row);
                    batch.append(std::move(*row));
                    if (batch.size() >= snapshot.batchRows || sinceFlush.elapsed() >= snapshot.batchIntervalMs) {
                        flush();
                    }
                });
    flush();
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
    return OwnedWorker<TCollector>(std::unique_ptr<TCollector>(new TCollector(std::move(snapshot))), u"TCollector"_s,
                                   &TCollector::run, [](TCollector *collector) { collector->abandon(); });
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
