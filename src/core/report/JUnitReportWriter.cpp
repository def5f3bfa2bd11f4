#include "core/report/JUnitReportWriter.h"

#include "core/report/ReportText.h"

#include <QHash>

#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

QString attribute(QStringView text)
{
    return markupEscaped(text, Markup::XmlAttribute);
}

// "line 12, column 5", "line 12", or "" when the position is not known.
QString positionText(int line, int column)
{
    if (line <= 0) {
        return {};
    }
    return column > 0 ? u"line %1, column %2"_s.arg(line).arg(column) : u"line %1"_s.arg(line);
}

// The one-line summary of a finding: "broken (404)", "unreachable: Connection refused".
QString findingMessage(const ReportFinding &finding)
{
    QString message = verdictName(finding.verdict);
    if (finding.status > 0) {
        message += u" ("_s + QString::number(finding.status) + u')';
    }
    if (!finding.error.isEmpty()) {
        message += u": "_s + finding.error;
    }
    return message;
}

// The failure's body: where the link stands, then the status, final address and error, a line each.
QString findingDetails(const ReportFinding &finding)
{
    QStringList lines;
    const QString position = positionText(finding.line, finding.column);
    if (!position.isEmpty()) {
        lines.append(position);
    }
    lines.append(u"status: "_s + (finding.status > 0 ? QString::number(finding.status) : u"none"_s));
    if (!finding.finalUrl.isEmpty()) {
        lines.append(u"final: "_s + finding.finalUrl);
    }
    if (!finding.error.isEmpty()) {
        lines.append(u"error: "_s + finding.error);
    }
    return lines.join(u'\n');
}

// The seconds of a row's response time cell (milliseconds), 0 when it holds none.
double secondsOf(const QString &milliseconds)
{
    bool ok = false;
    const double value = milliseconds.toDouble(&ok);
    return ok && value > 0 ? value / 1000.0 : 0.0;
}

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 3);
}

// One distinct link of a page and what its rows gave.
struct LinkCase
{
    QString link;
    double seconds = 0;
    QList<ReportFinding> failures;
    QList<ReportFinding> warnings;
    bool skipped = true; // every row of the link was skipped
};

} // namespace

JUnitReportWriter::JUnitReportWriter(ReportOutput output)
    : ReportWriter(std::move(output))
{}

void JUnitReportWriter::begin(const CrawlHeader &)
{
    put(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"quorvel crawl\">\n"_s);
    flush(true);
}

void JUnitReportWriter::pageDone(const CrawlPage &page, const QList<CrawlRow> &rows)
{
    std::vector<LinkCase> cases;
    QHash<QString, std::size_t> indexOf;
    auto caseOf = [&](const QString &link) -> LinkCase & {
        const auto found = indexOf.constFind(link);
        if (found != indexOf.constEnd()) {
            return cases[*found];
        }
        indexOf.insert(link, cases.size());
        cases.push_back(LinkCase{link, 0, {}, {}, true});
        return cases.back();
    };

    auto add = [](LinkCase &c, const ReportFinding &finding) {
        switch (reportLevel(finding.verdict)) {
        case ReportLevel::Error:
            c.failures.append(finding);
            break;
        case ReportLevel::Warning:
            c.warnings.append(finding);
            break;
        case ReportLevel::None:
            break;
        }
    };
    if (const std::optional<ReportFinding> own = pageFinding(page)) {
        LinkCase &c = caseOf(page.url);
        c.skipped = false;
        add(c, *own);
    }
    for (const CrawlRow &row : rows) {
        LinkCase &c = caseOf(row.row.link);
        if (c.seconds == 0) {
            c.seconds = secondsOf(row.row.responseTime);
        }
        c.skipped = c.skipped && row.row.verdict == Verdict::Skipped;
        add(c, findingOf(row));
    }

    int failed = 0;
    int skipped = 0;
    double seconds = 0;
    for (const LinkCase &c : cases) {
        failed += c.failures.isEmpty() ? 0 : 1;
        skipped += c.failures.isEmpty() && c.skipped ? 1 : 0;
        seconds += c.seconds;
    }
    const QString pageName = attribute(page.url);
    put(u"  <testsuite name=\"%1\" tests=\"%2\" failures=\"%3\" errors=\"0\" skipped=\"%4\" time=\"%5\">\n"_s.arg(
        pageName, QString::number(cases.size()), QString::number(failed), QString::number(skipped),
        secondsText(seconds)));
    for (const LinkCase &c : cases) {
        put(u"    <testcase name=\"%1\" classname=\"%2\" time=\"%3\""_s.arg(attribute(c.link), pageName,
                                                                            secondsText(c.seconds)));
        const bool isSkipped = c.failures.isEmpty() && c.skipped;
        if (c.failures.isEmpty() && c.warnings.isEmpty() && !isSkipped) {
            put(u"/>\n"_s);
            continue;
        }
        put(u">\n"_s);
        if (isSkipped) {
            put(u"      <skipped message=\"not checked: not an http or https address\"/>\n"_s);
        }
        for (const ReportFinding &f : c.failures) {
            put(u"      <failure message=\"%1\" type=\"%2\">%3</failure>\n"_s.arg(
                attribute(findingMessage(f)), verdictName(f.verdict),
                markupEscaped(findingDetails(f), Markup::XmlText)));
        }
        if (!c.warnings.isEmpty()) {
            QStringList notes;
            for (const ReportFinding &f : c.warnings) {
                const QString position = positionText(f.line, f.column);
                notes.append(u"warning: "_s + findingMessage(f) +
                             (position.isEmpty() ? QString() : u" at "_s + position));
            }
            put(u"      <system-out>%1</system-out>\n"_s.arg(markupEscaped(notes.join(u'\n'), Markup::XmlText)));
        }
        put(u"    </testcase>\n"_s);
    }
    put(u"  </testsuite>\n"_s);
    flush(true);
}

void JUnitReportWriter::end(const CrawlEnd &)
{
    put(u"</testsuites>\n"_s);
    flush(true);
}

} // namespace quorvel
