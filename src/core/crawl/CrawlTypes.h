#pragma once

#include "core/model/LinkRow.h"
#include "core/model/Verdict.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace quorvel {

// How many verdicts there are, None included: the size of a table indexed by verdict.
constexpr int kVerdictCount = static_cast<int>(Verdict::Skipped) + 1;

// True for the verdicts that fail a run: broken, timeout, unreachable, fragment-missing; with strict
// also blocked and rate-limited.
constexpr bool isProblemVerdict(Verdict verdict, bool strict = false)
{
    switch (verdict) {
    case Verdict::Broken:
    case Verdict::Timeout:
    case Verdict::Unreachable:
    case Verdict::FragmentMissing:
        return true;
    case Verdict::Blocked:
    case Verdict::RateLimited:
        return strict;
    default:
        return false;
    }
}

// What a crawl was asked to do, known when it starts.
struct CrawlHeader
{
    QString start;       // the start address as given, resolved (the page at depth 0)
    QDateTime startedAt; // UTC
    QString options;     // the options in words, for reports ("depth 10, max pages 10000, ...")
};

// One page the crawl fetched (or meant to fetch and could not).
struct CrawlPage
{
    QString url;    // fragment removed
    int depth = 0;  // links away from the start page
    int status = 0; // its fetch's final status; 0 when nothing answered or it was not fetched
    Verdict verdict = Verdict::None;
    QString error;   // why: "Disallowed by robots.txt", "Connection refused", ...
    int links = 0;   // rows found on it
    int inlinks = 0; // rows on crawled pages that point at it (final once the crawl ends)

    friend bool operator==(const CrawlPage &, const CrawlPage &) = default;
};

// One row of a crawled page: the collection's row with its check, the page it is on and where its
// "<a" stands in the page's text (1-based; 0 when not known).
struct CrawlRow
{
    QString page;
    LinkRow row;
    int line = 0;
    int column = 0;

    friend bool operator==(const CrawlRow &, const CrawlRow &) = default;
};

// Counts of a crawl. byVerdict is indexed by static_cast<int>(Verdict).
struct CrawlSummary
{
    qint64 pages = 0;    // pages fetched
    qint64 rows = 0;     // rows of every page
    qint64 distinct = 0; // distinct addresses checked
    std::array<qint64, kVerdictCount> byVerdict{};

    qint64 count(Verdict v) const { return byVerdict[static_cast<std::size_t>(v)]; }
    friend bool operator==(const CrawlSummary &, const CrawlSummary &) = default;
};

// What changed since the last crawl of the same start address in the same store: links whose
// verdict is a problem now and was not then (newly broken), and the other way round (fixed).
struct CrawlChanges
{
    QStringList newlyBroken;
    QStringList fixed;
    QDateTime previousStartedAt; // when the crawl compared with started (UTC)

    friend bool operator==(const CrawlChanges &, const CrawlChanges &) = default;
};

// What is known only when the crawl ends.
struct CrawlEnd
{
    QList<CrawlPage> pages; // every page, in the order they were fetched, inlinks final
    QStringList orphans;    // sitemap pages no crawled page links to
    CrawlSummary summary;
    std::optional<CrawlChanges> changes; // with a store holding an earlier crawl of the start address
    bool stopped = false;                // ended by the user (or a signal) before the frontier was empty
    QDateTime endedAt;                   // UTC
};

// Where a crawl's results go as it runs: begin once, then one pageDone per finished page (its
// rows all checked, in the page's order), then end once. Rows are never held by the crawl after
// pageDone returns, so a sink that writes them out keeps memory bounded by one page.
class CrawlSink
{
public:
    virtual ~CrawlSink() = default;
    virtual void begin(const CrawlHeader &header) = 0;
    virtual void pageDone(const CrawlPage &page, const QList<CrawlRow> &rows) = 0;
    virtual void end(const CrawlEnd &end) = 0;
};

} // namespace quorvel
