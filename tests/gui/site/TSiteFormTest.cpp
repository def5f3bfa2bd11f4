#include "core/crawl/Crawler.h"
#include "core/results/WebTools.h"
#include "core/store/SqliteCrawlStore.h"
#include "gui/results/ResultsModel.h"
#include "gui/results/TFindDialog.h"
#include "gui/site/CrawlPagesModel.h"
#include "gui/site/ProblemsModel.h"
#include "gui/site/SiteFormFixture.h"
#include "support/LoopbackServer.h"

#include <QAction>
#include <QApplication>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>

#include <atomic>

namespace quorvel::test {

namespace {

// A page whose two links trade places between crawls: /flip is missing the first time and there
// the second, /flop the other way round.
class ToggleSite final
{
public:
    ToggleSite()
    {
        httplib::Server &s = m_server.server();
        s.Get("/", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(R"(<html><body><a href="/flip">flip</a> <a href="/flop">flop</a></body></html>)",
                            "text/html");
        });
        s.Get("/flip", [this](const httplib::Request &, httplib::Response &res) {
            res.status = second ? 200 : 404;
            res.set_content("flip", "text/plain");
        });
        s.Get("/flop", [this](const httplib::Request &, httplib::Response &res) {
            res.status = second ? 404 : 200;
            res.set_content("flop", "text/plain");
        });
    }

    bool start() { return m_server.start(); }
    QString url(const QString &path) const { return m_server.url(path); }

    std::atomic<bool> second{false};

private:
    LoopbackServer m_server;
};

// Keeps nothing: the core's own crawl, for its summary.
class NullSink final : public CrawlSink
{
public:
    void begin(const CrawlHeader &) override {}
    void pageDone(const CrawlPage &, const QList<CrawlRow> &) override {}
    void end(const CrawlEnd &) override {}
};

QStringList linksOf(const LinkRows &rows)
{
    QStringList links;
    for (const LinkRow &row : rows) {
        links.append(row.link);
    }
    return links;
}

QStringList linksOf(const QList<CrawlRow> &rows)
{
    QStringList links;
    for (const CrawlRow &row : rows) {
        links.append(row.row.link);
    }
    return links;
}

// The count the summary table shows for a row caption.
qint64 tableCount(QTableWidget *table, const QString &caption)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, 0)->text() == caption) {
            return table->item(row, 1)->text().toLongLong();
        }
    }
    ADD_FAILURE() << "no row " << caption.toStdString();
    return -1;
}

} // namespace

TEST_F(SiteFormTest, CrawlFillsThePagesAndShowsTheSelectedPagesRows)
{
    CrawlSite site(CrawlSite::Options{.pages = 60});
    ASSERT_TRUE(site.start());
    openWindow(site.startUrl());
    child<QSpinBox>(u"DepthBox"_s)->setValue(50);
    ASSERT_TRUE(crawl());

    const CrawlSite::Expectation expected = site.expect(50, true, false);
    auto *pages = qobject_cast<CrawlPagesModel *>(pagesList()->model());
    ASSERT_NE(pages, nullptr);
    std::map<QString, int> depths;
    for (const CrawlPage &page : pages->pages()) {
        depths.emplace(page.url, page.depth);
    }
    EXPECT_EQ(depths, expected.depths);
    EXPECT_TRUE(child<QLabel>(u"ProgressLine"_s)->text().startsWith(u"Pages "_s));
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith(u"Crawled "_s));

    // The crawl is recorded: the window's pages are the store's, inlinks final.
    const std::unique_ptr<CrawlStore> store = readStore();
    const QList<StoredCrawl> crawls = store->crawls();
    ASSERT_EQ(crawls.size(), 1);
    EXPECT_TRUE(crawls.first().finished());
    EXPECT_EQ(window->crawlId(), crawls.first().id);
    EXPECT_EQ(pages->pages(), store->pages(crawls.first().id));

    // The start page's rows come up in the results list, in the page's order.
    const int startRow = pages->rowOf(site.startUrl());
    ASSERT_GE(startRow, 0);
    pagesList()->selectRow(startRow);
    auto *rows = qobject_cast<ResultsModel *>(rowsList()->model());
    ASSERT_NE(rows, nullptr);
    EXPECT_TRUE(waitForRows(pages->page(startRow).links));
    EXPECT_GT(rows->rowCount(), 0);
    EXPECT_EQ(linksOf(rows->rows()), linksOf(store->rowsOfPage(window->crawlId(), site.startUrl())));
    EXPECT_EQ(rows->columnCount(), LinkRow::kListColumnCount);
}

