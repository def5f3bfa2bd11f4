// The Site window's views: the pages table with the selected page's rows, the problems of the
// whole site, and the summary with its chart.

#include "ui_TSiteForm.h"

#include "core/report/CrawlFigures.h"
#include "gui/common/CoreTexts.h"
#include "gui/results/ResultsModel.h"
#include "gui/results/ResultsTable.h"
#include "gui/site/CrawlPagesModel.h"
#include "gui/site/CrawlStoreReader.h"
#include "gui/site/ProblemsModel.h"
#include "gui/site/TSiteForm.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QValueAxis>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Problem rows are read from the store this many at a time.
constexpr qint64 kProblemChunk = 5000;

// The verdicts a summary counts, in the order of their enum (the check's summary line's order).
QList<Verdict> countedVerdicts()
{
    QList<Verdict> verdicts;
    for (int v = static_cast<int>(Verdict::Ok); v < kVerdictCount; ++v) {
        verdicts.append(static_cast<Verdict>(v));
    }
    return verdicts;
}

// Shows rows under captions; a cell already there only changes its text, and only when it differs
// (the summary follows a crawl every second).
void fillTable(QTableWidget *table, const QStringList &captions, const QList<QStringList> &rows)
{
    if (table->columnCount() != captions.size()) {
        table->setColumnCount(static_cast<int>(captions.size()));
        table->setHorizontalHeaderLabels(captions);
        table->horizontalHeader()->setStretchLastSection(true);
        table->verticalHeader()->setVisible(false);
    }
    table->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows.at(r).size(); ++c) {
            QTableWidgetItem *item = table->item(r, c);
            if (item == nullptr) {
                table->setItem(r, c, new QTableWidgetItem(rows.at(r).at(c)));
            } else if (item->text() != rows.at(r).at(c)) {
                item->setText(rows.at(r).at(c));
            }
        }
    }
}

} // namespace

void TSiteForm::buildViews()
{
    m_pages = new CrawlPagesModel(this);
    m_ui->PagesList->setModel(m_pages);
    m_ui->PagesList->horizontalHeader()->setSectionResizeMode(CrawlPagesModel::UrlColumn, QHeaderView::Stretch);
    m_ui->PagesList->verticalHeader()->setVisible(false);
    // Sorted by a click on a column (a third click goes back to the fetch order); fetch order first.
    m_ui->PagesList->horizontalHeader()->setSortIndicatorClearable(true);
    m_ui->PagesList->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_ui->PagesList->setSortingEnabled(true);
    connect(m_ui->PagesList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TSiteForm::onPageSelected);

    // The selected page's rows in the main window's list: its columns, icons, verdicts and sorting.
    m_rows = new ResultsModel(this);
    QTableView *rows = m_ui->RowsList;
    rows->setModel(m_rows);
    rows->verticalHeader()->setVisible(false);
    rows->setIconSize(QSize(16, 16));
    for (int column = 0; column < m_rows->columnCount(); ++column) {
        if (const int width = ResultsModel::columnWidth(column); width > 0) {
            rows->setColumnWidth(column, width);
        } else {
            rows->horizontalHeader()->setSectionResizeMode(column, QHeaderView::Stretch);
        }
    }
    rows->horizontalHeader()->setSectionsClickable(true);
    connect(rows->horizontalHeader(), &QHeaderView::sectionClicked, m_rows, &ResultsModel::headerClicked);
    // The main window's list behaviour: several rows, Ctrl+C, the sort arrow, cut cells' tooltips.
    m_rowsTable = new ResultsTable(rows, m_rows);
    rows->setContextMenuPolicy(Qt::CustomContextMenu);
    m_ui->PagesSplitter->setStretchFactor(0, 3);
    m_ui->PagesSplitter->setStretchFactor(1, 2);

    m_problems = new ProblemsModel(this);
    m_ui->ProblemsList->setModel(m_problems);
    m_ui->ProblemsList->verticalHeader()->setVisible(false);
    m_ui->ProblemsList->horizontalHeader()->setSectionResizeMode(ProblemsModel::LinkColumn, QHeaderView::Stretch);
    m_ui->VerdictFilter->addItem(tr("All problems"));
    for (const Verdict verdict : countedVerdicts()) {
        if (isProblemVerdict(verdict)) {
            m_ui->VerdictFilter->addItem(shownVerdict(verdict), static_cast<int>(verdict));
        }
    }
    connect(m_ui->VerdictFilter, &QComboBox::currentIndexChanged, this, &TSiteForm::applyProblemFilter);
    connect(m_ui->TextFilter, &QLineEdit::textChanged, this, &TSiteForm::applyProblemFilter);
    connect(m_ui->ProblemsList, &QTableView::doubleClicked, this, &TSiteForm::onProblemActivated);

    m_chart = new QChart();
    m_chart->legend()->hide();
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    auto *chartView = new QChartView(m_chart, m_ui->ChartHost); // the view owns the chart
    chartView->setObjectName(u"VerdictChart"_s);
    chartView->setRenderHint(QPainter::Antialiasing);
    m_ui->ChartHost->layout()->addWidget(chartView);
    m_ui->verdictLayout->setStretch(0, 3);
    m_ui->verdictLayout->setStretch(1, 1);
    m_ui->summaryLayout->setRowStretch(0, 3);
    m_ui->summaryLayout->setRowStretch(1, 2);
    m_ui->summaryLayout->setRowStretch(2, 2);
    clearViews();
}

