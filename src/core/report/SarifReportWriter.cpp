#include "core/report/SarifReportWriter.h"

#include "core/app/VersionInfo.h"
#include "core/report/ReportText.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

QByteArray json(QStringView text)
{
    return jsonString(text);
}

QByteArray levelOf(Verdict verdict)
{
    return reportLevel(verdict) == ReportLevel::Error ? QByteArrayLiteral("\"error\"")
                                                      : QByteArrayLiteral("\"warning\"");
}

// "http://a.com/x: broken (status 404), final address http://a.com/y: Not Found"
QString messageOf(const ReportFinding &finding)
{
    QString text = finding.link + u": "_s + verdictName(finding.verdict);
    if (finding.status > 0) {
        text += u" (status "_s + QString::number(finding.status) + u')';
    }
    if (!finding.finalUrl.isEmpty()) {
        text += u", final address "_s + finding.finalUrl;
    }
    if (!finding.error.isEmpty()) {
        text += u": "_s + finding.error;
    }
    return text;
}

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

} // namespace

SarifReportWriter::SarifReportWriter(ReportOutput output)
    : ReportWriter(std::move(output))
{}

void SarifReportWriter::begin(const CrawlHeader &header)
{
    m_header = header;
    m_firstResult = true;
    QByteArray out = "{\n"
                     "  \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\",\n"
                     "  \"version\": \"2.1.0\",\n"
                     "  \"runs\": [\n"
                     "    {\n"
                     "      \"tool\": {\n"
                     "        \"driver\": {\n"
                     "          \"name\": \"quorvel\",\n"
                     "          \"version\": ";
    out += json(projectAppVersion());
    out += ",\n          \"rules\": [";
    const QList<Verdict> verdicts = reportedVerdicts();
    for (qsizetype i = 0; i < verdicts.size(); ++i) {
        const Verdict v = verdicts[i];
        out += i == 0 ? "\n" : ",\n";
        out += "            {\"id\": " + json(ruleIdOf(v)) + ", \"name\": " + json(verdictName(v)) +
               ", \"shortDescription\": {\"text\": " + json(ruleDescriptionOf(v)) +
               "}, \"defaultConfiguration\": {\"level\": " + levelOf(v) + "}}";
    }
    out += "\n          ]\n"
           "        }\n"
           "      },\n"
           "      \"results\": [";
    put(out);
    flush(true);
}

void SarifReportWriter::pageDone(const CrawlPage &page, const QList<CrawlRow> &rows)
{
    const QList<Verdict> verdicts = reportedVerdicts();
    for (const ReportFinding &f : findingsOf(page, rows)) {
        QByteArray out = m_firstResult ? "\n" : ",\n";
        m_firstResult = false;
        out +=
            "        {\"ruleId\": " + json(ruleIdOf(f.verdict)) +
            ", \"ruleIndex\": " + number(verdicts.indexOf(f.verdict)) + ", \"level\": " + levelOf(f.verdict) +
            ", \"message\": {\"text\": " + json(messageOf(f)) +
            "}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": " + json(uriReference(f.page)) +
            "}";
        if (f.line > 0) {
            out += ", \"region\": {\"startLine\": " + number(f.line);
            if (f.column > 0) {
                out += ", \"startColumn\": " + number(f.column);
            }
            out += "}";
        }
        out += "}}], \"properties\": {\"link\": " + json(f.link) + ", \"anchor\": " + json(f.anchor) +
               ", \"verdict\": " + json(verdictName(f.verdict)) + ", \"status\": " + number(f.status) +
               ", \"final\": " + json(f.finalUrl) + ", \"error\": " + json(f.error) + "}}";
        put(out);
    }
    flush(true);
}

void SarifReportWriter::end(const CrawlEnd &end)
{
    QByteArray out = m_firstResult ? "],\n" : "\n      ],\n";
    out += "      \"invocations\": [{\"executionSuccessful\": true";
    const QString started = reportTime(m_header.startedAt);
    if (!started.isEmpty()) {
        out += ", \"startTimeUtc\": " + json(started);
    }
    const QString ended = reportTime(end.endedAt);
    if (!ended.isEmpty()) {
        out += ", \"endTimeUtc\": " + json(ended);
    }
    out += ", \"properties\": {\"stopped\": ";
    out += end.stopped ? "true" : "false";
    out += "}}],\n      \"properties\": {\"start\": " + json(m_header.start) +
           ", \"options\": " + json(m_header.options) + ", \"pages\": " + number(end.summary.pages) +
           ", \"rows\": " + number(end.summary.rows) + ", \"distinct\": " + number(end.summary.distinct) +
           ", \"verdicts\": {";
    bool first = true;
    for (int i = 1; i < kVerdictCount; ++i) {
        const auto v = static_cast<Verdict>(i);
        out += first ? "" : ", ";
        first = false;
        out += json(verdictName(v)) + ": " + number(end.summary.count(v));
    }
    out += "}}\n    }\n  ]\n}\n";
    put(out);
    flush(true);
}

} // namespace quorvel
