#include "ui_TAppForm.h"

#include "core/results/CheckResult.h"
#include "core/results/RowOrder.h"
#include "gui/app/TAppForm.h"
#include "gui/common/CoreTexts.h"
#include "gui/results/ResultsModel.h"

#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableView>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

constexpr int kTotalPanelWidth = 200;

// What "Problems only" leaves out: rows checked and found fine, or not requested. A row not yet
// checked stays, so that during a pass the list shows the problems and the work still to do.
bool hiddenByProblemsFilter(Verdict verdict)
{
    return verdict == Verdict::Ok || verdict == Verdict::Redirected || verdict == Verdict::Skipped;
}

} // namespace

void TAppForm::buildStatusBar()
{
    // "Total Links: N" in a 200-pixel panel, the activity in the rest, and at the right the check's
    // progress: "N/M checked" and a bar while a pass runs, its summary counts after it.
    auto *status = new QStatusBar(this);
    status->setObjectName(u"StatusBar1"_s);
    status->setSizeGripEnabled(true);
    m_statusTotal = new QLabel(status);
    m_statusTotal->setObjectName(u"StatusPanel0"_s);
    m_statusTotal->setFixedWidth(kTotalPanelWidth);
    m_statusActivity = new QLabel(status);
    m_statusActivity->setObjectName(u"StatusPanel1"_s);
    status->addWidget(m_statusTotal);
    status->addWidget(m_statusActivity, 1);
    m_checkCounts = new QLabel(status);
    m_checkCounts->setObjectName(u"CheckCounts"_s);
    status->addPermanentWidget(m_checkCounts);
    m_checkProgress = new QProgressBar(status);
    m_checkProgress->setObjectName(u"CheckProgress"_s);
    m_checkProgress->setFixedWidth(kTotalPanelWidth);
    m_checkProgress->setFormat(u"%v / %m"_s);
    m_checkProgress->setVisible(false);
    status->addPermanentWidget(m_checkProgress);
    setStatusBar(status);
}

void TAppForm::connectProblemsFilter()
{
    connect(m_problemsOnly, &QCheckBox::toggled, this, &TAppForm::onProblemsOnlyToggled);
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { applyProblemsFilter(first, last); });
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) { applyProblemsFilter(from.row(), to.row()); });
    // A sort moves rows: their hidden state is worked out again for the new order.
    connect(m_model, &QAbstractItemModel::layoutChanged, this,
            [this] { applyProblemsFilter(0, m_model->rowCount() - 1); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_hiddenRows = 0;
        m_checkCounts->clear();
        m_checkCounts->setToolTip({});
    });
}

void TAppForm::onProblemsOnlyToggled(bool on)
{
    if (m_problemsOnlyItem->isChecked() != on) {
        m_problemsOnlyItem->setChecked(on);
    }
    applyProblemsFilter(0, m_model->rowCount() - 1);
    showTotal();
}

void TAppForm::applyProblemsFilter(int first, int last)
{
    const bool on = m_problemsOnly->isChecked();
    const LinkRows &rows = m_model->rows();
    const int hiddenBefore = m_hiddenRows;
    const bool many = last - first > 64;
    if (many) {
        m_list->setUpdatesEnabled(false);
    }
    // A row that the header hid and the model then re-ordered or replaced is counted anew.
    if (first == 0 && last == m_model->rowCount() - 1) {
        m_hiddenRows = 0;
        for (int i = 0; i < m_model->rowCount(); ++i) {
            m_hiddenRows += m_list->isRowHidden(i) ? 1 : 0;
        }
    }
    for (int i = std::max(first, 0); i <= last && i < rows.size(); ++i) {
        const bool hide = (on && hiddenByProblemsFilter(rows[i].verdict)) || !rowMatchesFilter(rows[i], m_filterText);
        if (m_list->isRowHidden(i) != hide) {
            m_list->setRowHidden(i, hide);
            m_hiddenRows += hide ? 1 : -1;
        }
    }
    if (many) {
        m_list->setUpdatesEnabled(true);
    }
    // The total panel changes only with what the filter hides: a collection run still says its
    // count when it ends.
    if (m_hiddenRows != hiddenBefore) {
        showTotal();
    }
}

void TAppForm::showTotal()
{
    const int total = m_model->rowCount();
    QString text = tr("Total Links: %1").arg(total);
    // Either filter (Problems only, the filter box) may hide rows.
    if (m_hiddenRows > 0) {
        text += tr(" (showing %1)").arg(total - m_hiddenRows);
    }
    // The panel keeps its width unless the filtered count needs more.
    const int needed = m_statusTotal->fontMetrics().horizontalAdvance(text) + 8;
    m_statusTotal->setFixedWidth(std::max(kTotalPanelWidth, needed));
    m_statusTotal->setText(text);
}

void TAppForm::showCheckProgress(int done, int total)
{
    m_checkProgress->setRange(0, total);
    m_checkProgress->setValue(done);
    m_checkCounts->setText(tr("%1/%2 checked").arg(done).arg(total));
}

void TAppForm::showCheckSummary()
{
    const QString every = shownCheckSummary(m_model->rows());
    m_checkCounts->setText(shownCheckSummary(m_model->rows(), SummaryParts::Present));
    m_checkCounts->setToolTip(every);
}

} // namespace quorvel