void TSiteForm::clearViews()
{
    m_pendingRowsPage.clear();
    m_rowToSelect.reset();
    m_rowsAsked = false; // an answer still under way is dropped with it (CrawlStoreReader::forget)
    m_findPosition = -1;
    m_pages->setPages({});
    m_rows->clear();
    m_problems->setRows({});
    m_problemHosts.clear();
    applyProblemFilter();
    showSummary({});
    showChanges(std::nullopt);
    showFigures();
}

void TSiteForm::onPageSelected()
{
    const QModelIndexList selected = m_ui->PagesList->selectionModel()->selectedRows();
    m_rows->clear();
    m_findPosition = -1;
    m_rowToSelect.reset();
    m_pendingRowsPage = selected.isEmpty() ? QString() : m_pages->page(selected.first().row()).url;
    loadRowsOfSelectedPage();
}

void TSiteForm::loadRowsOfSelectedPage()
{
    // One read at a time: its answer asks again when the selection moved on meanwhile.
    if (m_pendingRowsPage.isEmpty() || m_rowsAsked) {
        return;
    }
    const qint64 crawl = shownCrawl();
    if (m_pages->rowOf(m_pendingRowsPage) < 0 || crawl == 0) {
        m_pendingRowsPage.clear();
        m_rowToSelect.reset();
        return;
    }
    m_rowsAsked = true;
    m_reader->read<QList<CrawlRow>>(
        [crawl, url = m_pendingRowsPage](CrawlStore *store, const QString &) {
            return store ? store->rowsOfPage(crawl, url) : QList<CrawlRow>();
        },
        [this, url = m_pendingRowsPage](const QList<CrawlRow> &stored) {
            m_rowsAsked = false;
            showRowsOfPage(url, stored);
        });
}

void TSiteForm::showRowsOfPage(const QString &url, const QList<CrawlRow> &stored)
{
    if (url != m_pendingRowsPage) {
        loadRowsOfSelectedPage(); // another page was selected meanwhile
        return;
    }
    const int pageRow = m_pages->rowOf(url);
    if (pageRow < 0) {
        m_pendingRowsPage.clear();
        return;
    }
    // A page's rows are committed before the window hears of it; should the file lag behind all the
    // same, they are asked for again with the next progress until whole.
    if (stored.size() < m_pages->page(pageRow).links && crawling()) {
        return;
    }
    LinkRows rows;
    rows.reserve(stored.size());
    for (const CrawlRow &row : stored) {
        rows.append(row.row);
    }
    m_rows->clear();
    m_rows->appendRows(rows);
    m_pendingRowsPage.clear();
    if (!m_rowToSelect) {
        return;
    }
    const auto [link, anchorText] = *m_rowToSelect;
    m_rowToSelect.reset();
    const LinkRows &shown = m_rows->rows();
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown.at(i).link == link && shown.at(i).anchorText == anchorText) {
            m_ui->RowsList->selectRow(static_cast<int>(i));
            m_ui->RowsList->scrollTo(m_rows->index(static_cast<int>(i), 0));
            m_ui->RowsList->setFocus();
            break;
        }
    }
}

void TSiteForm::selectPage(const QString &url)
{
    const int row = m_pages->rowOf(url);
    if (row < 0) {
        return;
    }
    m_ui->Tabs->setCurrentWidget(m_ui->PagesTab);
    m_ui->PagesList->selectRow(row);
    m_ui->PagesList->scrollTo(m_pages->index(row, 0));
}

void TSiteForm::onProblemActivated(const QModelIndex &index)
{
    if (!index.isValid()) {
        return;
    }
    const CrawlRow problem = m_problems->shownRow(index.row());
    m_ui->PagesList->clearSelection();
    // The row is selected once the page's rows are read.
    selectPage(problem.page);
    m_rowToSelect = std::make_pair(problem.row.link, problem.row.anchorText);
}

void TSiteForm::applyProblemFilter()
{
    const QVariant verdict = m_ui->VerdictFilter->currentData();
    m_problems->setFilter(verdict.isValid() ? std::optional<Verdict>(static_cast<Verdict>(verdict.toInt()))
                                            : std::nullopt,
                          m_ui->TextFilter->text().trimmed());
    showProblemCount();
}

