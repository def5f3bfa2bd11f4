#include "gui/site/TSiteForm.h"

#include "ui_TSiteForm.h"

#include "core/collect/Collector.h"
#include "core/common/Text.h"
#include "core/store/SqliteCrawlStore.h"
#include "gui/analyze/AnalysisLauncher.h"
#include "gui/results/TFindDialog.h"
#include "gui/site/CrawlPagesModel.h"
#include "gui/site/CrawlStoreReader.h"
#include "gui/site/ProblemsModel.h"

#include <QCloseEvent>
#include <QDir>
#include <QMenu>
#include <QMessageBox>

#include <mutex>

using namespace Qt::StringLiterals;

namespace quorvel {

// What the crawl's thread tells the window about the recording: the crawl's id once begun, and why
// it was not recorded whole.
struct CrawlRecording
{
    std::atomic<qint64> crawlId{0};
    std::mutex mutex;
    QString error; // guarded by mutex
};

namespace {

QString startCaption()
{
    return TSiteForm::tr("Start");
}

QString stopCaption()
{
    return TSiteForm::tr("STOP");
}

QString stoppingCaption()
{
    return TSiteForm::tr("Stopping...");
}
// How often the summary follows a crawl under way.
constexpr qint64 kSummaryIntervalMs = 1000;

// The store of a crawl on the crawl's thread: writes each page, and says what the window needs.
class RecordingSink final : public CrawlSink
{
public:
    RecordingSink(std::unique_ptr<CrawlStore> store, std::shared_ptr<CrawlRecording> recording)
        : m_store(std::move(store))
        , m_recording(std::move(recording))
    {}

    ~RecordingSink() override
    {
        m_store.reset(); // commits what is still pending
    }

    RecordingSink(const RecordingSink &) = delete;
    RecordingSink &operator=(const RecordingSink &) = delete;

    void begin(const CrawlHeader &header) override
    {
        m_store->begin(header);
        m_recording->crawlId = m_store->currentCrawl();
        noteError();
    }

    void pageDone(const CrawlPage &page, const QList<CrawlRow> &rows) override { m_store->pageDone(page, rows); }

    void end(const CrawlEnd &end) override
    {
        m_store->end(end);
        noteError();
    }

private:
    void noteError()
    {
        if (const QString error = m_store->crawlError(); !error.isEmpty()) {
            const std::lock_guard lock(m_recording->mutex);
            m_recording->error = error;
        }
    }

