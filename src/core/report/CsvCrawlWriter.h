#pragma once

#include "core/crawl/CrawlTypes.h"
#include "core/report/ReportWriter.h"

#include <QChar>

#include <memory>

namespace quorvel {

// One CSV line per row, LF-ended, after a header line: Page, Line, Column, the export's five columns
// after Link, then Verdict, Final, Final Status, Hops, Error.
std::unique_ptr<CrawlSink> makeCsvCrawlWriter(ReportOutput write, QChar separator);

} // namespace quorvel
