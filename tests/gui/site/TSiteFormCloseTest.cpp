#include "gui/site/SiteFormFixture.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <cstdio>

namespace quorvel::test {

namespace {

// The store the child below records into, named by the parent test.
constexpr char kStoreVariable[] = "QUORVEL_SITE_CLOSE_STORE";

} // namespace

// The child's part of the test below: a Site window closed while it crawls (a page's answer held),
// then the end of the process. Run only by that test, in a process of its own.
TEST_F(SiteFormTest, DISABLED_CloseDuringACrawl)
{
    const QString store = qEnvironmentVariable(kStoreVariable);
    ASSERT_FALSE(store.isEmpty());
    CrawlSite site(CrawlSite::Options{.pages = 60, .holdOnePath = true});
    ASSERT_TRUE(site.start());
    openWindow(site.startUrl(), store, holdingOptions());
    startButton()->click();
    ASSERT_TRUE(waitFor([&] { return site.held() && pagesList()->model()->rowCount() > 0; }));
    ASSERT_TRUE(window->crawling());
    std::printf("pages-shown %d\n", pagesList()->model()->rowCount());
    std::fflush(stdout);
    EXPECT_TRUE(window->close());
}

// Closing a Site window during a crawl ends the process cleanly (no sanitizer or leak report, which
// would fail its exit status), and the store keeps the pages finished, the crawl marked as stopped.
TEST_F(SiteFormTest, ProcessEndsCleanlyAfterCloseDuringACrawl)
{
    const QString store = dataDir.filePath(u"closed.sqlite"_s);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kStoreVariable), store);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {u"--gtest_also_run_disabled_tests"_s, u"--gtest_filter=SiteFormTest.DISABLED_CloseDuringACrawl"_s});
    ASSERT_TRUE(child.waitForStarted());
    ASSERT_TRUE(child.waitForFinished(120'000)) << "the process did not end";
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(child.readAllStandardError());
    ASSERT_EQ(child.exitStatus(), QProcess::NormalExit) << err.toStdString();
    ASSERT_EQ(child.exitCode(), 0) << out.toStdString() << err.toStdString();
    ASSERT_TRUE(out.contains(u"[  PASSED  ] 1 test"_s)) << out.toStdString();

    static const QRegularExpression mark(u"pages-shown (\\d+)"_s);
    const QRegularExpressionMatch shown = mark.match(out);
    ASSERT_TRUE(shown.hasMatch()) << out.toStdString();
    const std::unique_ptr<CrawlStore> kept = readStore(store);
    ASSERT_NE(kept, nullptr);
    const QList<StoredCrawl> crawls = kept->crawls();
    ASSERT_EQ(crawls.size(), 1);
    EXPECT_TRUE(crawls.first().stopped);
    EXPECT_TRUE(crawls.first().finished());
    EXPECT_GE(kept->pages(crawls.first().id).size(), shown.captured(1).toInt());
}

} // namespace quorvel::test
