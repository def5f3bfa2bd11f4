#pragma once

#include "core/report/ReportWriter.h"

namespace quorvel {

// The crawl as SARIF 2.1.0 for code-scanning tools: one run of the tool "quorvel" with a rule per
// reported verdict, one result per problem row (level error) or blocked / rate-limited row
// (warning), the page as the artifact and the row's line and column as the region. Results are
// written as pages finish; the run's invocation and counts close the file at the end. Runs on the
// crawl's thread.
class SarifReportWriter final : public ReportWriter
{
public:
    explicit SarifReportWriter(ReportOutput output);

    void begin(const CrawlHeader &header) override;
    void pageDone(const CrawlPage &page, const QList<CrawlRow> &rows) override;
    void end(const CrawlEnd &end) override;

private:
    CrawlHeader m_header;
    bool m_firstResult = true;
};

} // namespace quorvel
