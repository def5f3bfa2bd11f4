// The Site window's menus: File (open a crawl store, save a report, reopen a recorded crawl), the
// rows list's commands, and Find.

#include "ui_TSiteForm.h"

#include "core/analyze/RunAnalysis.h"
#include "core/report/CrawlReportFile.h"
#include "core/report/ReportWriter.h"
#include "core/results/RowOrder.h"
#include "core/store/SqliteCrawlStore.h"
#include "gui/analyze/AnalysisLauncher.h"
#include "gui/common/Icons.h"
#include "gui/results/ResultsModel.h"
#include "gui/results/ResultsTable.h"
#include "gui/results/TFindDialog.h"
#include "gui/results/WebToolItems.h"
#include "gui/site/CrawlPagesModel.h"
#include "gui/site/CrawlStoreReader.h"
#include "gui/site/TSiteForm.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Recent crawls the File menu lists.
constexpr int kRecentCrawls = 10;

QString reportFilters()
{
    return TSiteForm::tr("HTML (*.html);;JUnit XML (*.xml);;SARIF (*.sarif);;Markdown (*.md);;CSV (*.csv)");
}

} // namespace

void TSiteForm::buildMenus()
{
    QMenuBar *bar = menuBar();
    QMenu *file = bar->addMenu(tr("File"));
    m_openItem = file->addAction(namedIcon(u"document-open"_s), u"Open Crawl..."_s, this, &TSiteForm::onOpenCrawl);
    m_openItem->setObjectName(u"OpenCrawl1"_s);
    m_saveItem = file->addAction(namedIcon(u"document-save"_s), u"Save Report..."_s, this, &TSiteForm::onSaveReport);
    m_saveItem->setObjectName(u"SaveReport1"_s);
    m_recentMenu = file->addMenu(tr("Recent Crawls"));
    m_recentMenu->setObjectName(u"RecentCrawls1"_s);
    // The crawls as last read at once, then as the store holds them now (another window may have
    // recorded one since).
    connect(m_recentMenu, &QMenu::aboutToShow, this, [this] {
        fillRecentMenu();
        refreshRecent();
    });
    file->addSeparator();
    file->addAction(tr("Close"), this, &TSiteForm::close)->setObjectName(u"Close1"_s);

    QMenu *results = bar->addMenu(tr("Results"));
    QAction *find = results->addAction(namedIcon(u"search"_s), u"Find..."_s, this, &TSiteForm::onFind);
    find->setObjectName(u"Search1"_s);
    find->setShortcut(QKeySequence(u"Ctrl+F"_s));

    // The rows list's menu: the main window's list commands, on the selected row's link.
    m_rowsMenu = new QMenu(this);
    m_rowsMenu->setObjectName(u"RowsMenu"_s);
    m_rowsMenu
        ->addAction(tr("Go to URL..."), this,
                    [this] {
                        if (const auto link = selectedLink()) {
                            openAddress(*link);
                        }
                    })
        ->setObjectName(u"GotoURL1"_s);
    m_rowsMenu
        ->addAction(tr("Copy URL"), this,
                    [this] {
                        if (const auto link = selectedLink()) {
                            QGuiApplication::clipboard()->setText(*link);
                        }
                    })
        ->setObjectName(u"CopyURL1"_s);
    m_rowsMenu
        ->addAction(tr("Copy Anchor Text"), this,
                    [this] {
                        if (const std::optional<int> row = m_rowsTable->currentRow()) {
                            QGuiApplication::clipboard()->setText(m_rows->rows().at(*row).anchorText);
                        }
                    })
        ->setObjectName(u"CopyAnchorText1"_s);
    m_rowsMenu
        ->addAction(tr("Analyze URL..."), this,
                    [this] {
                        if (const auto link = selectedLink(); link && !link->isEmpty()) {
                            AnalysisOptions options;
                            options.userAgent =
                                (m_setup.optionsNow ? m_setup.optionsNow() : m_setup.options).check.userAgent;
                            if (!m_setup.contentsHost.isEmpty()) {
                                options.contentsHost = m_setup.contentsHost;
                            }
                            m_analyses->analyze(*link, options);
                        }
                    })
        ->setObjectName(u"AnalyzeURL1"_s);
    m_rowsMenu->addAction(tr("Copy All"), this, [this] { m_rowsTable->copyAllRows(); })->setObjectName(u"CopyAll1"_s);
    m_rowsMenu->addSeparator();
    addWebToolItems(m_rowsMenu, QString(), [this](WebTool tool) {
        if (const auto link = selectedLink()) {
            openAddress(webToolAddress(tool, *link));
        }
    });
    connect(m_ui->RowsList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_rowsMenu->popup(m_ui->RowsList->viewport()->mapToGlobal(at)); });
}

