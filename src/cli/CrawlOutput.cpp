#include "cli/CrawlOutput.h"

#include "cli/CliOutput.h"
#include "core/results/Export.h"

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// The verdicts a summary counts, in the order the check's summary line names them.
constexpr auto kCountedVerdicts =
    std::to_array<Verdict>({Verdict::Ok, Verdict::Redirected, Verdict::Broken, Verdict::Blocked, Verdict::RateLimited,
                            Verdict::Timeout, Verdict::Unreachable, Verdict::FragmentMissing, Verdict::Skipped});

QByteArray number(qint64 n)
{
    return QByteArray::number(n);
}

QByteArray stringList(const QStringList &items, const char *indent)
{
    if (items.isEmpty()) {
        return "[]";
    }
    QByteArray out = "[";
    for (qsizetype i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "\n" : ",\n") + QByteArray(indent) + "  " + jsonString(items[i]);
    }
    return out + '\n' + indent + ']';
}

class JsonCrawlWriter final : public CrawlSink
{
public:
    explicit JsonCrawlWriter(OutputWrite write)
        : m_write(std::move(write))
    {}

    void begin(const CrawlHeader &header) override
    {
        m_write("{\n  \"start\": " + jsonString(header.start) + ",\n  \"rows\": [");
    }

    void pageDone(const CrawlPage &page, const QList<CrawlRow> &rows) override
    {
        if (rows.isEmpty()) {
            return;
        }
        // Each row on a line of its own, the page in front of its keys.
        const QByteArray lead = "\n    {\"page\": " + jsonString(page.url) + ", ";
        const QByteArray afterComma = ',' + lead;
        QByteArray out;
        for (const CrawlRow &row : rows) {
            appendJsonRow(out, m_anyRow ? QByteArrayView(afterComma) : QByteArrayView(lead), row.row,
                          JsonRowKeys::Checked);
            m_anyRow = true;
        }
        m_write(out);
    }

    void end(const CrawlEnd &end) override
    {
        QByteArray out = m_anyRow ? "\n  ],\n  \"pages\": [" : "],\n  \"pages\": [";
        for (qsizetype i = 0; i < end.pages.size(); ++i) {
            const CrawlPage &page = end.pages[i];
            out += (i == 0 ? "\n    {\"url\": " : ",\n    {\"url\": ") + jsonString(page.url) +
                   ", \"depth\": " + number(page.depth) + ", \"status\": " + number(page.status) +
                   ", \"verdict\": " + jsonString(verdictName(page.verdict)) + ", \"links\": " + number(page.links) +
                   ", \"inlinks\": " + number(page.inlinks) + ", \"error\": " + jsonString(page.error) + '}';
        }
        out += end.pages.isEmpty() ? "]" : "\n  ]";
        out += ",\n  \"orphans\": " + stringList(end.orphans, "  ");
        out += ",\n  \"summary\": " + crawlSummaryJson(end.summary);
        if (end.changes) {
            out += ",\n  \"changes\": {\"new\": " + stringList(end.changes->newlyBroken, "  ") +
                   ", \"fixed\": " + stringList(end.changes->fixed, "  ") + '}';
        }
        out += "\n}\n";
        m_write(out);
    }

private:
    OutputWrite m_write;
    bool m_anyRow = false;
};

class TextCrawlWriter final : public CrawlSink
{
public:
    explicit TextCrawlWriter(OutputWrite write)
        : m_write(std::move(write))
    {}

    void begin(const CrawlHeader &) override {}

    void pageDone(const CrawlPage &, const QList<CrawlRow> &rows) override
    {
        QByteArray out;
        for (const CrawlRow &crawled : rows) {
            const LinkRow &row = crawled.row;
            QString line = crawled.page;
            if (crawled.line > 0) {
                line += u":%1:%2"_s.arg(crawled.line).arg(crawled.column);
            }
            line += u": "_s + verdictName(row.verdict) + u' ' + row.link;
            if (!row.response.isEmpty()) {
                line += u" ("_s + row.response + u')';
            }
            const QString why = row.verdictError.isEmpty() ? row.checkError : row.verdictError;
            if (!why.isEmpty()) {
                line += u' ' + why;
            }
            // A page or a server decides these texts: no control character reaches a terminal.
            out += visibleText(line).toUtf8() + '\n';
        }
        m_write(out);
    }

    void end(const CrawlEnd &) override {}

private:
    OutputWrite m_write;
};

} // namespace

std::unique_ptr<CrawlSink> makeJsonCrawlWriter(OutputWrite write)
{
    return std::make_unique<JsonCrawlWriter>(std::move(write));
}

std::unique_ptr<CrawlSink> makeTextCrawlWriter(OutputWrite write)
{
    return std::make_unique<TextCrawlWriter>(std::move(write));
}

QByteArray crawlSummaryJson(const CrawlSummary &summary)
{
    QByteArray out = "{\"pages\": " + number(summary.pages) + ", \"rows\": " + number(summary.rows) +
                     ", \"distinct\": " + number(summary.distinct);
    for (const Verdict verdict : kCountedVerdicts) {
        out += ", " + jsonString(verdictName(verdict)) + ": " + number(summary.count(verdict));
    }
    return out + '}';
}

} // namespace quorvel