    std::unique_ptr<CrawlStore> m_store;
    std::shared_ptr<CrawlRecording> m_recording;
};

// "1:05" for 65 seconds.
QString elapsedText(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    return u"%1:%2"_s.arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

TSiteForm::TSiteForm(SiteSetup setup, QWidget *parent)
    : QMainWindow(parent)
    , m_setup(std::move(setup))
    , m_storePath(m_setup.storePath)
    , m_reader(std::make_unique<CrawlStoreReader>(this, m_storePath))
    , m_ui(std::make_unique<Ui::TSiteForm>())
{
    setWindowFlag(Qt::Window);
    buildWindow();
    buildViews();
    buildMenus();
    setCrawling(false);
    refreshRecent();
}

TSiteForm::~TSiteForm()
{
    // The threads go first: nothing they send may arrive at a half-gone window.
    m_crawler.reset();
    m_save.reset();
    m_reader.reset();
}

void TSiteForm::buildWindow()
{
    m_ui->setupUi(this);
    setObjectName(u"SiteForm"_s);
    m_ui->StartEdit->setText(m_setup.start);
    setWindowTitle(tr("Crawl Site - %1").arg(m_setup.start));
    m_analyses = new AnalysisLauncher(this);
    connect(m_ui->StartButton, &QPushButton::clicked, this, &TSiteForm::onStartClicked);
    connect(m_ui->StartEdit, &QLineEdit::returnPressed, this, [this] {
        if (!crawling()) {
            onStartClicked();
        }
    });
}

void TSiteForm::setCrawling(bool on)
{
    m_ui->StartButton->setText(!on ? startCaption() : m_stopping ? stoppingCaption() : stopCaption());
    m_ui->StartButton->setEnabled(!on || !m_stopping);
    for (QWidget *control : std::initializer_list<QWidget *>{m_ui->StartEdit, m_ui->DepthBox, m_ui->MaxPagesBox,
                                                             m_ui->RobotsBox, m_ui->SitemapBox}) {
        control->setEnabled(!on);
    }
    for (QAction *item : {m_openItem, m_saveItem}) {
        if (item) {
            item->setEnabled(!on);
        }
    }
    if (m_recentMenu) {
        m_recentMenu->setEnabled(!on);
    }
    m_ui->CrawlProgress->setVisible(on);
}

void TSiteForm::showMessage(const QString &title, const QString &text)
{
    QMessageBox::warning(this, title, text);
}

void TSiteForm::onStartClicked()
{
    if (m_crawler) {
        // STOP: the crawl ends at its next look; what finished is kept.
        if (!m_stopping) {
            m_stopping = true;
            m_crawler->requestStop();
            setCrawling(true);
            statusBar()->showMessage(tr("Stopping..."));
        }
        return;
    }
    if (m_starting) {
        // STOP before the store answered: nothing was crawled, and the crawl shown stays.
        m_starting = false;
        setCrawling(false);
        statusBar()->clearMessage();
        return;
    }
    if (trimControl(m_ui->StartEdit->text()).isEmpty()) {
        showMessage(tr("Warning"), tr("Please enter URL!"));
        return;
    }
    const QString start = fixUpAddress(m_ui->StartEdit->text());
    if (!isCheckedAddress(start)) {
        showMessage(tr("Crawl Site"), tr("A crawl takes an http or https address: \"%1\"").arg(start));
        return;
    }
    m_ui->StartEdit->setText(start);
    setWindowTitle(tr("Crawl Site - %1").arg(start));
    // The store the crawl records into is opened first (off this thread): one that cannot be opened
    // stops the start with its reason, before anything is crawled.
    m_starting = true;
    m_stopping = false;
    setCrawling(true);
    statusBar()->showMessage(tr("Opening %1").arg(QDir::toNativeSeparators(m_storePath)));
    const quint64 attempt = ++m_startAttempt;
    m_reader->open(m_storePath, [this, start, attempt](const QString &error) {
        if (!m_starting || attempt != m_startAttempt) {
            return; // stopped before the store answered
        }
        m_starting = false;
        if (!error.isEmpty()) {
            setCrawling(false);
            statusBar()->clearMessage();
            showMessage(tr("Crawl Site"), error);
            return;
        }
        beginCrawl(start);
    });
}

void TSiteForm::beginCrawl(const QString &start)
{
    // The main window's options as they are now; the crawl's own come from this window's panel.
    CrawlOptions options = m_setup.optionsNow ? m_setup.optionsNow() : m_setup.options;
    options.maxDepth = m_ui->DepthBox->value();
    options.maxPages = m_ui->MaxPagesBox->value();
    options.ignoreRobots = !m_ui->RobotsBox->isChecked();
    options.useSitemap = m_ui->SitemapBox->isChecked();

    m_reader->forget(); // what was asked of the crawl shown before
    clearViews();
    m_crawlId = 0;
    m_recording = std::make_shared<CrawlRecording>();
    // The store's writing connection is opened on the crawl's thread, which it belongs to.
    TCrawler::SinkFactory makeSink = [path = m_storePath, recording = m_recording]() -> std::unique_ptr<CrawlSink> {
        // Every page is committed as it finishes, so its rows can be read the moment the window
        // hears of it, however slowly the crawl goes on (in WAL mode a commit costs no sync).
        SqliteStoreOptions storeOptions;
        storeOptions.batchRows = 1;
        QString error;
        std::unique_ptr<CrawlStore> store = openSqliteStore(path, &error, storeOptions);
        if (!store) {
            const std::lock_guard lock(recording->mutex);
            recording->error = error;
            return nullptr;
        }
        return std::make_unique<RecordingSink>(std::move(store), recording);
    };
    m_crawler = TCrawler::create(start, options, std::move(makeSink));
    connect(m_crawler.get(), &TCrawler::progress, this, &TSiteForm::onProgress);
    connect(m_crawler.get(), &TCrawler::pagesFinished, this, &TSiteForm::onPagesFinished);
    connect(m_crawler.get(), &TCrawler::finished, this, &TSiteForm::onCrawlFinished);
    m_stopping = false;
    setCrawling(true);
    m_ui->CrawlProgress->setRange(0, 1);
    m_ui->CrawlProgress->setValue(0);
    m_ui->ProgressLine->setText(tr("Starting..."));
    statusBar()->showMessage(tr("Crawling %1").arg(start));
    m_liveSummary = {};
    m_elapsed.start();
    m_summaryShown.start();
    m_crawler.start();
}

void TSiteForm::onProgress(const CrawlProgress &now)
{
    if (sender() != m_crawler.get()) {
        return; // a crawl that was already ended
    }
    const qint64 ms = std::max<qint64>(m_elapsed.elapsed(), 1);
    m_ui->CrawlProgress->setRange(0, static_cast<int>(std::clamp<qint64>(now.pagesFound, 1, INT_MAX)));
    m_ui->CrawlProgress->setValue(static_cast<int>(std::min<qint64>(now.pagesDone, INT_MAX)));
    m_ui->ProgressLine->setText(tr("Pages %1 / %2 found, links %3 checked / %4 distinct, %5 links/s, %6 elapsed")
                                    .arg(now.pagesDone)
                                    .arg(now.pagesFound)
                                    .arg(now.linksChecked)
                                    .arg(now.distinct)
                                    .arg(qRound64(double(now.linksChecked) * 1000.0 / double(ms)))
                                    .arg(elapsedText(ms)));
    loadRowsOfSelectedPage();
    // The chart and tables are redrawn about once a second, not with every batch.
    m_liveSummary.distinct = now.distinct;
    if (m_summaryShown.elapsed() >= kSummaryIntervalMs) {
        m_summaryShown.restart();
        showSummary(m_liveSummary);
        showFigures();
    }
}

void TSiteForm::onPagesFinished(const QList<CrawlPage> &pages, const QList<CrawlRow> &rows)
{
    if (sender() != m_crawler.get()) {
        return;
    }
    m_pages->appendPages(pages);
    m_liveSummary.pages += pages.size();
    m_liveSummary.rows += rows.size();
    for (const CrawlRow &row : rows) {
        ++m_liveSummary.byVerdict[static_cast<std::size_t>(row.row.verdict)];
    }
    // The rows themselves stay in the store; only the problems are shown.
    QList<CrawlRow> problems;
    for (const CrawlRow &row : rows) {
        if (isProblemVerdict(row.row.verdict)) {
            problems.append(row);
        }
    }
    // New rows go through the filter as they come: the list keeps its selection and scroll place.
    m_problems->appendRows(problems);
    m_problemHosts.add(problems);
    showProblemCount();
}

void TSiteForm::onCrawlFinished(const CrawlEnd &end)
{
    if (sender() != m_crawler.get()) {
        return;
    }
    m_crawler.reset();
    m_stopping = false;
    setCrawling(false);
    m_crawlId = m_recording->crawlId.load();
    QString recordError;
    {
        const std::lock_guard lock(m_recording->mutex);
        recordError = m_recording->error;
    }
    // The end brings every page with its final inlinks.
    const QModelIndexList selected = m_ui->PagesList->selectionModel()->selectedRows();
    const QString selectedUrl = selected.isEmpty() ? QString() : m_pages->page(selected.first().row()).url;
    m_pages->setPages(end.pages);
    if (!selectedUrl.isEmpty()) {
        selectPage(selectedUrl);
    }
    showSummary(end.summary);
    showChanges(std::nullopt);
    showFigures();
    m_ui->CrawlProgress->setValue(m_ui->CrawlProgress->maximum());
    statusBar()->showMessage(end.stopped
                                 ? tr("Stopped: the %1 pages finished are kept").arg(end.summary.pages)
                                 : tr("Crawled %1 pages; %2 orphans").arg(end.summary.pages).arg(end.orphans.size()));
    if (!recordError.isEmpty()) {
        showMessage(tr("Crawl Site"), tr("The crawl was not recorded whole: %1").arg(recordError));
    }
    refreshRecent();
    if (m_crawlId == 0 || !recordError.isEmpty()) {
        Q_EMIT crawlFinished();
        return;
    }
    // The recorded crawl's own summary, and what changed since the last crawl of the start.
    using Recorded = std::pair<std::optional<CrawlSummary>, std::optional<CrawlChanges>>;
    m_reader->read<Recorded>(
        [crawl = m_crawlId](CrawlStore *store, const QString &) -> Recorded {
            if (store == nullptr) {
                return {};
            }
            return {store->summary(crawl), store->changesOf(crawl)};
        },
        [this](const Recorded &recorded) {
            if (recorded.first) {
                showSummary(*recorded.first);
            }
            showChanges(recorded.second);
            Q_EMIT crawlFinished();
        });
}

qint64 TSiteForm::shownCrawl() const
{
    if (m_crawlId != 0) {
        return m_crawlId;
    }
    return m_recording ? m_recording->crawlId.load() : 0;
}

void TSiteForm::closeEvent(QCloseEvent *event)
{
    // Closing stops the crawl and waits for its thread; the store keeps every finished page.
    m_crawler.reset();
    m_save.reset();
    m_reader->forget();
    m_starting = false;
    m_analyses->stopAll();
    if (m_findDialog) {
        m_findDialog->close();
    }
    event->accept();
}

} // namespace quorvel
