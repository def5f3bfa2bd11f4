#include "CrawlStoreWriter.h"

#include "core/store/SqliteCrawlStore.h"
#include "support/Fixtures.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// Far beyond what writing a few pages takes: only a writer that hangs reaches it.
constexpr int kGuardMs = 120'000;

TEST(CrawlStoreKillTest, KeepsTheCommittedPagesOfACrawlKilledMidTransaction)
{
    constexpr int kPages = 20;
    constexpr int kRows = 58;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"crawls.db"_s);

    QProcess writer;
    writer.start(QStringLiteral(QUORVEL_CRAWL_STORE_WRITER_PATH),
                 {path, QString::number(kPages), QString::number(kRows)});
    ASSERT_TRUE(writer.waitForStarted(kGuardMs)) << writer.errorString().toStdString();
    QByteArray said;
    while (!said.contains("pending\n") && writer.state() == QProcess::Running) {
        writer.waitForReadyRead(kGuardMs);
        said += writer.readAllStandardOutput();
    }
    ASSERT_EQ(said, "committed 20\npending\n") << writer.readAllStandardError().toStdString();
    writer.kill(); // SIGKILL: nothing of the program runs after it
    ASSERT_TRUE(writer.waitForFinished(kGuardMs));
    EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit);

    QString error;
    const auto store = openSqliteStore(path, &error);
    ASSERT_NE(store, nullptr) << error.toStdString();
    const QList<StoredCrawl> crawls = store->crawls();
    ASSERT_EQ(crawls.size(), 1) << store->lastError().toStdString();
    EXPECT_EQ(crawls[0].start, kWriterStart);
    EXPECT_FALSE(crawls[0].finished());
    EXPECT_EQ(crawls[0].summary.pages, kPages);
    EXPECT_EQ(crawls[0].summary.rows, kPages * kRows);

    const QList<CrawlPage> pages = store->pages(crawls[0].id);
    ASSERT_EQ(pages.size(), kPages) << "the page left in the open transaction is not kept";
    for (int number = 1; number <= kPages; ++number) {
        SCOPED_TRACE(number);
        EXPECT_EQ(pages[number - 1], writerPage(number, kRows));
        EXPECT_EQ(store->rowsOfPage(crawls[0].id, pages[number - 1].url), writerRows(number, kRows));
    }

    // The file takes the next crawl; a killed crawl is never the one a later crawl is compared with.
    store->begin({kWriterStart, QDateTime::currentDateTimeUtc(), {}});
    store->pageDone(writerPage(1, kRows), writerRows(1, kRows));
    EXPECT_EQ(store->changes(), std::nullopt);
    EXPECT_EQ(store->lastError(), QString());
    store->end({});
    EXPECT_EQ(store->crawlError(), QString());
    EXPECT_EQ(store->crawls().size(), 2);
}

} // namespace

} // namespace quorvel::test
