#pragma once

#include "core/collect/RunOptions.h"
#include "core/crawl/CrawlTypes.h"
#include "core/results/LinkChecker.h"

#include <QString>

#include <atomic>
#include <functional>
#include <optional>

namespace quorvel {

// Everything one crawl uses, taken when it starts.
struct CrawlOptions
{
    // How a page's links are collected, as for one page.
    QString ignoreUrlsText;
    QString ignoreExtensionsText;
    bool removeAnchors = true;
    UrlBaseMode urlBase = UrlBaseMode::Domain;
    // How links and pages are requested: agent, HEAD, time-outs, parallel and per host, retries,
    // redirects, fragments. Page fetches are checks of their links and obey the same bounds.
    LinkCheckOptions check;
    int maxDepth = 10;     // pages more links away from the start are not fetched; 0: the start only
    int maxPages = 10'000; // at most this many pages are fetched
    bool ignoreRobots = false;
    bool useSitemap = false; // also crawl the pages the site's sitemaps list
    // Sitemap documents read at most (indexes included) and the bytes of one.
    int maxSitemaps = 50;
    qint64 maxSitemapBytes = qint64{10} << 20;
};

// How far a crawl is, for a progress display.
struct CrawlProgress
{
    qint64 pagesDone = 0;    // pages whose rows are all checked
    qint64 pagesFound = 0;   // pages fetched or waiting to be
    qint64 linksChecked = 0; // rows with their result
    qint64 distinct = 0;     // distinct addresses asked for
};

// What a crawl may ask of its caller while it runs. All optional.
struct CrawlHooks
{
    // A stored result of a check of address young enough to stand for a new one; nothing asks again.
    std::function<std::optional<TURLStatus>(const QString &address)> cachedCheck;
    // Looked at between requests: true ends the crawl; the pages finished stay with the sink.
    std::function<bool()> shouldStop;
    // Now and then (at most every progressIntervalMs) while the crawl runs, and once at its end.
    std::function<void(const CrawlProgress &)> progress;
    int progressIntervalMs = 100;
    // How often shouldStop is looked at while requests are in flight.
    int pollMs = 50;
};

// Crawls the site of start on the calling thread: the start page, then the pages its Internal links
// lead to, breadth first, each fetched once. Every row of every fetched page is checked (one request
// per distinct address for the whole crawl) and handed to sink when its page is finished. robots.txt
// of the start's host is obeyed unless ignoreRobots. Returns what the sink's end() was given.
CrawlEnd runCrawl(const QString &start, const CrawlOptions &options, CrawlSink &sink, const CrawlHooks &hooks = {});

} // namespace quorvel
