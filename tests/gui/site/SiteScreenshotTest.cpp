// Draws the Site window twice on the generated loopback site: while it crawls (a page's answer held,
// so the picture is the same each time) and its summary after the crawl. Keeps the pictures in the
// test's temporary folder, or, with QUORVEL_SCREENSHOT_DIR set, as site-window.png and
// site-summary.png there (how the pictures in docs/ are made:
// QUORVEL_SCREENSHOT_DIR=docs build/dev/tests/quorvel_gui_tests --gtest_filter='SiteScreenshot.*').

#include "gui/site/CrawlPagesModel.h"
#include "gui/site/SiteFormFixture.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTabWidget>

namespace quorvel::test {

class SiteScreenshot : public SiteFormTest
{
protected:
    void save(const QString &name) const
    {
        QTest::qWait(50);
        const QImage picture = window->grab().toImage();
        ASSERT_FALSE(picture.isNull());
        const QString folder = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR", dataDir.path());
        EXPECT_TRUE(picture.save(QDir(folder).filePath(name)));
    }
};

TEST_F(SiteScreenshot, CrawlingAndItsSummary)
{
    CrawlSite site(CrawlSite::Options{.pages = 120, .holdOnePath = true});
    ASSERT_TRUE(site.start());
    openWindow(site.startUrl(), QString(), holdingOptions());
    window->resize(1100, 720);
    startButton()->click();
    ASSERT_TRUE(waitFor([&] { return site.held() && pagesList()->model()->rowCount() >= 1; }));
    QTest::qWait(500); // the other pages finish meanwhile; the start page waits for its held link
    auto *pages = qobject_cast<CrawlPagesModel *>(pagesList()->model());
    const int row = pages->rowOf(site.url("/pages/1.html"));
    pagesList()->selectRow(row >= 0 ? row : 1);
    ASSERT_TRUE(waitFor([&] { return rowsList()->model()->rowCount() > 0; }));
    save(u"site-window.png"_s);

    site.release();
    ASSERT_TRUE(waitFor([&] { return !window->crawling(); }));
    child<QTabWidget>(u"Tabs"_s)->setCurrentWidget(child<QWidget>(u"SummaryTab"_s));
    save(u"site-summary.png"_s);
}

} // namespace quorvel::test
