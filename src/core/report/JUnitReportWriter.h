#pragma once

#include "core/report/ReportWriter.h"

namespace quorvel {

// The crawl as JUnit XML for CI systems: one testsuite per page, one testcase per distinct link of
// the page, a failure for each row whose verdict is a problem (blocked and rate-limited rows are
// noted in the testcase's system-out, skipped links are skipped testcases). Each page's suite is
// written when the page is done, so memory stays bounded by one page; for that reason the
// testsuites element carries its name only: the totals are not known until the end, and the
// common JUnit schema makes them optional (CI systems add up the suites). Runs on the crawl's thread.
class JUnitReportWriter final : public ReportWriter
{
public:
    explicit JUnitReportWriter(ReportOutput output);

    void begin(const CrawlHeader &header) override;
    void pageDone(const CrawlPage &page, const QList<CrawlRow> &rows) override;
    void end(const CrawlEnd &end) override;
};

} // namespace quorvel
