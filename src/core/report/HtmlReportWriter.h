#pragma once

#include "core/report/ReportWriter.h"

namespace quorvel {

// The crawl as one self-contained HTML file for a person: counts with a bar chart of the verdicts
// (inline SVG), the changes since the last crawl, the problems table (blocked and rate-limited rows
// included as warnings) and the pages table. Styles and the small script that sorts the tables and
// filters the problems live in the file, and its Content-Security-Policy lets only those two run
// and load nothing from anywhere; with scripts off the tables are complete. The filter can be given
// in the address's fragment ("report.html#filter=text&verdict=broken&sort=problems:5&order=desc"),
// which the script keeps up to date, so a filtered view can be bookmarked.
//
// Everything is written at the end (the counts come first); until then the writer holds the
// findings only, never the other rows. Runs on the crawl's thread.
class HtmlReportWriter final : public ReportWriter
{
public:
    explicit HtmlReportWriter(ReportOutput output);

    void begin(const CrawlHeader &header) override;
    void pageDone(const CrawlPage &page, const QList<CrawlRow> &rows) override;
    void end(const CrawlEnd &end) override;

    // The file's style sheet and script, as its Content-Security-Policy names them by hash.
    static QString styleSheet();
    static QString script();

private:
    CrawlHeader m_header;
    QList<ReportFinding> m_findings;
};

} // namespace quorvel
