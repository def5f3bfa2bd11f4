#pragma once

#include "core/report/ReportWriter.h"

namespace quorvel {

// The crawl as Markdown for a CI job's summary: the counts by verdict, the changes since the last
// crawl and the problems (blocked and rate-limited rows included as warnings). Everything is
// written at the end, since the counts come first; to stay readable, and bounded in memory, the
// problems table keeps its first kMaxRows rows and says how many more there were. Runs on the
// crawl's thread.
class MarkdownReportWriter final : public ReportWriter
{
public:
    static constexpr qsizetype kMaxRows = 1000; // rows of the problems table and items of each list
    static constexpr qsizetype kMaxCell = 300;  // characters of one cell or list item

    explicit MarkdownReportWriter(ReportOutput output);

    void begin(const CrawlHeader &header) override;
    void pageDone(const CrawlPage &page, const QList<CrawlRow> &rows) override;
    void end(const CrawlEnd &end) override;

private:
    CrawlHeader m_header;
    QList<ReportFinding> m_findings; // the first kMaxRows
    qint64 m_errors = 0;
    qint64 m_warnings = 0;
};

} // namespace quorvel
