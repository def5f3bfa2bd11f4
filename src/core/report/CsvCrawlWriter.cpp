#include "core/report/CsvCrawlWriter.h"

#include "core/results/Export.h"

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

class CsvCrawlWriter final : public CrawlSink
{
public:
    CsvCrawlWriter(ReportOutput write, QChar separator)
        : m_write(std::move(write))
        , m_separator(separator)
    {}

    void begin(const CrawlHeader &) override
    {
        const QStringList names = {u"Page"_s,        u"Line"_s,          u"Column"_s,
                                   u"Link"_s,        u"Follow"_s,        u"Type"_s,
                                   u"Anchor Text"_s, u"HTTP Response"_s, u"Response Time (ms)"_s,
                                   u"Verdict"_s,     u"Final"_s,         u"Final Status"_s,
                                   u"Hops"_s,        u"Error"_s};
        m_write(names.join(m_separator).toUtf8() + '\n');
    }

    void pageDone(const CrawlPage &, const QList<CrawlRow> &rows) override
    {
        QByteArray out;
        for (const CrawlRow &crawled : rows) {
            const LinkRow &row = crawled.row;
            const QStringList fields = {crawled.page,
                                        QString::number(crawled.line),
                                        QString::number(crawled.column),
                                        row.link,
                                        row.follow,
                                        row.type,
                                        row.anchorText,
                                        row.response,
                                        row.responseTime,
                                        verdictName(row.verdict),
                                        row.finalUrl,
                                        QString::number(row.finalStatus),
                                        QString::number(row.hops),
                                        row.verdictError.isEmpty() ? row.checkError : row.verdictError};
            QString line;
            for (qsizetype i = 0; i < fields.size(); ++i) {
                if (i > 0) {
                    line += m_separator;
                }
                line += CsvField(fields[i], m_separator);
            }
            out += line.toUtf8() + '\n';
        }
        m_write(out);
    }

    void end(const CrawlEnd &) override {}

private:
    ReportOutput m_write;
    QChar m_separator;
};

} // namespace

std::unique_ptr<CrawlSink> makeCsvCrawlWriter(ReportOutput write, QChar separator)
{
    return std::make_unique<CsvCrawlWriter>(std::move(write), separator);
}

} // namespace quorvel
