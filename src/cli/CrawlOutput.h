#pragma once

#include "core/crawl/CrawlTypes.h"

#include <QByteArray>
#include <QChar>

#include <functional>
#include <memory>

namespace quorvel {

// Where a crawl's output goes, piece by piece; false when a piece could not be written.
using OutputWrite = std::function<bool(const QByteArray &)>;

// The crawl as one JSON object, written as it goes: {"start", "rows" (every row of every page, in
// the order pages finish, with the check's keys plus "page"), then "pages", "orphans", "summary"
// and, with a store that holds an earlier crawl, "changes"}. Rows come before pages because a
// page's inlinks are known only at the end.
std::unique_ptr<CrawlSink> makeJsonCrawlWriter(OutputWrite write);

// One line per row in the form compilers use, "PAGE:LINE:COLUMN: VERDICT LINK (STATUS) ERROR".
std::unique_ptr<CrawlSink> makeTextCrawlWriter(OutputWrite write);

// The summary object's members in order: pages, rows, distinct, then one count per verdict word.
QByteArray crawlSummaryJson(const CrawlSummary &summary);

} // namespace quorvel
