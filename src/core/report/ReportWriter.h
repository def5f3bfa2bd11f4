#pragma once

#include "core/crawl/CrawlTypes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;

namespace quorvel {

// Where a report's bytes go: false when they could not be written (a full disk, a closed pipe).
using ReportOutput = std::function<bool(const QByteArray &)>;

// An output that writes to an open device; false on a short write.
ReportOutput deviceOutput(QIODevice &device);

// How a report shows a verdict: the problems fail a run, blocked and rate-limited are warnings
// (the site may well be fine for a person), everything else is not shown as a finding.
enum class ReportLevel
{
    None,
    Warning,
    Error
};

ReportLevel reportLevel(Verdict verdict);

// The verdicts a report lists as findings (problems, then warnings), in the order reports show them.
QList<Verdict> reportedVerdicts();

// The words a report uses for a finding's verdict: a rule id ("broken-link") and a sentence.
QString ruleIdOf(Verdict verdict);
QString ruleDescriptionOf(Verdict verdict);

// One finding of a crawl, as a report keeps it: only what its tables show.
struct ReportFinding
{
    QString page;
    int line = 0; // 1-based; 0 when not known
    int column = 0;
    QString link;
    QString anchor;
    Verdict verdict = Verdict::None;
    int status = 0; // the last answer's status; 0 when nothing answered
    QString finalUrl;
    QString error;

    friend bool operator==(const ReportFinding &, const ReportFinding &) = default;
};

// A row as a finding (whatever its verdict).
ReportFinding findingOf(const CrawlRow &row);
// The start page as a finding when its own fetch failed: no crawled page links to it, so no row
// shows it. Nothing for any other page, or when the start page was fetched.
std::optional<ReportFinding> pageFinding(const CrawlPage &page);
// The findings of one finished page: its pageFinding, then each row whose verdict a report shows,
// in the page's order.
QList<ReportFinding> findingsOf(const CrawlPage &page, const QList<CrawlRow> &rows);

// "404", or "" when nothing answered.
QString statusText(int status);

// "Started A, ended B" with the times that are valid ("Started A" alone, ...); "" for neither.
QString crawlPeriod(const QDateTime &startedAt, const QDateTime &endedAt);

// A date and time as reports write it: ISO 8601 in UTC ("2026-12-11T06:00:00Z"); "" when not valid.
QString reportTime(const QDateTime &time);

// The report formats a crawl can be written in besides its row exports.
enum class ReportFormat
{
    Html,
    JUnit,
    Sarif,
    Markdown
};

// The format a word names ("html", "junit", "sarif", "markdown"), or nothing.
std::optional<ReportFormat> reportFormatNamed(QStringView name);
// The format a file's suffix asks for (".html"/".htm", ".xml" for JUnit, ".sarif", ".md"/".markdown",
// any case), or nothing.
std::optional<ReportFormat> reportFormatForFile(const QString &fileName);

// A crawl report written as the crawl runs. Every byte goes through the output given; once a write
// fails, nothing more is written and failed() says so. Used by the CLI and the window alike.
class ReportWriter : public CrawlSink
{
public:
    explicit ReportWriter(ReportOutput output);
    ~ReportWriter() override = default;
    ReportWriter(const ReportWriter &) = delete;
    ReportWriter &operator=(const ReportWriter &) = delete;

    bool failed() const { return m_failed; }
    // Empty while nothing failed.
    QString error() const;

protected:
    void put(QStringView text);
    void put(const QByteArray &bytes);
    // Hands what was put to the output: with always (a page done, the report's end) whatever there
    // is, else only once enough piled up to be worth a write.
    void flush(bool always = false);

private:
    ReportOutput m_output;
    QByteArray m_pending;
    bool m_failed = false;
};

// A writer of the format, writing to output.
std::unique_ptr<ReportWriter> makeReportWriter(ReportFormat format, ReportOutput output);

} // namespace quorvel
