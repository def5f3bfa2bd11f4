#pragma once

#include "core/crawl/CrawlRunner.h"
#include "core/report/CrawlFigures.h"
#include "core/store/CrawlStore.h"
#include "gui/site/SiteSetup.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>

QT_BEGIN_NAMESPACE
namespace Ui {
class TSiteForm;
}
class QChart;
class QMenu;
QT_END_NAMESPACE

namespace quorvel {

class AnalysisLauncher;
class CrawlPagesModel;
class CrawlStoreReader;
class ProblemsModel;
class ResultsModel;
class ResultsTable;
class TFindDialog;
struct CrawlRecording;

// The Site window: crawls one site on its own thread and shows it while it goes: the pages, the
// selected page's rows, every problem of the site and a summary; records each crawl in a store
// and reads crawls back from it. Lives on the UI thread; what it shows is read from the store on
// demand. The layout is TSiteForm.ui; the code is split by job: TSiteForm.cpp (building, the crawl),
// TSiteFormViews.cpp (pages, rows, problems, summary) and TSiteFormMenus.cpp (menus and files).
class TSiteForm final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSiteForm)

public:
    explicit TSiteForm(SiteSetup setup, QWidget *parent = nullptr);
    ~TSiteForm() override;

    // What the window was opened with (the main window's options then).
    const SiteSetup &setup() const { return m_setup; }
    // A crawl runs, or is about to (its store being opened).
    bool crawling() const { return m_starting || static_cast<bool>(m_crawler); }
    // The crawl shown (being written, finished or read back); 0 for none.
    qint64 crawlId() const { return m_crawlId; }
    const QString &storePath() const { return m_storePath; }
    QChart *chart() const { return m_chart; }
    QMenu *rowsMenu() const { return m_rowsMenu; }
    QMenu *recentMenu() const { return m_recentMenu; }

    // Start (or STOP while a crawl runs).
    void onStartClicked();
    // Open Crawl... with the file chosen: the store's last crawl is shown. A file that is not a
    // crawl store of this version is refused with the store's message. crawlOpened tells the end.
    void openCrawlFile(const QString &path);
    // Shows the crawl id of the open store; crawlShown tells when all of it is there.
    void showCrawl(qint64 crawlId);
    // Save Report... with the file chosen: written off the UI thread; reportSaved tells the end.
    void saveReport(const QString &fileName);

Q_SIGNALS:
    // A crawl ended and the window shows all of it (the store's summary when it was recorded).
    void crawlFinished();
    // A store file was opened (error empty) or refused (error says why).
    void crawlOpened(const QString &path, const QString &error);
    // A recorded crawl is shown whole: its pages, problems, summary and changes.
    void crawlShown(qint64 crawlId);
    // error is empty when the report was written.
    void reportSaved(const QString &fileName, const QString &error);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // TSiteForm.cpp
    void buildWindow();
    void setCrawling(bool on);
    // Starts the crawl once its store is open.
    void beginCrawl(const QString &start);
    void onProgress(const CrawlProgress &now);
    void onPagesFinished(const QList<CrawlPage> &pages, const QList<CrawlRow> &rows);
    void onCrawlFinished(const CrawlEnd &end);
    void showMessage(const QString &title, const QString &text);
    // The crawl shown, or the one being recorded once it has begun; 0 for none.
    qint64 shownCrawl() const;

    // TSiteFormViews.cpp
    void buildViews();
    void clearViews();
    void onPageSelected();
    // Asks for the selected page's rows; keeps asking while the crawl has not committed them all yet.
    void loadRowsOfSelectedPage();
    void showRowsOfPage(const QString &url, const QList<CrawlRow> &stored);
    void selectPage(const QString &url);
    void onProblemActivated(const QModelIndex &index);
    void applyProblemFilter();
    void showProblemCount();
    // Reads the crawl's problems a chunk at a time from offset on; crawlShown follows the last.
    void loadProblems(qint64 crawlId, qint64 offset);
    void showSummary(const CrawlSummary &summary);
    void showChanges(const std::optional<CrawlChanges> &changes);
    void showFigures();

    // TSiteFormMenus.cpp
    void buildMenus();
    void fillRecentMenu();
    // Reads the store's crawls for the recent crawls menu.
    void refreshRecent();
    void onOpenCrawl();
    void onSaveReport();
    std::optional<QString> selectedLink() const;
    void openAddress(const QString &address) const;
    void onFind();
    void onFindNext(const QString &text);

    SiteSetup m_setup;
    QString m_storePath;
    std::unique_ptr<CrawlStoreReader> m_reader; // this window's reads of the store
    QList<StoredCrawl> m_recentCrawls;          // the store's crawls as last read
    qint64 m_crawlId = 0;
    OwnedWorker<TCrawler> m_crawler;
    std::shared_ptr<CrawlRecording> m_recording;
    bool m_starting = false;    // Start clicked, the store being opened
    quint64 m_startAttempt = 0; // which Start the store's answer belongs to
    bool m_stopping = false;
    QElapsedTimer m_elapsed;
    // The counts of the crawl under way, from the pages as they finish; the summary shows them
    // now and then, and the store's when the crawl ends.
    CrawlSummary m_liveSummary;
    // The problems list's rows counted by host, kept as they come for the summary's ranking.
    ProblemHosts m_problemHosts;
    QElapsedTimer m_summaryShown;
    QString m_pendingRowsPage; // a selected page whose rows are not shown yet
    bool m_rowsAsked = false;  // a read of a page's rows is under way
    // The row to select once the page's rows are there (a problem double-clicked): link, anchor text.
    std::optional<std::pair<QString, QString>> m_rowToSelect;
    OwnedThreadPtr m_save;
    qsizetype m_findPosition = -1;

    std::unique_ptr<Ui::TSiteForm> m_ui;
    CrawlPagesModel *m_pages = nullptr;
    ResultsModel *m_rows = nullptr;
    ResultsTable *m_rowsTable = nullptr;
    ProblemsModel *m_problems = nullptr;
    QChart *m_chart = nullptr;
    QMenu *m_rowsMenu = nullptr;
    QMenu *m_recentMenu = nullptr;
    QAction *m_openItem = nullptr;
    QAction *m_saveItem = nullptr;
    AnalysisLauncher *m_analyses = nullptr;
    QPointer<TFindDialog> m_findDialog;
};

} // namespace quorvel
