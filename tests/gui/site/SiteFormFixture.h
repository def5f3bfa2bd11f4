#pragma once

// A Site window on a temporary data folder, crawling the generated loopback site.

#include "core/crawl/Crawler.h"
#include "core/store/SqliteCrawlStore.h"
#include "gui/ModalAnswerer.h"
#include "gui/site/TSiteForm.h"
#include "support/CrawlSite.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace quorvel::test {

using namespace Qt::StringLiterals;

inline constexpr int kSiteWaitMs = 60'000;

// The crawl's options as the main window would give them for the generated site.
inline CrawlOptions siteOptions()
{
    return CrawlSite::crawlOptions();
}

// The same with a response time-out that outlasts a held answer: the crawl waits for release().
inline CrawlOptions holdingOptions()
{
    CrawlOptions o = siteOptions();
    o.check.responseTimeout = u"60000"_s;
    return o;
}

class SiteFormTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dataDir.isValid()); }

    void TearDown() override
    {
        if (window) {
            window->close();
        }
        window.reset();
    }

    QString storePath() const { return dataDir.filePath(u"crawls.sqlite"_s); }

    // A fresh Site window for start, shown offscreen.
    void openWindow(const QString &start, const QString &store = QString(), CrawlOptions options = siteOptions())
    {
        if (window) {
            window->close();
        }
        window.reset();
        SiteSetup setup;
        setup.start = start;
        setup.options = std::move(options);
        setup.storePath = store.isEmpty() ? storePath() : store;
        setup.openAddress = [this](const QString &address) {
            opened.append(address);
        };
        window = std::make_unique<TSiteForm>(std::move(setup));
        window->show();
    }

    template <typename T> T *child(const QString &name) const
    {
        T *found = window->findChild<T *>(name);
        if (found == nullptr) {
            ADD_FAILURE() << "no control " << name.toStdString();
        }
        return found;
    }

    QPushButton *startButton() const { return child<QPushButton>(u"StartButton"_s); }
    QTableView *pagesList() const { return child<QTableView>(u"PagesList"_s); }
    QTableView *rowsList() const { return child<QTableView>(u"RowsList"_s); }
    QTableView *problemsList() const { return child<QTableView>(u"ProblemsList"_s); }

    bool waitFor(const std::function<bool()> &condition, int ms = kSiteWaitMs) const
    {
        return QTest::qWaitFor(condition, ms);
    }

    // Starts a crawl with the window's options and waits for its end, shown whole.
    bool crawl()
    {
        QSignalSpy finished(window.get(), &TSiteForm::crawlFinished);
        startButton()->click();
        if (!window->crawling()) {
            return false;
        }
        return waitFor([&finished] { return !finished.isEmpty(); });
    }

    // Open Crawl... with path; the store's error, empty when it was opened and its last crawl
    // (if any) is shown whole.
    QString openCrawl(const QString &path)
    {
        QSignalSpy answered(window.get(), &TSiteForm::crawlOpened);
        QSignalSpy shown(window.get(), &TSiteForm::crawlShown);
        window->openCrawlFile(path);
        if (!waitFor([&answered] { return !answered.isEmpty(); })) {
            return u"no answer"_s;
        }
        const QString error = answered.first().at(1).toString();
        if (error.isEmpty() && !waitFor([&shown] { return !shown.isEmpty(); })) {
            return u"not shown"_s;
        }
        return error;
    }

    // The rows list once it holds the rows of the page selected.
    bool waitForRows(int count)
    {
        return waitFor([this, count] { return rowsList()->model()->rowCount() == count; });
    }

    // The store as another program would read it.
    std::unique_ptr<CrawlStore> readStore(const QString &path = QString()) const
    {
        QString error;
        std::unique_ptr<CrawlStore> store = openSqliteStore(path.isEmpty() ? storePath() : path, &error);
        EXPECT_TRUE(store) << error.toStdString();
        return store;
    }

    QTemporaryDir dataDir;
    QStringList opened;
    ModalAnswerer modals;
    std::unique_ptr<TSiteForm> window;
};

} // namespace quorvel::test
