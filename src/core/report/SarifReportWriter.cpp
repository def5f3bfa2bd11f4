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

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

// One JSON object, its members written in the order they are added; values are JSON already.
class JsonObject
{
public:
    JsonObject &add(const char *name, const QByteArray &value)
    {
        m_body += m_body.isEmpty() ? "\"" : ", \"";
        m_body += name;
        m_body += "\": ";
        m_body += value;
        return *this;
    }
    JsonObject &text(const char *name, QStringView value) { return add(name, json(value)); }
    JsonObject &count(const char *name, qint64 value) { return add(name, number(value)); }
    QByteArray bytes() const { return '{' + m_body + '}'; }

private:
    QByteArray m_body;
};

QByteArray levelOf(Verdict verdict)
{
    return json(reportLevel(verdict) == ReportLevel::Error ? u"error" : u"warning");
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

} // namespace

SarifReportWriter::SarifReportWriter(ReportOutput output)
    : ReportWriter(std::move(output))
{}

void SarifReportWriter::begin(const CrawlHeader &header)
{
    m_header = header;
    m_firstResult = true;
    QByteArray rules;
    for (const Verdict v : reportedVerdicts()) {
        rules += rules.isEmpty() ? "\n            " : ",\n            ";
        rules += JsonObject()
                     .text("id", ruleIdOf(v))
                     .text("name", verdictName(v))
                     .add("shortDescription", JsonObject().text("text", ruleDescriptionOf(v)).bytes())
                     .add("defaultConfiguration", JsonObject().add("level", levelOf(v)).bytes())
                     .bytes();
    }
    // The run is written open: its results follow as pages are done, end() closes it.
    QByteArray out = R"({
  "$schema": "https://json.schemastore.org/sarif-2.1.0.json",
  "version": "2.1.0",
  "runs": [
    {
      "tool": {
        "driver": {
          "name": "quorvel",
          "version": )";
    out += json(projectAppVersion()) + R"(,
          "rules": [)" +
           rules + R"(
          ]
        }
      },
      "results": [)";
    put(out);
    flush(true);
}

void SarifReportWriter::pageDone(const CrawlPage &page, const QList<CrawlRow> &rows)
{
    const QList<Verdict> verdicts = reportedVerdicts();
    for (const ReportFinding &f : findingsOf(page, rows)) {
        JsonObject physical;
        physical.add("artifactLocation", JsonObject().text("uri", uriReference(f.page)).bytes());
        if (f.line > 0) {
            JsonObject region;
            region.count("startLine", f.line);
            if (f.column > 0) {
                region.count("startColumn", f.column);
            }
            physical.add("region", region.bytes());
        }
        const QByteArray result =
            JsonObject()
                .text("ruleId", ruleIdOf(f.verdict))
                .count("ruleIndex", verdicts.indexOf(f.verdict))
                .add("level", levelOf(f.verdict))
                .add("message", JsonObject().text("text", messageOf(f)).bytes())
                .add("locations", '[' + JsonObject().add("physicalLocation", physical.bytes()).bytes() + ']')
                .add("properties", JsonObject()
                                       .text("link", f.link)
                                       .text("anchor", f.anchor)
                                       .text("verdict", verdictName(f.verdict))
                                       .count("status", f.status)
                                       .text("final", f.finalUrl)
                                       .text("error", f.error)
                                       .bytes())
                .bytes();
        put((m_firstResult ? "\n        " : ",\n        ") + result);
        m_firstResult = false;
    }
    flush(true);
}

void SarifReportWriter::end(const CrawlEnd &end)
{
    JsonObject invocation;
    invocation.add("executionSuccessful", "true");
    const QString started = reportTime(m_header.startedAt);
    if (!started.isEmpty()) {
        invocation.text("startTimeUtc", started);
    }
    const QString ended = reportTime(end.endedAt);
    if (!ended.isEmpty()) {
        invocation.text("endTimeUtc", ended);
    }
    invocation.add("properties", JsonObject().add("stopped", end.stopped ? "true" : "false").bytes());
    JsonObject verdicts;
    for (int i = 1; i < kVerdictCount; ++i) {
        const auto v = static_cast<Verdict>(i);
        verdicts.count(verdictName(v).toUtf8().constData(), end.summary.count(v));
    }
    const QByteArray properties = JsonObject()
                                      .text("start", m_header.start)
                                      .text("options", m_header.options)
                                      .count("pages", end.summary.pages)
                                      .count("rows", end.summary.rows)
                                      .count("distinct", end.summary.distinct)
                                      .add("verdicts", verdicts.bytes())
                                      .bytes();
    QByteArray out = m_firstResult ? "],\n" : "\n      ],\n";
    out += R"(      "invocations": [)" + invocation.bytes() + R"(],
      "properties": )" +
           properties + R"(
    }
  ]
}
)";
    put(out);
    flush(true);
}

} // namespace quorvel