// The pages table sorts by a column while pages still come in; the selected page stays selected and
// a third click on the column goes back to the fetch order.
TEST_F(SiteFormTest, PagesTableSortsByAColumnAsPagesComeIn)
{
    CrawlSite site(CrawlSite::Options{.pages = 80});
    ASSERT_TRUE(site.start());
    openWindow(site.startUrl());
    child<QSpinBox>(u"DepthBox"_s)->setValue(50);
    auto *pages = qobject_cast<CrawlPagesModel *>(pagesList()->model());
    ASSERT_NE(pages, nullptr);
    pagesList()->sortByColumn(CrawlPagesModel::DepthColumn, Qt::DescendingOrder);
    ASSERT_TRUE(crawl());
    ASSERT_GT(pages->rowCount(), 10);

    const auto shownInOrder = [pages](int column, Qt::SortOrder order) {
        for (int row = 1; row < pages->rowCount(); ++row) {
            const QVariant a = pages->index(row - 1, column).data();
            const QVariant b = pages->index(row, column).data();
            const int cmp =
                column == CrawlPagesModel::UrlColumn ? a.toString().compare(b.toString()) : a.toInt() - b.toInt();
            if (order == Qt::AscendingOrder ? cmp > 0 : cmp < 0) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(shownInOrder(CrawlPagesModel::DepthColumn, Qt::DescendingOrder));
    for (int row = 0; row < pages->rowCount(); ++row) {
        ASSERT_EQ(pages->rowOf(pages->page(row).url), row);
    }

    // The start page stays selected through a sort by another column.
    pagesList()->selectRow(pages->rowOf(site.startUrl()));
    ASSERT_TRUE(waitForRows(pages->page(pages->rowOf(site.startUrl())).links));
    pagesList()->sortByColumn(CrawlPagesModel::InlinksColumn, Qt::AscendingOrder);
    EXPECT_TRUE(shownInOrder(CrawlPagesModel::InlinksColumn, Qt::AscendingOrder));
    const QModelIndexList selected = pagesList()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(pages->page(selected.first().row()).url, site.startUrl());
    pagesList()->sortByColumn(CrawlPagesModel::UrlColumn, Qt::AscendingOrder);
    EXPECT_TRUE(shownInOrder(CrawlPagesModel::UrlColumn, Qt::AscendingOrder));

    // Back to the order the pages were fetched in.
    pages->sort(-1);
    for (int row = 0; row < pages->rowCount(); ++row) {
        ASSERT_EQ(pages->page(row), pages->pages().at(row));
    }
}

TEST_F(SiteFormTest, ProblemsTabFiltersAndLeadsToTheRow)
{
    CrawlSite site(CrawlSite::Options{.pages = 60});
    ASSERT_TRUE(site.start());
    openWindow(site.startUrl());
    ASSERT_TRUE(crawl());

    auto *problems = qobject_cast<ProblemsModel *>(problemsList()->model());
    ASSERT_NE(problems, nullptr);
    const std::unique_ptr<CrawlStore> store = readStore();
    const QList<CrawlRow> stored = store->problemRows(window->crawlId(), 0, 100'000);
    ASSERT_FALSE(stored.isEmpty()) << "the generated site has broken links";
    EXPECT_EQ(problems->rowCount(), stored.size());
    EXPECT_EQ(problems->allRows().size(), stored.size());

    // Each verdict shows its own rows; together they are every problem.
    auto *verdicts = child<QComboBox>(u"VerdictFilter"_s);
    ASSERT_GT(verdicts->count(), 1);
    qsizetype together = 0;
    for (int item = 1; item < verdicts->count(); ++item) {
        SCOPED_TRACE(verdicts->itemText(item).toStdString());
        verdicts->setCurrentIndex(item);
        for (int row = 0; row < problems->rowCount(); ++row) {
            EXPECT_EQ(verdictName(problems->shownRow(row).row.verdict), verdicts->itemText(item));
        }
        together += problems->rowCount();
    }
    EXPECT_EQ(together, stored.size());
    verdicts->setCurrentIndex(0);

    // The text filter keeps the rows that hold it anywhere, case aside.
    const QString link = stored.constLast().row.link;
    child<QLineEdit>(u"TextFilter"_s)->setText(link.toUpper());
    ASSERT_GE(problems->rowCount(), 1);
    for (int row = 0; row < problems->rowCount(); ++row) {
        const CrawlRow &shown = problems->shownRow(row);
        EXPECT_TRUE(shown.row.link.contains(link, Qt::CaseInsensitive) ||
                    shown.page.contains(link, Qt::CaseInsensitive));
    }
    child<QLineEdit>(u"TextFilter"_s)->setText(u"no such text anywhere"_s);
    EXPECT_EQ(problems->rowCount(), 0);
    child<QLineEdit>(u"TextFilter"_s)->clear();

    // A double-click shows the page's rows with that link selected.
    const CrawlRow problem = problems->shownRow(0);
    Q_EMIT problemsList()->doubleClicked(problems->index(0, 0));
    EXPECT_EQ(child<QTabWidget>(u"Tabs"_s)->currentWidget(), child<QWidget>(u"PagesTab"_s));
    const QModelIndexList pageRows = pagesList()->selectionModel()->selectedRows();
    ASSERT_EQ(pageRows.size(), 1);
    auto *pages = qobject_cast<CrawlPagesModel *>(pagesList()->model());
    EXPECT_EQ(pages->page(pageRows.first().row()).url, problem.page);
    ASSERT_TRUE(waitFor([&] { return rowsList()->selectionModel()->selectedRows().size() == 1; }));
    const QModelIndexList linkRows = rowsList()->selectionModel()->selectedRows();
    auto *rows = qobject_cast<ResultsModel *>(rowsList()->model());
    EXPECT_EQ(rows->rows().at(linkRows.first().row()).link, problem.row.link);
}

TEST_F(SiteFormTest, SummaryCountsAreTheCoresForTheSameCrawl)
{
    CrawlSite site(CrawlSite::Options{.pages = 60});
    ASSERT_TRUE(site.start());
    openWindow(site.startUrl());
    ASSERT_TRUE(crawl());

    // The core crawls the same site with the options the window used.
    CrawlOptions options = siteOptions();
    options.maxDepth = child<QSpinBox>(u"DepthBox"_s)->value();
    options.maxPages = child<QSpinBox>(u"MaxPagesBox"_s)->value();
    NullSink sink;
    const CrawlSummary core = runCrawl(site.startUrl(), options, sink).summary;
    ASSERT_GT(core.pages, 0);

    auto *table = child<QTableWidget>(u"VerdictCounts"_s);
    EXPECT_EQ(tableCount(table, u"Pages"_s), core.pages);
    EXPECT_EQ(tableCount(table, u"Rows"_s), core.rows);
    EXPECT_EQ(tableCount(table, u"Distinct links"_s), core.distinct);
    const auto *series = qobject_cast<QBarSeries *>(window->chart()->series().value(0));
    ASSERT_NE(series, nullptr);
    const QBarSet *bars = series->barSets().value(0);
    ASSERT_NE(bars, nullptr);
    int bar = 0;
    for (int v = static_cast<int>(Verdict::Ok); v < kVerdictCount; ++v, ++bar) {
        const auto verdict = static_cast<Verdict>(v);
        SCOPED_TRACE(verdictName(verdict).toStdString());
        EXPECT_EQ(tableCount(table, verdictName(verdict)), core.count(verdict));
        EXPECT_EQ(qint64(bars->at(bar)), core.count(verdict));
    }

    // Pages by depth add up to the pages; the hosts list at most ten.
    auto *depths = child<QTableWidget>(u"DepthCounts"_s);
    qint64 pages = 0;
    for (int row = 0; row < depths->rowCount(); ++row) {
        pages += depths->item(row, 1)->text().toLongLong();
    }
    EXPECT_EQ(pages, core.pages);
    auto *hosts = child<QTableWidget>(u"ProblemHosts"_s);
    EXPECT_GE(hosts->rowCount(), 1);
    EXPECT_LE(hosts->rowCount(), 10);
}

TEST_F(SiteFormTest, ChangesSinceTheLastCrawlOfTheSameStart)
{
    ToggleSite site;
    ASSERT_TRUE(site.start());
    openWindow(site.url(u"/"_s));
    ASSERT_TRUE(crawl());
    auto *changes = child<QTableWidget>(u"ChangesList"_s);
    EXPECT_EQ(changes->rowCount(), 0);
    EXPECT_EQ(child<QLabel>(u"ChangesLabel"_s)->text(), u"No earlier crawl of this start address to compare with"_s);

    site.second = true;
    ASSERT_TRUE(crawl());
    ASSERT_EQ(changes->rowCount(), 2);
    EXPECT_EQ(changes->item(0, 0)->text(), u"new broken"_s);
    EXPECT_EQ(changes->item(0, 1)->text(), site.url(u"/flop"_s));
    EXPECT_EQ(changes->item(1, 0)->text(), u"fixed"_s);
    EXPECT_EQ(changes->item(1, 1)->text(), site.url(u"/flip"_s));
    EXPECT_TRUE(child<QLabel>(u"ChangesLabel"_s)->text().endsWith(u"1 newly broken, 1 fixed"_s));
}

// STOP while a page's answer is held: the crawl ends, the pages finished before are kept.
TEST_F(SiteFormTest, StopEndsTheCrawlAndKeepsTheFinishedPages)
{
    CrawlSite site(CrawlSite::Options{.pages = 60, .holdOnePath = true});
    ASSERT_TRUE(site.start());
    openWindow(site.startUrl(), QString(), holdingOptions());
    startButton()->click();
    ASSERT_TRUE(window->crawling());
    EXPECT_EQ(startButton()->text(), u"STOP"_s);
    EXPECT_FALSE(child<QSpinBox>(u"DepthBox"_s)->isEnabled());
    ASSERT_TRUE(waitFor([&] { return site.held() && pagesList()->model()->rowCount() > 0; }));
    // A finished page's rows show while the crawl still runs.
    auto *pages = qobject_cast<CrawlPagesModel *>(pagesList()->model());
    pagesList()->selectRow(0);
    EXPECT_TRUE(waitForRows(pages->page(0).links));
    EXPECT_TRUE(window->crawling());

    startButton()->click();
    EXPECT_EQ(startButton()->text(), u"Stopping..."_s);
    EXPECT_FALSE(startButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !window->crawling(); }));
    EXPECT_EQ(startButton()->text(), u"Start"_s);
    EXPECT_TRUE(startButton()->isEnabled());
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith(u"Stopped"_s));

    const std::unique_ptr<CrawlStore> store = readStore();
    const QList<StoredCrawl> crawls = store->crawls();
    ASSERT_EQ(crawls.size(), 1);
    EXPECT_TRUE(crawls.first().stopped);
    EXPECT_EQ(store->pages(crawls.first().id).size(), pagesList()->model()->rowCount());
    site.release();
}

