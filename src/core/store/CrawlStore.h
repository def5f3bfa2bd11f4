#pragma once

#include "core/crawl/CrawlTypes.h"
#include "core/results/LinkChecker.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorvel {

// A check kept by an earlier crawl that may stand in for asking the address again.
struct CachedCheck
{
    TURLStatus status;   // as the check gave it: MyURL is the address asked for
    QDateTime checkedAt; // UTC, when the page holding the link was finished

    friend bool operator==(const CachedCheck &, const CachedCheck &) = default;
};

// One crawl kept in a store, as the list of crawls shows it.
struct StoredCrawl
{
    qint64 id = 0;
    QString start;
    QDateTime startedAt; // UTC
    QDateTime endedAt;   // UTC; invalid for a crawl that never ended (killed, or still running)
    bool stopped = false;
    QString options;
    QStringList orphans;
    CrawlSummary summary; // as the crawl reported it when it ended; counted from its pages otherwise

    bool finished() const { return endedAt.isValid(); }
    friend bool operator==(const StoredCrawl &, const StoredCrawl &) = default;
};

// Where crawls are kept and read back: a crawl sink that writes what it is given, the checks of
// earlier crawls for reuse, what changed since the last crawl of the same start, and the crawls
// page by page for a window. Nothing here depends on the database behind it.
//
// Threads: one object is used by one thread at a time, and its connection belongs to the first
// thread that uses it after opening (the crawler's worker thread writes; a window opens its own
// object for reading). A call from another thread fails with an error instead of sharing the
// connection.
//
// Errors: a method that fails sets lastError() and returns false or nothing; a successful call
// clears it. A failed write of the crawl being written also sets crawlError(), which stays until
// the next begin(): the store stops recording that crawl (so it is never taken as the earlier crawl
// of a later comparison) while the crawl itself and its other outputs go on.
class CrawlStore : public CrawlSink
{
public:
    // Commits what pageDone has buffered. pageDone commits on its own every few thousand rows, always
    // at a page's end, so a page is kept whole or not at all; end() commits the rest.
    virtual bool flush() = 0;

    // The id of the crawl begun last by this object; 0 before begin().
    virtual qint64 currentCrawl() const = 0;

    // The last check of address (a row's link as requested) kept by any crawl in the store, when its
    // verdict was ok or redirected and it is at most maxAgeSeconds old. Failures are never returned,
    // nor an older success behind a later failure: they are always asked again.
    virtual std::optional<CachedCheck> cachedCheck(const QString &address, qint64 maxAgeSeconds) = 0;

    // What changed between the current crawl (after its last pageDone) and the last earlier crawl
    // of the same start address that ended, stopped or not. Newly broken: links whose verdict is a
    // problem now and was not (or that were not linked) then. Fixed: links whose verdict was a
    // problem then and that are now checked with another verdict, or no longer linked. A link on
    // this crawl that was not checked (a stopped crawl) counts as neither. Nothing when there is no
    // such earlier crawl. strict counts blocked and rate-limited as problems too.
    virtual std::optional<CrawlChanges> changes(bool strict = false) = 0;
    // The same for any crawl of the store (a window reading back a crawl another object wrote):
    // compared with the last crawl of its start address that began before it and ended.
    virtual std::optional<CrawlChanges> changesOf(qint64 crawlId, bool strict = false) = 0;

    // Reading back, oldest crawl first.
    virtual QList<StoredCrawl> crawls() = 0;
    // The crawl's pages in the order they were fetched.
    virtual QList<CrawlPage> pages(qint64 crawlId) = 0;
    // The rows of one page of a crawl, in the page's order.
    virtual QList<CrawlRow> rowsOfPage(qint64 crawlId, const QString &pageUrl) = 0;
    // The rows of a crawl whose verdict is a problem, page by page in the order fetched: at most
    // limit of them after skipping offset.
    virtual QList<CrawlRow> problemRows(qint64 crawlId, qint64 offset, qint64 limit, bool strict = false) = 0;
    // The crawl's counts: as reported when it ended, or counted from what was kept when it did not.
    virtual CrawlSummary summary(qint64 crawlId) = 0;

    virtual QString lastError() const = 0;
    virtual QString crawlError() const = 0;
};

} // namespace quorvel