std::optional<QString> TSiteForm::selectedLink() const
{
    const std::optional<int> row = m_rowsTable->currentRow();
    if (!row) {
        return std::nullopt;
    }
    return m_rows->rows().at(*row).link;
}

void TSiteForm::openAddress(const QString &address) const
{
    if (m_setup.openAddress) {
        m_setup.openAddress(address);
        return;
    }
    QDesktopServices::openUrl(QUrl(address));
}

void TSiteForm::fillRecentMenu()
{
    m_recentMenu->clear();
    const QList<StoredCrawl> &crawls = m_recentCrawls;
    for (qsizetype i = crawls.size() - 1; i >= 0 && i >= crawls.size() - kRecentCrawls; --i) {
        const StoredCrawl &crawl = crawls.at(i);
        const QString when = QLocale().toString(crawl.startedAt.toLocalTime(), QLocale::ShortFormat);
        QString text = tr("%1  %2  (%3 pages)").arg(crawl.start, when).arg(crawl.summary.pages);
        if (crawl.stopped) {
            text += tr(", stopped");
        } else if (!crawl.finished()) {
            text += tr(", not ended");
        }
        m_recentMenu->addAction(text, this, [this, id = crawl.id] { showCrawl(id); })
            ->setObjectName(u"RecentCrawl"_s + QString::number(crawl.id));
    }
    if (crawls.isEmpty()) {
        m_recentMenu->addAction(tr("No crawls yet"))->setEnabled(false);
    }
}

void TSiteForm::refreshRecent()
{
    m_reader->read<QList<StoredCrawl>>(
        [](CrawlStore *store, const QString &) { return store ? store->crawls() : QList<StoredCrawl>(); },
        [this](const QList<StoredCrawl> &crawls) {
            m_recentCrawls = crawls;
            fillRecentMenu();
        });
}

void TSiteForm::showCrawl(qint64 crawlId)
{
    if (crawling()) {
        return;
    }
    clearViews();
    m_reader->forget(); // what was asked of the crawl shown before
    m_crawlId = 0;
    // The crawl's record, its pages and changes in one read; its problems follow a chunk at a time.
    struct Shown
    {
        std::optional<StoredCrawl> crawl;
        QList<CrawlPage> pages;
        std::optional<CrawlChanges> changes;
        QString error;
    };
    m_reader->read<Shown>(
        [crawlId](CrawlStore *store, const QString &error) {
            Shown shown;
            if (store == nullptr) {
                shown.error = error;
                return shown;
            }
            const QList<StoredCrawl> crawls = store->crawls();
            const auto found = std::find_if(crawls.cbegin(), crawls.cend(),
                                            [crawlId](const StoredCrawl &crawl) { return crawl.id == crawlId; });
            if (found == crawls.cend()) {
                shown.error = store->lastError().isEmpty() ? tr("The store holds no such crawl") : store->lastError();
                return shown;
            }
            shown.crawl = *found;
            shown.pages = store->pages(crawlId);
            shown.changes = store->changesOf(crawlId);
            return shown;
        },
        [this, crawlId](const Shown &shown) {
            if (!shown.crawl) {
                showMessage(tr("Crawl Site"), shown.error);
                return;
            }
            const StoredCrawl &found = *shown.crawl;
            m_crawlId = crawlId;
            m_pages->setPages(shown.pages);
            showSummary(found.summary);
            showChanges(shown.changes);
            showFigures();
            m_ui->StartEdit->setText(found.start);
            setWindowTitle(tr("Crawl Site - %1").arg(found.start));
            QString state = crawlPeriod(found.startedAt, found.endedAt);
            if (found.stopped) {
                state += tr(" (stopped)");
            } else if (!found.finished()) {
                state += tr(" (never ended)");
            }
            statusBar()->showMessage(tr("%1 pages recorded. %2").arg(m_pages->rowCount()).arg(state));
            loadProblems(crawlId, 0);
        });
}