// STOP before the store has answered Start: nothing is crawled, and a later Start crawls once.
TEST_F(SiteFormTest, StopBeforeTheStoreAnswersCrawlsNothing)
{
    ToggleSite site;
    ASSERT_TRUE(site.start());
    openWindow(site.url(u"/"_s));
    startButton()->click();
    ASSERT_TRUE(window->crawling());
    startButton()->click();
    EXPECT_FALSE(window->crawling());
    EXPECT_EQ(startButton()->text(), u"Start"_s);
    QTest::qWait(300); // the store's answer comes and is ignored
    EXPECT_FALSE(window->crawling());

    ASSERT_TRUE(crawl());
    const std::unique_ptr<CrawlStore> store = readStore();
    EXPECT_EQ(store->crawls().size(), 1);
}

TEST_F(SiteFormTest, ClosingDuringACrawlStopsItAndKeepsWhatFinished)
{
    CrawlSite site(CrawlSite::Options{.pages = 60, .holdOnePath = true});
    ASSERT_TRUE(site.start());
    openWindow(site.startUrl(), QString(), holdingOptions());
    startButton()->click();
    ASSERT_TRUE(waitFor([&] { return site.held() && pagesList()->model()->rowCount() > 0; }));
    const int shown = pagesList()->model()->rowCount();

    window->close();
    window.reset();

    const std::unique_ptr<CrawlStore> store = readStore();
    const QList<StoredCrawl> crawls = store->crawls();
    ASSERT_EQ(crawls.size(), 1);
    EXPECT_TRUE(crawls.first().stopped);
    EXPECT_GE(store->pages(crawls.first().id).size(), shown);
    site.release();
}

