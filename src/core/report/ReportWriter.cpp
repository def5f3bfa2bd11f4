#include "core/report/ReportWriter.h"

#include "core/report/HtmlReportWriter.h"
#include "core/report/JUnitReportWriter.h"
#include "core/report/MarkdownReportWriter.h"
#include "core/report/SarifReportWriter.h"

#include <QFileInfo>
#include <QIODevice>

#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

struct VerdictRule
{
    Verdict verdict;
    QStringView id;
    QStringView description;
};

constexpr auto kRules = std::to_array<VerdictRule>({
    {Verdict::Broken, u"broken-link",
     u"The link's address answers with an error (4xx or 5xx) or a redirect that "
     u"cannot be followed."},
    {Verdict::Timeout, u"link-timeout", u"The link's address did not answer within the time-outs."},
    {Verdict::Unreachable, u"link-unreachable", u"The link's host name, connection or TLS handshake failed."},
    {Verdict::FragmentMissing, u"fragment-missing",
     u"The linked page is there, the #name the link points at is "
     u"not."},
    {Verdict::Blocked, u"link-blocked", u"A bot wall answered instead of the page; a person may well see it."},
    {Verdict::RateLimited, u"link-rate-limited",
     u"The site still answered 429 Too Many Requests after the "
     u"retries."},
});

// Enough bytes to make a write worth its call.
constexpr qsizetype kFlushSize = qsizetype(64) * 1024;

} // namespace

ReportOutput deviceOutput(QIODevice &device)
{
    return [&device](const QByteArray &bytes) {
        return device.write(bytes) == bytes.size();
    };
}

ReportLevel reportLevel(Verdict verdict)
{
    if (isProblemVerdict(verdict)) {
        return ReportLevel::Error;
    }
    if (isProblemVerdict(verdict, true)) {
        return ReportLevel::Warning;
    }
    return ReportLevel::None;
}

QList<Verdict> reportedVerdicts()
{
    QList<Verdict> verdicts;
    for (const VerdictRule &rule : kRules) {
        verdicts.append(rule.verdict);
    }
    return verdicts;
}

QString ruleIdOf(Verdict verdict)
{
    for (const VerdictRule &rule : kRules) {
        if (rule.verdict == verdict) {
            return rule.id.toString();
        }
    }
    return verdictName(verdict);
}

QString ruleDescriptionOf(Verdict verdict)
{
    for (const VerdictRule &rule : kRules) {
        if (rule.verdict == verdict) {
            return rule.description.toString();
        }
    }
    return {};
}

ReportFinding findingOf(const CrawlRow &row)
{
    const QString &error = row.row.verdictError.isEmpty() ? row.row.checkError : row.row.verdictError;
    return ReportFinding{
        row.page,         row.line, row.column, row.row.link, row.row.anchorText, row.row.verdict, row.row.finalStatus,
        row.row.finalUrl, error};
}

std::optional<ReportFinding> pageFinding(const CrawlPage &page)
{
    if (page.depth != 0 || reportLevel(page.verdict) == ReportLevel::None) {
        return std::nullopt;
    }
    return ReportFinding{page.url, 0, 0, page.url, QString(), page.verdict, page.status, QString(), page.error};
}

QList<ReportFinding> findingsOf(const CrawlPage &page, const QList<CrawlRow> &rows)
{
    QList<ReportFinding> findings;
    if (const std::optional<ReportFinding> own = pageFinding(page)) {
        findings.append(*own);
    }
    for (const CrawlRow &row : rows) {
        if (reportLevel(row.row.verdict) != ReportLevel::None) {
            findings.append(findingOf(row));
        }
    }
    return findings;
}

QString statusText(int status)
{
    return status > 0 ? QString::number(status) : QString();
}

QString reportTime(const QDateTime &time)
{
    if (!time.isValid()) {
        return {};
    }
    return time.toUTC().toString(Qt::ISODate);
}

QString crawlPeriod(const QDateTime &startedAt, const QDateTime &endedAt)
{
    const QString started = reportTime(startedAt);
    const QString ended = reportTime(endedAt);
    if (started.isEmpty()) {
        return ended.isEmpty() ? QString() : QString(u"Ended "_s + ended);
    }
    if (ended.isEmpty()) {
        return u"Started "_s + started;
    }
    return u"Started "_s + started + u", ended "_s + ended;
}

std::optional<ReportFormat> reportFormatNamed(QStringView name)
{
    constexpr auto kNames = std::to_array<std::pair<QStringView, ReportFormat>>({
        {u"html", ReportFormat::Html},
        {u"junit", ReportFormat::JUnit},
        {u"sarif", ReportFormat::Sarif},
        {u"markdown", ReportFormat::Markdown},
    });
    for (const auto &[word, format] : kNames) {
        if (word == name) {
            return format;
        }
    }
    return std::nullopt;
}

std::optional<ReportFormat> reportFormatForFile(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"html" || suffix == u"htm") {
        return ReportFormat::Html;
    }
    if (suffix == u"xml") {
        return ReportFormat::JUnit;
    }
    if (suffix == u"sarif") {
        return ReportFormat::Sarif;
    }
    if (suffix == u"md" || suffix == u"markdown") {
        return ReportFormat::Markdown;
    }
    return std::nullopt;
}

ReportWriter::ReportWriter(ReportOutput output)
    : m_output(std::move(output))
{}

QString ReportWriter::error() const
{
    return m_failed ? u"The report could not be written: its output refused the bytes"_s : QString();
}

void ReportWriter::put(QStringView text)
{
    if (!m_failed) {
        m_pending += text.toUtf8();
    }
}

void ReportWriter::put(const QByteArray &bytes)
{
    if (!m_failed) {
        m_pending += bytes;
    }
}

void ReportWriter::flush(bool always)
{
    if (m_failed || m_pending.isEmpty() || (!always && m_pending.size() < kFlushSize)) {
        return;
    }
    if (!m_output || !m_output(m_pending)) {
        m_failed = true;
    }
    m_pending.clear();
}

std::unique_ptr<ReportWriter> makeReportWriter(ReportFormat format, ReportOutput output)
{
    switch (format) {
    case ReportFormat::Html:
        return std::make_unique<HtmlReportWriter>(std::move(output));
    case ReportFormat::JUnit:
        return std::make_unique<JUnitReportWriter>(std::move(output));
    case ReportFormat::Sarif:
        return std::make_unique<SarifReportWriter>(std::move(output));
    case ReportFormat::Markdown:
        return std::make_unique<MarkdownReportWriter>(std::move(output));
    }
    return nullptr;
}

} // namespace quorvel
