#include "core/report/ReportWriter.h"

#include "CrawlFixture.h"

#include "support/Fixtures.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

struct FormatCase
{
    const char *name;
    ReportFormat format;
};

const std::vector<FormatCase> kFormats = {
    {"html", ReportFormat::Html},
    {"junit", ReportFormat::JUnit},
    {"sarif", ReportFormat::Sarif},
    {"markdown", ReportFormat::Markdown},
};

} // namespace

TEST(ReportWriter, FormatsAreNamedByTheirWord)
{
    for (const FormatCase &c : kFormats) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reportFormatNamed(QString::fromUtf8(c.name)), c.format);
    }
    for (const QString &word : {u"HTML"_s, u"json"_s, u""_s, u"md"_s}) {
        SCOPED_TRACE(word.toStdString());
        EXPECT_EQ(reportFormatNamed(word), std::nullopt);
    }
}

// A write that fails is remembered and reported, and nothing more is handed to the output after it.
TEST(ReportWriter, AFailedWriteIsReportedAndEndsTheWriting)
{
    for (const FormatCase &c : kFormats) {
        SCOPED_TRACE(c.name);
        int calls = 0;
        const std::unique_ptr<ReportWriter> writer = makeReportWriter(c.format, [&calls](const QByteArray &) {
            ++calls;
            return false;
        });
        EXPECT_FALSE(writer->failed());
        EXPECT_TRUE(writer->error().isEmpty());
        runCrawl(*writer, fixtureCrawl(false));
        EXPECT_TRUE(writer->failed());
        EXPECT_FALSE(writer->error().isEmpty());
        EXPECT_EQ(calls, 1);
    }
}

// The streaming formats write each page as it is done: a crawl of many pages never waits in memory.
TEST(ReportWriter, StreamingFormatsWriteEachPageWhenItIsDone)
{
    struct Case
    {
        const char *name;
        ReportFormat format;
        QByteArray afterFirstPage; // must be out before the second page comes
    };
    const std::vector<Case> cases = {
        {"junit", ReportFormat::JUnit, "<testcase name=\"https://nowhere.test/\""},
        {"sarif", ReportFormat::Sarif, "\"link\": \"https://nowhere.test/\""},
    };
    const FixtureCrawl crawl = fixtureCrawl(false);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray written;
        const std::unique_ptr<ReportWriter> writer = makeReportWriter(c.format, [&written](const QByteArray &b) {
            written += b;
            return true;
        });
        writer->begin(crawl.header);
        writer->pageDone(crawl.pages[0].first, crawl.pages[0].second);
        EXPECT_TRUE(written.contains(c.afterFirstPage)) << written.toStdString();
    }
}

// A start page that could not be fetched is linked from no page, so no row shows it: every report
// lists it itself.
TEST(ReportWriter, AStartPageThatFailedIsAFinding)
{
    struct Case
    {
        const char *name;
        ReportFormat format;
        QByteArray shows;
    };
    const std::vector<Case> cases = {
        {"html", ReportFormat::Html,
         "<tr data-verdict=\"unreachable\" class=\"error\"><td><a href=\"https://down.test/\""},
        {"junit", ReportFormat::JUnit, "<failure message=\"unreachable: Connection refused\" type=\"unreachable\">"},
        {"sarif", ReportFormat::Sarif, "\"ruleId\": \"link-unreachable\""},
        {"markdown", ReportFormat::Markdown,
         "| https://down.test/ |  | https://down.test/ |  | unreachable |  |  | Connection refused |"},
    };
    FixtureCrawl crawl;
    crawl.header.start = u"https://down.test/"_s;
    const CrawlPage down{u"https://down.test/"_s, 0, 0, Verdict::Unreachable, u"Connection refused"_s, 0, 0};
    crawl.pages.append({down, {}});
    crawl.end.pages = {down};
    crawl.end.summary.pages = 1;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = reportBytes(c.format, crawl);
        EXPECT_TRUE(bytes.contains(c.shows)) << bytes.toStdString();
    }
}

TEST(ReportWriter, CrawlPeriodNamesTheTimesThatAreKnown)
{
    const QDateTime start(QDate(2026, 12, 11), QTime(6, 0, 0), Qt::UTC);
    const QDateTime end(QDate(2026, 12, 11), QTime(7, 30, 5), Qt::UTC);
    struct Case
    {
        const char *name;
        QDateTime startedAt;
        QDateTime endedAt;
        QString text;
    };
    const std::vector<Case> cases = {
        {"both", start, end, u"Started 2026-12-11T06:00:00Z, ended 2026-12-11T07:30:05Z"_s},
        {"start alone", start, QDateTime(), u"Started 2026-12-11T06:00:00Z"_s},
        {"end alone", QDateTime(), end, u"Ended 2026-12-11T07:30:05Z"_s},
        {"neither", QDateTime(), QDateTime(), QString()},
        {"a local time is written in UTC", QDateTime(QDate(2026, 12, 11), QTime(8, 0, 0), QTimeZone(7200)), QDateTime(),
         u"Started 2026-12-11T06:00:00Z"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(crawlPeriod(c.startedAt, c.endedAt), c.text);
    }
}

// A crawl the user stopped says so, where the format has a place for it.
TEST(ReportWriter, AStoppedCrawlSaysSo)
{
    struct Case
    {
        const char *name;
        ReportFormat format;
        QByteArray shows;
    };
    const std::vector<Case> cases = {
        {"html", ReportFormat::Html, "<p class=\"stopped\" id=\"stopped\">Stopped before the crawl was complete.</p>"},
        {"sarif", ReportFormat::Sarif, "\"properties\": {\"stopped\": true}"},
        {"markdown", ReportFormat::Markdown, "**Stopped before the crawl was complete.**"},
    };
    for (const bool stopped : {false, true}) {
        FixtureCrawl crawl = fixtureCrawl(false);
        crawl.end.stopped = stopped;
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            EXPECT_EQ(reportBytes(c.format, crawl).contains(c.shows), stopped);
        }
    }
}

} // namespace quorvel::test