TEST_F(SiteFormTest, RecordedCrawlsReopenWithoutTheServers)
{
    auto site = std::make_unique<CrawlSite>(CrawlSite::Options{.pages = 40});
    ASSERT_TRUE(site->start());
    const QString start = site->startUrl();
    openWindow(start);
    ASSERT_TRUE(crawl());
    auto *pages = qobject_cast<CrawlPagesModel *>(pagesList()->model());
    const QList<CrawlPage> crawled = pages->pages();
    const qint64 problems = window->findChild<ProblemsModel *>()->allRows().size();
    window->close();
    window.reset();
    site.reset();

    // From the recent crawls of the data folder's store.
    openWindow(u"http://127.0.0.1:1/"_s);
    // The menu holds the store's crawls once the window has read them.
    QAction *recent = nullptr;
    ASSERT_TRUE(waitFor([&] {
        Q_EMIT window->recentMenu()->aboutToShow();
        for (QAction *action : window->recentMenu()->actions()) {
            if (action->objectName().startsWith(u"RecentCrawl"_s)) {
                recent = action;
                return true;
            }
        }
        return false;
    }));
    EXPECT_TRUE(recent->text().startsWith(start));
    QSignalSpy shown(window.get(), &TSiteForm::crawlShown);
    recent->trigger();
    ASSERT_TRUE(waitFor([&] { return !shown.isEmpty(); }));
    pages = qobject_cast<CrawlPagesModel *>(pagesList()->model());
    EXPECT_EQ(pages->pages(), crawled);
    EXPECT_EQ(window->findChild<ProblemsModel *>()->allRows().size(), problems);
    EXPECT_EQ(child<QLineEdit>(u"StartEdit"_s)->text(), start);
    pagesList()->selectRow(pages->rowOf(start));
    EXPECT_TRUE(waitForRows(pages->page(pages->rowOf(start)).links));
    EXPECT_GT(rowsList()->model()->rowCount(), 0);

    // From a store file chosen: a copy elsewhere reads the same.
    const QString copy = dataDir.filePath(u"copy.sqlite"_s);
    window->close();
    window.reset();
    {
        // A closed store is one file again once its last connection went.
        ASSERT_TRUE(QFile::copy(storePath(), copy));
    }
    openWindow(u"http://127.0.0.1:1/"_s, dataDir.filePath(u"other.sqlite"_s));
    ASSERT_EQ(openCrawl(copy), QString());
    EXPECT_EQ(qobject_cast<CrawlPagesModel *>(pagesList()->model())->pages(), crawled);
    EXPECT_EQ(window->storePath(), copy);
}

