#pragma once

#include "core/store/CrawlStore.h"

#include <QString>

namespace quorvel {

// Hands a crawl kept in store to sink as if it ran again: begin with its start, time and options,
// then each page with its rows in the order the pages were fetched, then end with its pages,
// orphans, counts and what changed since the earlier crawl of its start. Reads one page's rows at
// a time. False, with the store's message in *error, when the crawl is not there or the store could
// not be read; the sink then has had no end().
bool replayCrawl(CrawlStore &store, qint64 crawlId, CrawlSink &sink, QString *error);

} // namespace quorvel
