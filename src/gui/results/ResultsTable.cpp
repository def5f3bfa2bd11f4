#include "gui/results/ResultsTable.h"

#include "gui/common/TableText.h"
#include "gui/results/ResultsDelegate.h"
#include "gui/results/ResultsModel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>

namespace quorvel {

ResultsTable::ResultsTable(QTableView *view, ResultsModel *model)
    : QObject(view)
    , m_view(view)
    , m_model(model)
    , m_delegate(new ResultsDelegate(view))
{
    m_view->setItemDelegate(m_delegate);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The Link column's delegate cuts in the middle; the view's own mode covers the rest.
    m_view->setTextElideMode(Qt::ElideRight);
    m_view->installEventFilter(this);
    // The header turns its arrow itself on a click, also on one the window ignores during a run:
    // the model's state is shown again after every click.
    connect(m_view->horizontalHeader(), &QHeaderView::sectionClicked, this, &ResultsTable::showSortState);
    connect(m_model, &ResultsModel::sortChanged, this, &ResultsTable::showSortState);
    showSortState();
}

std::optional<int> ResultsTable::currentRow() const
{
    const QModelIndex current = m_view->currentIndex();
    if (current.isValid() && !m_view->isRowHidden(current.row()) &&
        m_view->selectionModel()->isRowSelected(current.row(), QModelIndex())) {
        return current.row();
    }
    const QList<int> rows = TableText::rowsOf(*m_view, TableText::Rows::Selected);
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return rows.first();
}

QString ResultsTable::selectedRowsText() const
{
    return TableText::of(*m_view, TableText::Rows::Selected);
}

QString ResultsTable::allRowsText() const
{
    return TableText::of(*m_view, TableText::Rows::Visible);
}

void ResultsTable::copySelectedRows() const
{
    // Nothing selected leaves the clipboard as it was.
    if (!TableText::rowsOf(*m_view, TableText::Rows::Selected).isEmpty()) {
        QGuiApplication::clipboard()->setText(selectedRowsText());
    }
}

void ResultsTable::copyAllRows() const
{
    QGuiApplication::clipboard()->setText(allRowsText());
}

void ResultsTable::showSortState()
{
    QHeaderView *header = m_view->horizontalHeader();
    const SortState &sort = m_model->sortState();
    const QSignalBlocker blocker(header);
    header->setSortIndicatorShown(sort.sortedMode);
    header->setSortIndicator(sort.sortedMode ? sort.SortedColumn1 : -1,
                             sort.Descending1 ? Qt::DescendingOrder : Qt::AscendingOrder);
    header->viewport()->update();
}

bool ResultsTable::eventFilter(QObject *watched, QEvent *event)
{
    // The view would copy only the current cell's text; the list copies whole rows.
    if (watched == m_view && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Copy)) {
            if (event->type() == QEvent::KeyPress) {
                copySelectedRows();
            }
            event->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quorvel