TEST_F(SiteFormTest, OpenCrawlRefusesFilesThatAreNoCrawlStore)
{
    openWindow(u"http://127.0.0.1:1/"_s);
    const QString foreign = dataDir.filePath(u"foreign.sqlite"_s);
    {
        QFile file(foreign);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("This is a text file, not a database.\n");
    }
    EXPECT_FALSE(openCrawl(foreign).isEmpty());
    ASSERT_EQ(modals.seen().size(), 1U);
    EXPECT_EQ(modals.seen().front().title, u"Open Crawl"_s);
    EXPECT_FALSE(modals.seen().front().text.isEmpty());
    QFile file(foreign);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("This is a text file, not a database.\n"));
    EXPECT_EQ(window->storePath(), storePath());
}

// Two Site windows crawl at once, each on its own thread, into the same store: both are recorded
// whole.
TEST_F(SiteFormTest, TwoWindowsCrawlIntoOneStoreAtOnce)
{
    CrawlSite first(CrawlSite::Options{.pages = 150});
    CrawlSite second(CrawlSite::Options{.seed = 7, .pages = 150});
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    SiteSetup setup;
    setup.start = second.startUrl();
    setup.options = siteOptions();
    setup.storePath = storePath();
    TSiteForm other(std::move(setup));
    other.show();
    openWindow(first.startUrl());
    startButton()->click();
    other.findChild<QPushButton *>(u"StartButton"_s)->click();
    ASSERT_TRUE(window->crawling());
    ASSERT_TRUE(other.crawling());
    ASSERT_TRUE(waitFor([&] { return !window->crawling() && !other.crawling(); }));
    EXPECT_TRUE(modals.seen().empty()) << modals.seen().front().text.toStdString();

    const std::unique_ptr<CrawlStore> store = readStore();
    const QList<StoredCrawl> crawls = store->crawls();
    ASSERT_EQ(crawls.size(), 2);
    for (const StoredCrawl &crawl : crawls) {
        SCOPED_TRACE(crawl.start.toStdString());
        EXPECT_TRUE(crawl.finished());
        EXPECT_FALSE(crawl.stopped);
        const CrawlSite &site = crawl.start == first.startUrl() ? first : second;
        EXPECT_EQ(qsizetype(store->pages(crawl.id).size()), qsizetype(site.expect(10, true, false).depths.size()));
    }
    other.close();
}

