#include "core/report/MarkdownReportWriter.h"

#include "CrawlFixture.h"

#include "support/Fixtures.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

QString markdownOf(const FixtureCrawl &crawl)
{
    return QString::fromUtf8(reportBytes(ReportFormat::Markdown, crawl));
}

// The lines of the table that follows the line starting with header, without its header and rule.
QStringList tableRows(const QString &markdown, const QString &header)
{
    const QStringList lines = markdown.split(u'\n');
    QStringList rows;
    qsizetype i = lines.indexOf(header);
    if (i < 0) {
        return rows;
    }
    for (i += 2; i < lines.size() && lines[i].startsWith(u'|'); ++i) {
        rows.append(lines[i]);
    }
    return rows;
}

// The cell separators of a table row: the '|' not escaped by a backslash.
int separators(const QString &row)
{
    int n = 0;
    bool escaped = false;
    for (const QChar c : row) {
        if (!escaped && c == u'|') {
            ++n;
        }
        escaped = !escaped && c == u'\\';
    }
    return n;
}

const QString kProblemsHeader = u"| Page | Line | Link | Anchor | Verdict | Status | Final address | Error |"_s;

} // namespace

TEST(MarkdownReportWriter, SummarisesCountsChangesAndProblems)
{
    const FixtureCrawl crawl = fixtureCrawl(false);
    const QString md = markdownOf(crawl);
    EXPECT_TRUE(md.startsWith(u"## Crawl of https://site.test/\n"_s)) << md.toStdString();

    struct CountCase
    {
        const char *verdict;
        int count;
    };
    const std::vector<CountCase> counts = {
        {"ok", 3},      {"redirected", 1},  {"broken", 3},           {"blocked", 1}, {"rate-limited", 1},
        {"timeout", 1}, {"unreachable", 1}, {"fragment-missing", 1}, {"skipped", 1},
    };
    const QStringList summary = tableRows(md, u"| Verdict | Count |"_s);
    ASSERT_EQ(summary.size(), qsizetype(counts.size()));
    for (std::size_t i = 0; i < counts.size(); ++i) {
        SCOPED_TRACE(counts[i].verdict);
        EXPECT_EQ(summary[qsizetype(i)],
                  u"| %1 | %2 |"_s.arg(QString::fromUtf8(counts[i].verdict)).arg(counts[i].count));
    }

    EXPECT_TRUE(md.contains(u"### Changes since the crawl of 2026-12-04T06:00:00Z\n"_s));
    EXPECT_TRUE(md.contains(u"Newly broken (1):\n\n- https://site.test/gone\n"_s));
    EXPECT_TRUE(md.contains(u"Fixed (1):\n\n- https://site.test/was-broken\n"_s));
    EXPECT_TRUE(md.contains(u"### Problems: 6, warnings: 2\n"_s));
    EXPECT_TRUE(md.contains(u"- https://site.test/lonely\n"_s));

    const QStringList problems = tableRows(md, kProblemsHeader);
    ASSERT_EQ(problems.size(), findingCount(crawl));
    EXPECT_EQ(problems.first(),
              u"| https://site.test/ | 12 | https://site.test/gone | Old page | broken | 404 |  |  |"_s);
}

// A hostile cell stays one cell on one line: no column added, no line broken, no HTML or code.
TEST(MarkdownReportWriter, HostileTextStaysInItsCell)
{
    const FixtureCrawl crawl = fixtureCrawl(true);
    const QString md = markdownOf(crawl);
    const QStringList problems = tableRows(md, kProblemsHeader);
    ASSERT_EQ(problems.size(), findingCount(crawl));
    for (const QString &row : problems) {
        SCOPED_TRACE(row.left(200).toStdString());
        EXPECT_EQ(separators(row), 9);
        EXPECT_FALSE(row.contains(QRegularExpression(u"(?<!\\\\)[<`](?!br>)"_s)));
        EXPECT_LE(row.size(), 8 * (MarkdownReportWriter::kMaxCell * 2 + 8));
    }
    const QString hostileRow = problems.filter(u"bold"_s).value(0);
    EXPECT_TRUE(hostileRow.contains(u"\\</script\\>\\<script\\>"_s)) << hostileRow.toStdString();
    EXPECT_TRUE(hostileRow.contains(u"\\| \\`tick\\`"_s));
    EXPECT_TRUE(hostileRow.contains(u"end<br>next line"_s));
    EXPECT_FALSE(md.contains(QChar(0x01)));
    EXPECT_FALSE(md.contains(QChar(0x00)));
    const QString longRow = problems.filter(u"https://site.test/long"_s).value(0);
    EXPECT_TRUE(longRow.contains(QString(MarkdownReportWriter::kMaxCell, u'w') + u"\u2026"_s));
    EXPECT_FALSE(longRow.contains(QString(MarkdownReportWriter::kMaxCell + 1, u'w')));
}

TEST(MarkdownReportWriter, CapsTheProblemsTableAndSaysHowManyMore)
{
    struct Case
    {
        const char *name;
        int broken;
        qsizetype rows;
        QString more; // empty: no such line
    };
    const std::vector<Case> cases = {
        {"under the cap", 3, 3, QString()},
        {"at the cap", 1000, 1000, QString()},
        {"over the cap", 1005, 1000, u"\u2026and 5 more."_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FixtureCrawl crawl;
        QList<CrawlRow> rows;
        for (int i = 0; i < c.broken; ++i) {
            CrawlRow row;
            row.page = u"https://a.test/"_s;
            row.row.link = u"https://a.test/%1"_s.arg(i);
            row.row.verdict = Verdict::Broken;
            row.row.finalStatus = 404;
            rows.append(row);
        }
        crawl.pages.append({CrawlPage{u"https://a.test/"_s, 0, 200, Verdict::Ok, QString(), c.broken, 0}, rows});
        const QString md = markdownOf(crawl);
        EXPECT_EQ(tableRows(md, kProblemsHeader).size(), c.rows);
        EXPECT_EQ(md.contains(u"\u2026and "_s), !c.more.isEmpty());
        if (!c.more.isEmpty()) {
            EXPECT_TRUE(md.contains(c.more));
        }
        EXPECT_TRUE(md.contains(u"### Problems: %1, warnings: 0\n"_s.arg(c.broken)));
    }
}

} // namespace quorvel::test