void TSiteForm::showProblemCount()
{
    m_ui->ProblemsCount->setText(
        tr("%1 of %2 problems shown").arg(m_problems->rowCount()).arg(m_problems->allRows().size()));
}

void TSiteForm::loadProblems(qint64 crawlId, qint64 offset)
{
    m_reader->read<QList<CrawlRow>>(
        [crawlId, offset](CrawlStore *store, const QString &) {
            return store ? store->problemRows(crawlId, offset, kProblemChunk) : QList<CrawlRow>();
        },
        [this, crawlId, offset](const QList<CrawlRow> &chunk) {
            // New rows go through the filter as they come, like a crawl's.
            m_problems->appendRows(chunk);
            m_problemHosts.add(chunk);
            showProblemCount();
            if (chunk.size() == kProblemChunk) {
                loadProblems(crawlId, offset + kProblemChunk);
                return;
            }
            showFigures();
            Q_EMIT crawlShown(crawlId);
        });
}

void TSiteForm::showSummary(const CrawlSummary &summary)
{
    QList<QStringList> rows = {{tr("Pages"), QString::number(summary.pages)},
                               {tr("Rows"), QString::number(summary.rows)},
                               {tr("Distinct links"), QString::number(summary.distinct)}};
    const QList<Verdict> verdicts = countedVerdicts();
    qint64 most = 0;
    for (const Verdict verdict : verdicts) {
        const qint64 count = summary.count(verdict);
        rows.append({shownVerdict(verdict), QString::number(count)});
        most = std::max(most, count);
    }
    // The chart is made once; a crawl under way only changes its bars and scale, which costs the
    // window far less than laying out new axes every second.
    if (m_chart->series().isEmpty()) {
        auto *set = new QBarSet(tr("Links"));
        QStringList categories;
        for (const Verdict verdict : verdicts) {
            set->append(0.0);
            categories.append(shownVerdict(verdict));
        }
        auto *series = new QBarSeries();
        series->append(set);
        m_chart->addSeries(series);
        auto *axisX = new QBarCategoryAxis();
        axisX->append(categories);
        axisX->setLabelsAngle(-40);
        m_chart->addAxis(axisX, Qt::AlignBottom);
        series->attachAxis(axisX);
        auto *axisY = new QValueAxis();
        axisY->setLabelFormat(u"%d"_s);
        m_chart->addAxis(axisY, Qt::AlignLeft);
        series->attachAxis(axisY);
    }
    auto *series = qobject_cast<QBarSeries *>(m_chart->series().constFirst());
    QBarSet *set = series->barSets().constFirst();
    for (int i = 0; i < verdicts.size(); ++i) {
        const auto count = static_cast<qreal>(summary.count(verdicts.at(i)));
        if (set->at(i) != count) {
            set->replace(i, count);
        }
    }
    const QList<QAbstractAxis *> vertical = m_chart->axes(Qt::Vertical);
    if (auto *axisY = qobject_cast<QValueAxis *>(vertical.value(0))) {
        axisY->setRange(0, static_cast<qreal>(std::max<qint64>(most, 1)));
    }
    fillTable(m_ui->VerdictCounts, {tr("Of"), tr("Count")}, rows);
}

void TSiteForm::showChanges(const std::optional<CrawlChanges> &changes)
{
    QList<QStringList> rows;
    if (!changes) {
        m_ui->ChangesLabel->setText(m_crawlId == 0 ? QString()
                                                   : tr("No earlier crawl of this start address to compare with"));
    } else {
        m_ui->ChangesLabel->setText(
            tr("Since the crawl of %1: %2 newly broken, %3 fixed")
                .arg(QLocale().toString(changes->previousStartedAt.toLocalTime(), QLocale::ShortFormat))
                .arg(changes->newlyBroken.size())
                .arg(changes->fixed.size()));
        for (const QString &link : changes->newlyBroken) {
            rows.append({tr("new broken"), link});
        }
        for (const QString &link : changes->fixed) {
            rows.append({tr("fixed"), link});
        }
    }
    fillTable(m_ui->ChangesList, {tr("Change"), tr("Link")}, rows);
}

void TSiteForm::showFigures()
{
    QList<QStringList> depths;
    for (const auto &[depth, count] : pagesByDepth(m_pages->pages())) {
        depths.append({QString::number(depth), QString::number(count)});
    }
    fillTable(m_ui->DepthCounts, {tr("Depth"), tr("Pages")}, depths);
    QList<QStringList> hosts;
    for (const auto &[host, count] : m_problemHosts.top(10)) {
        hosts.append({host, QString::number(count)});
    }
    fillTable(m_ui->ProblemHosts, {tr("Host"), tr("Problems")}, hosts);
}

} // namespace quorvel