// A store that cannot be opened stops Start with the reason; nothing is crawled or written.
TEST_F(SiteFormTest, StartRefusesAStoreItCannotOpen)
{
    ToggleSite site;
    ASSERT_TRUE(site.start());
    const QString foreign = dataDir.filePath(u"foreign.sqlite"_s);
    {
        QFile file(foreign);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("This is a text file, not a database.\n");
    }
    openWindow(site.url(u"/"_s), foreign);
    startButton()->click();
    ASSERT_TRUE(waitFor([&] { return !window->crawling(); }));
    ASSERT_EQ(modals.seen().size(), 1U);
    EXPECT_FALSE(modals.seen().front().text.isEmpty());
    EXPECT_EQ(startButton()->text(), u"Start"_s);
    QFile file(foreign);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("This is a text file, not a database.\n"));

    // An address that is not http or https is refused before any store is touched.
    modals.clear();
    openWindow(u"file:///tmp/page.html"_s, dataDir.filePath(u"never.sqlite"_s));
    startButton()->click();
    EXPECT_FALSE(window->crawling());
    ASSERT_EQ(modals.seen().size(), 1U);
    EXPECT_TRUE(modals.seen().front().text.startsWith(u"A crawl takes an http or https address"_s));
    EXPECT_FALSE(QFile::exists(dataDir.filePath(u"never.sqlite"_s)));
}