void TSiteForm::openCrawlFile(const QString &path)
{
    if (crawling()) {
        Q_EMIT crawlOpened(path, tr("A crawl is under way"));
        return;
    }
    if (!QFileInfo(path).isFile()) {
        const QString error = tr("\"%1\" is not a file").arg(path);
        showMessage(tr("Open Crawl"), error);
        Q_EMIT crawlOpened(path, error);
        return;
    }
    m_reader->open(path, [this, path](const QString &error) {
        if (!error.isEmpty()) {
            showMessage(tr("Open Crawl"), error);
            Q_EMIT crawlOpened(path, error);
            return;
        }
        m_storePath = path;
        m_reader->read<QList<StoredCrawl>>(
            [](CrawlStore *store, const QString &) { return store ? store->crawls() : QList<StoredCrawl>(); },
            [this, path](const QList<StoredCrawl> &crawls) {
                m_recentCrawls = crawls;
                fillRecentMenu();
                Q_EMIT crawlOpened(path, QString());
                if (crawls.isEmpty()) {
                    clearViews();
                    m_crawlId = 0;
                    statusBar()->showMessage(
                        tr("\"%1\" holds no crawl yet; a crawl started now is recorded there").arg(path));
                    return;
                }
                showCrawl(crawls.constLast().id);
            });
    });
}

void TSiteForm::onOpenCrawl()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Crawl"), QFileInfo(m_storePath).absolutePath(),
                                                      tr("Crawl store (*.sqlite *.db);;Any File (*)"));
    if (!path.isEmpty()) {
        openCrawlFile(path);
    }
}

void TSiteForm::onSaveReport()
{
    if (m_crawlId == 0) {
        showMessage(tr("Save Report"), tr("There is no recorded crawl to report yet"));
        return;
    }
    QString filter;
    QString fileName = QFileDialog::getSaveFileName(this, tr("Save Report"), QString(), reportFilters(), &filter);
    if (fileName.isEmpty()) {
        return;
    }
    // A name without a suffix takes the one of the format chosen.
    if (QFileInfo(fileName).suffix().isEmpty()) {
        const qsizetype star = filter.indexOf(u"*.");
        if (star >= 0) {
            fileName += filter.mid(star + 1, filter.indexOf(u')', star) - star - 1);
        }
    }
    saveReport(fileName);
}

void TSiteForm::saveReport(const QString &fileName)
{
    if (m_crawlId == 0 || m_save) {
        Q_EMIT reportSaved(fileName, m_save ? tr("A report is being saved already")
                                            : tr("There is no recorded crawl to report yet"));
        return;
    }
    if (!isCrawlReportFile(fileName)) {
        const QString error =
            tr("\"%1\" names no report format: end it in .html, .xml, .sarif, .md or .csv").arg(fileName);
        showMessage(tr("Save Report"), error);
        Q_EMIT reportSaved(fileName, error);
        return;
    }
    statusBar()->showMessage(tr("Saving %1").arg(fileName));
    // The whole crawl is read and written on a thread of its own, with a store connection of its own.
    m_save = runOwned<QString>(
        u"SaveReport"_s, this,
        [path = m_storePath, crawl = m_crawlId, fileName, separator = m_setup.listSeparator](
            const std::atomic<bool> &) { return saveCrawlReport(path, crawl, fileName, separator); },
        [this, fileName](const QString &error) {
            m_save.reset();
            if (error.isEmpty()) {
                statusBar()->showMessage(tr("Saved %1").arg(fileName));
            } else {
                statusBar()->clearMessage();
                showMessage(tr("Save Report"), error);
            }
            Q_EMIT reportSaved(fileName, error);
        });
}

void TSiteForm::onFind()
{
    if (!m_findDialog) {
        m_findDialog = new TFindDialog(this);
        connect(m_findDialog, &TFindDialog::findNext, this, &TSiteForm::onFindNext);
    }
    m_findPosition = -1;
    m_findDialog->show();
    m_findDialog->raise();
    m_findDialog->activateWindow();
}

void TSiteForm::onFindNext(const QString &text)
{
    m_findPosition = findNextRow(m_rows->rows(), text, m_findPosition);
    if (m_findPosition < 0) {
        m_ui->RowsList->clearSelection();
        statusBar()->showMessage(tr("Not found"));
        QApplication::beep();
        return;
    }
    m_ui->Tabs->setCurrentWidget(m_ui->PagesTab);
    m_ui->RowsList->selectRow(static_cast<int>(m_findPosition));
    m_ui->RowsList->scrollTo(m_rows->index(static_cast<int>(m_findPosition), 0));
}

} // namespace quorvel
