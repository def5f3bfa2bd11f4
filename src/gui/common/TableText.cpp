#include "gui/common/TableText.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r') {
            c = u' ';
        }
    }
    return text;
}

} // namespace

QList<int> TableText::rowsOf(const QTableView &view, Rows rows)
{
    QList<int> result;
    const QAbstractItemModel *model = view.model();
    if (model == nullptr) {
        return result;
    }
    const QItemSelectionModel *selection = view.selectionModel();
    const QHeaderView *vertical = view.verticalHeader();
    for (int visual = 0; visual < model->rowCount(); ++visual) {
        const int row = vertical->logicalIndex(visual);
        if (row < 0 || view.isRowHidden(row)) {
            continue;
        }
        if (rows == Rows::Selected && (selection == nullptr || !selection->isRowSelected(row, view.rootIndex()))) {
            continue;
        }
        result.append(row);
    }
    return result;
}

QString TableText::of(const QTableView &view, Rows rows)
{
    const QAbstractItemModel *model = view.model();
    if (model == nullptr) {
        return {};
    }
    const QHeaderView *header = view.horizontalHeader();
    QList<int> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (column >= 0 && !header->isSectionHidden(column)) {
            columns.append(column);
        }
    }
    QStringList lines;
    QStringList cells;
    for (int column : columns) {
        cells.append(oneLine(model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()));
    }
    lines.append(cells.join(u'\t'));
    for (int row : rowsOf(view, rows)) {
        cells.clear();
        for (int column : columns) {
            cells.append(oneLine(model->index(row, column, view.rootIndex()).data(Qt::DisplayRole).toString()));
        }
        lines.append(cells.join(u'\t'));
    }
    return lines.join(u'\n') + u'\n';
}

} // namespace quorvel
