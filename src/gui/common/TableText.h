#pragma once

#include <QList>
#include <QString>

QT_BEGIN_NAMESPACE
class QTableView;
QT_END_NAMESPACE

namespace quorvel {

// A table view's rows as tab-separated text for the clipboard: a header line with the column
// titles as shown, then one line per row in the view's order, the columns in the header's order.
// Hidden rows and columns are left out; a tab or line break inside a cell becomes a blank, so a
// row stays one line. Every line ends in "\n". UI thread.
class TableText final
{
public:
    enum class Rows
    {
        Selected, // the selected rows the user sees
        Visible   // every row the user sees
    };

    static QString of(const QTableView &view, Rows rows);
    // The rows of the view (logical numbers) that of() writes, in the view's order.
    static QList<int> rowsOf(const QTableView &view, Rows rows);
};

} // namespace quorvel
