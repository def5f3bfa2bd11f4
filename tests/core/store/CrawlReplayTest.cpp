#include "core/store/CrawlReplay.h"

#include "core/report/CrawlFigures.h"
#include "core/report/CrawlFixture.h"
#include "core/report/CrawlReportFile.h"
#include "core/report/ReportWriter.h"
#include "core/store/SqliteCrawlStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// Keeps what a sink is given.
class KeptCrawl final : public CrawlSink
{
public:
    void begin(const CrawlHeader &h) override { header = h; }
    void pageDone(const CrawlPage &page, const QList<CrawlRow> &rows) override { pages.append({page, rows}); }
    void end(const CrawlEnd &e) override
    {
        last = e;
        ended = true;
    }

    CrawlHeader header;
    QList<std::pair<CrawlPage, QList<CrawlRow>>> pages;
    CrawlEnd last;
    bool ended = false;
};

class CrawlReplayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QString error;
        auto store = openSqliteStore(m_path, &error);
        ASSERT_NE(store, nullptr) << error.toStdString();
        runCrawl(*store, m_crawl);
        m_id = store->currentCrawl();
    }

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(u"crawls.sqlite"_s);
    FixtureCrawl m_crawl = fixtureCrawl(false);
    qint64 m_id = 0;
};

} // namespace

TEST_F(CrawlReplayTest, HandsTheStoredCrawlOverAsItWasWritten)
{
    QString error;
    auto store = openSqliteStore(m_path, &error);
    ASSERT_NE(store, nullptr);
    KeptCrawl kept;
    ASSERT_TRUE(replayCrawl(*store, m_id, kept, &error)) << error.toStdString();
    EXPECT_EQ(kept.header.start, m_crawl.header.start);
    EXPECT_EQ(kept.header.options, m_crawl.header.options);
    ASSERT_EQ(kept.pages.size(), m_crawl.pages.size());
    for (qsizetype i = 0; i < kept.pages.size(); ++i) {
        EXPECT_EQ(kept.pages[i].first.url, m_crawl.pages[i].first.url);
        EXPECT_EQ(kept.pages[i].second.size(), m_crawl.pages[i].second.size());
    }
    EXPECT_TRUE(kept.ended);
    EXPECT_EQ(kept.last.summary, store->summary(m_id));
    EXPECT_EQ(kept.last.orphans, m_crawl.end.orphans);

    // A crawl the store does not hold: an error, and no end.
    KeptCrawl none;
    EXPECT_FALSE(replayCrawl(*store, m_id + 100, none, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(none.ended);
}

TEST_F(CrawlReplayTest, SavesAReportInTheFormatItsSuffixNames)
{
    struct Case
    {
        const char *name;
        QString file;
        bool saved;
        QByteArray starts;
    };
    const std::vector<Case> cases = {
        {"html", u"r.HTML"_s, true, "<!DOCTYPE html>"},
        {"htm", u"r.htm"_s, true, "<!DOCTYPE html>"},
        {"junit", u"r.xml"_s, true, "<?xml"},
        {"sarif", u"r.sarif"_s, true, "{"},
        {"markdown", u"r.md"_s, true, "## Crawl of"},
        {"markdown long", u"r.markdown"_s, true, "## Crawl of"},
        {"csv", u"r.csv"_s, true, "Page;Line;Column;Link"},
        {"text is no report", u"r.txt"_s, false, {}},
        {"no suffix", u"report"_s, false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = m_dir.filePath(c.file);
        const QString error = saveCrawlReport(m_path, m_id, path, u';');
        EXPECT_EQ(error.isEmpty(), c.saved) << error.toStdString();
        EXPECT_EQ(isCrawlReportFile(path), c.saved);
        QFile file(path);
        EXPECT_EQ(file.exists(), c.saved);
        if (c.saved && file.open(QIODevice::ReadOnly)) {
            EXPECT_TRUE(file.readAll().startsWith(c.starts));
        }
    }

    // A crawl the store does not hold leaves an existing file as it was.
    const QString kept = m_dir.filePath(u"kept.html"_s);
    {
        QFile file(kept);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("earlier");
    }
    EXPECT_FALSE(saveCrawlReport(m_path, m_id + 100, kept, u',').isEmpty());
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("earlier"));
}

TEST(CrawlFigures, CountPagesByDepthAndHostsByProblems)
{
    const auto page = [](const char *url, int depth) {
        CrawlPage p;
        p.url = QString::fromLatin1(url);
        p.depth = depth;
        return p;
    };
    EXPECT_EQ(pagesByDepth({page("http://a/", 0), page("http://a/x", 2), page("http://a/y", 2), page("http://a/z", 1)}),
              (QList<std::pair<int, qint64>>{{0, 1}, {1, 1}, {2, 2}}));
    EXPECT_TRUE(pagesByDepth({}).isEmpty());

    const auto row = [](const char *link) {
        CrawlRow r;
        r.row.link = QString::fromLatin1(link);
        return r;
    };
    const QList<CrawlRow> rows = {row("http://b.test/1"), row("http://A.test/1"), row("http://a.test:8080/2"),
                                  row("https://c.test/"), row("http://b.test/2"), row("")};
    // Ties go by name; a link without a host counts under "".
    EXPECT_EQ(hostsWithMostProblems(rows, 10),
              (QList<std::pair<QString, qint64>>{{u"a.test"_s, 2}, {u"b.test"_s, 2}, {u""_s, 1}, {u"c.test"_s, 1}}));
    EXPECT_EQ(hostsWithMostProblems(rows, 1), (QList<std::pair<QString, qint64>>{{u"a.test"_s, 2}}));
    EXPECT_TRUE(hostsWithMostProblems(rows, 0).isEmpty());
}

} // namespace quorvel::test
