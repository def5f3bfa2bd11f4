#include "core/report/MarkdownReportWriter.h"

#include "core/report/ReportText.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

QString cell(QStringView text)
{
    return markdownEscaped(text, MarkdownReportWriter::kMaxCell);
}

// A bulleted list of at most kMaxRows items, then how many were left out.
QString bulletList(const QStringList &items)
{
    QString out;
    const qsizetype shown = std::min(items.size(), MarkdownReportWriter::kMaxRows);
    for (qsizetype i = 0; i < shown; ++i) {
        out += u"- "_s + cell(items[i]) + u'\n';
    }
    if (items.size() > shown) {
        out += u"- \u2026and %1 more\n"_s.arg(items.size() - shown);
    }
    return out;
}

} // namespace

MarkdownReportWriter::MarkdownReportWriter(ReportOutput output)
    : ReportWriter(std::move(output))
{}

void MarkdownReportWriter::begin(const CrawlHeader &header)
{
    m_header = header;
    m_findings.clear();
    m_errors = 0;
    m_warnings = 0;
}

void MarkdownReportWriter::pageDone(const CrawlPage &page, const QList<CrawlRow> &rows)
{
    for (const ReportFinding &finding : findingsOf(page, rows)) {
        (reportLevel(finding.verdict) == ReportLevel::Error ? m_errors : m_warnings) += 1;
        if (m_findings.size() < kMaxRows) {
            m_findings.append(finding);
        }
    }
}

void MarkdownReportWriter::end(const CrawlEnd &end)
{
    const CrawlSummary &summary = end.summary;
    QString out = u"## Crawl of "_s + cell(m_header.start) + u"\n\n"_s;
    out += u"%1 pages, %2 links found on them, %3 distinct addresses checked."_s.arg(summary.pages)
               .arg(summary.rows)
               .arg(summary.distinct);
    if (const QString period = crawlPeriod(m_header.startedAt, end.endedAt); !period.isEmpty()) {
        out += u' ' + period + u'.';
    }
    if (end.stopped) {
        out += u" **Stopped before the crawl was complete.**"_s;
    }
    out += u"\n\n"_s;
    if (!m_header.options.isEmpty()) {
        out += u"Options: "_s + cell(m_header.options) + u"\n\n"_s;
    }

    out += u"| Verdict | Count |\n| --- | ---: |\n"_s;
    for (int i = 1; i < kVerdictCount; ++i) {
        const auto v = static_cast<Verdict>(i);
        out += u"| "_s + verdictName(v) + u" | "_s + QString::number(summary.count(v)) + u" |\n"_s;
    }
    out += u'\n';

    if (end.changes) {
        const CrawlChanges &changes = *end.changes;
        out += u"### Changes since the crawl of "_s + reportTime(changes.previousStartedAt) + u"\n\n"_s;
        if (changes.newlyBroken.isEmpty() && changes.fixed.isEmpty()) {
            out += u"No link changed between working and broken.\n\n"_s;
        }
        if (!changes.newlyBroken.isEmpty()) {
            out +=
                u"Newly broken (%1):\n\n"_s.arg(changes.newlyBroken.size()) + bulletList(changes.newlyBroken) + u'\n';
        }
        if (!changes.fixed.isEmpty()) {
            out += u"Fixed (%1):\n\n"_s.arg(changes.fixed.size()) + bulletList(changes.fixed) + u'\n';
        }
    }

    out += u"### Problems: %1, warnings: %2\n\n"_s.arg(m_errors).arg(m_warnings);
    if (m_findings.isEmpty()) {
        out += u"No broken, timed-out, unreachable, blocked or rate-limited links, no missing fragments.\n"_s;
    } else {
        out += u"| Page | Line | Link | Anchor | Verdict | Status | Final address | Error |\n"
               u"| --- | ---: | --- | --- | --- | ---: | --- | --- |\n"_s;
        for (const ReportFinding &f : std::as_const(m_findings)) {
            const QString line = f.line > 0 ? QString::number(f.line) : QString();
            out += u"| "_s + cell(f.page) + u" | "_s + line + u" | "_s + cell(f.link) + u" | "_s + cell(f.anchor) +
                   u" | "_s + verdictName(f.verdict) + u" | "_s + statusText(f.status) + u" | "_s + cell(f.finalUrl) +
                   u" | "_s + cell(f.error) + u" |\n"_s;
        }
        const qint64 more = m_errors + m_warnings - m_findings.size();
        if (more > 0) {
            out += u"\n\u2026and %1 more.\n"_s.arg(more);
        }
    }

    if (!end.orphans.isEmpty()) {
        out += u"\n### Sitemap pages no crawled page links to (%1)\n\n"_s.arg(end.orphans.size()) +
               bulletList(end.orphans);
    }
    put(out);
    flush(true);
}

} // namespace quorvel