TEST_F(SiteFormTest, SaveReportWritesEachFormatBySuffix)
{
    ToggleSite site;
    ASSERT_TRUE(site.start());
    openWindow(site.url(u"/"_s));
    ASSERT_TRUE(crawl());

    struct Case
    {
        const char *name;
        QString file;
        QByteArray starts; // how a file of the kind begins
        QByteArray holds;  // and what it holds
    };
    const std::vector<Case> cases = {
        {"html", u"report.html"_s, "<!DOCTYPE html>", "/flip"},
        {"junit", u"report.xml"_s, "<?xml", "<testsuites"},
        {"sarif", u"report.sarif"_s, "{", "sarif-2.1.0"},
        {"markdown", u"report.md"_s, "## Crawl of", "/flip"},
        {"csv", u"report.csv"_s, "Page", "/flip"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dataDir.filePath(c.file);
        QSignalSpy saved(window.get(), &TSiteForm::reportSaved);
        window->saveReport(path);
        ASSERT_TRUE(saved.wait(kSiteWaitMs));
        EXPECT_EQ(saved.first().at(1).toString(), QString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith(c.starts)) << bytes.left(80).toStdString();
        EXPECT_TRUE(bytes.contains(c.holds));
    }

    // A suffix that names no format is refused with a message, and no file is made.
    const QString text = dataDir.filePath(u"report.txt"_s);
    QSignalSpy saved(window.get(), &TSiteForm::reportSaved);
    window->saveReport(text);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_FALSE(saved.first().at(1).toString().isEmpty());
    EXPECT_FALSE(QFile::exists(text));
    EXPECT_EQ(modals.seen().size(), 1U);
}

// The rows list's commands act on the selected row, as the main window's list menu does.
TEST_F(SiteFormTest, RowCommandsActOnTheSelectedRow)
{
    ToggleSite site;
    ASSERT_TRUE(site.start());
    openWindow(site.url(u"/"_s));
    ASSERT_TRUE(crawl());
    pagesList()->selectRow(0);
    auto *rows = qobject_cast<ResultsModel *>(rowsList()->model());
    ASSERT_TRUE(waitForRows(2));
    rowsList()->selectRow(1);
    const LinkRow row = rows->rows().at(1);
    const auto item = [this](const QString &name) {
        QAction *action = window->rowsMenu()->findChild<QAction *>(name);
        EXPECT_NE(action, nullptr) << name.toStdString();
        return action;
    };

    item(u"CopyURL1"_s)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), row.link);
    item(u"CopyAnchorText1"_s)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), row.anchorText);
    // Copy All: a header line and one tab-separated line per row, as in the main window.
    item(u"CopyAll1"_s)->trigger();
    const QStringList copied = QGuiApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(copied.size(), 3);
    EXPECT_TRUE(copied.at(0).startsWith(u"Link\t"_s));
    EXPECT_TRUE(copied.at(2).startsWith(row.link + u'\t'));
    item(u"GotoURL1"_s)->trigger();
    const WebTool tool = webToolsInMenuOrder().constFirst();
    item(webToolObjectName(tool))->trigger();
    EXPECT_EQ(opened, QStringList({row.link, webToolAddress(tool, row.link)}));

    // Find selects the next row holding the text; none found leaves no row selected.
    window->findChild<QAction *>(u"Search1"_s)->trigger();
    auto *find = window->findChild<TFindDialog *>();
    ASSERT_NE(find, nullptr);
    Q_EMIT find->findNext(u"flip"_s);
    ASSERT_EQ(rowsList()->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(rows->rows().at(rowsList()->selectionModel()->selectedRows().first().row()).anchorText, u"flip"_s);
    Q_EMIT find->findNext(u"nowhere"_s);
    EXPECT_TRUE(rowsList()->selectionModel()->selectedRows().isEmpty());

    // Without a selected row the commands do nothing.
    opened.clear();
    item(u"GotoURL1"_s)->trigger();
    EXPECT_TRUE(opened.isEmpty());
}

} // namespace quorvel::test
