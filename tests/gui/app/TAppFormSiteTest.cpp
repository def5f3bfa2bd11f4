#include "gui/app/TAppFormFixture.h"
#include "gui/site/TSiteForm.h"

#include <QLineEdit>
#include <QMenuBar>

namespace quorvel::test {

namespace {

QAction *toolsItem(TAppForm &window)
{
    for (QAction *menu : window.menuBar()->actions()) {
        if (menu->menu() && menu->menu()->objectName() == u"Tools1"_s) {
            return menu->menu()->findChild<QAction *>(u"CrawlSite3"_s);
        }
    }
    return nullptr;
}

} // namespace

// Crawl Site... opens a Site window for the row target, with the main window's options of the moment.
TEST_F(TAppFormTest, CrawlSiteOpensASiteWindowForTheRowTarget)
{
    openWindow();
    ASSERT_TRUE(collect(site.url(u"/page.html"_s)));
    child<QComboBox>(u"ComboBox1"_s)->setEditText(u"SiteAgent/2.0"_s);

    struct Case
    {
        const char *name;
        std::function<QAction *()> item;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"Tools menu: the URL box", [this] { return toolsItem(*window); }, site.url(u"/page.html"_s)},
        {"Check button's menu: the URL box",
         [this] {
             openButtonMenu();
             return menuAction(window->checkMenu(), u"CrawlSite1"_s);
         },
         site.url(u"/page.html"_s)},
        {"list's menu: the selected row",
         [this] {
             selectRow(1);
             openListMenu();
             return menuAction(window->listMenu(), u"CrawlSite2"_s);
         },
         kPageLinks.at(1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype before = window->findChildren<TSiteForm *>().size();
        QAction *item = c.item();
        ASSERT_NE(item, nullptr);
        item->trigger();
        const QList<TSiteForm *> sites = window->findChildren<TSiteForm *>();
        ASSERT_EQ(sites.size(), before + 1);
        TSiteForm *siteWindow = sites.constLast();
        EXPECT_TRUE(siteWindow->isVisible());
        EXPECT_EQ(siteWindow->findChild<QLineEdit *>(u"StartEdit"_s)->text(), c.expected);
        EXPECT_EQ(siteWindow->setup().options.check.userAgent, u"SiteAgent/2.0"_s);
        // A crawl takes the main window's options as they are when it starts.
        child<QComboBox>(u"ComboBox1"_s)->setEditText(u"LaterAgent/3.0"_s);
        EXPECT_EQ(siteWindow->setup().optionsNow().check.userAgent, u"LaterAgent/3.0"_s);
        child<QComboBox>(u"ComboBox1"_s)->setEditText(u"SiteAgent/2.0"_s);
        EXPECT_EQ(siteWindow->setup().storePath, window->dataFolder() + u"crawls.sqlite"_s);
        EXPECT_FALSE(siteWindow->crawling());
    }

    // The list's menu without a selected row opens nothing.
    const qsizetype before = window->findChildren<TSiteForm *>().size();
    list()->clearSelection();
    openListMenu();
    menuAction(window->listMenu(), u"CrawlSite2"_s)->trigger();
    EXPECT_EQ(window->findChildren<TSiteForm *>().size(), before);
}

} // namespace quorvel::test
