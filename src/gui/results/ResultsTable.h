#pragma once

#include <QObject>

#include <optional>

QT_BEGIN_NAMESPACE
class QTableView;
QT_END_NAMESPACE

namespace quorvel {

class ResultsDelegate;
class ResultsModel;

// The results list's view behaviour that the model cannot give: several rows selected at once,
// Ctrl+C and "Copy All" as tab-separated text, the sort arrow in the header following the model's
// sort state, and the cell drawing and tooltips of ResultsDelegate. Rows the view hides (a filter)
// are neither copied nor taken as the current row. Lives on the UI thread, as the view's child.
class ResultsTable final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultsTable)

public:
    ResultsTable(QTableView *view, ResultsModel *model);

    ResultsDelegate *delegate() const { return m_delegate; }

    // The row a one-row command acts on: the current row when it is selected and shown, else the
    // first selected row shown; none without a selection.
    std::optional<int> currentRow() const;
    // The selected rows the user sees (Ctrl+C), or all of them ("Copy All"), with a header line.
    QString selectedRowsText() const;
    QString allRowsText() const;
    void copySelectedRows() const;
    void copyAllRows() const;
    // Shows the model's sort column and direction in the header; no arrow before the first sort.
    void showSortState();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableView *m_view = nullptr;
    ResultsModel *m_model = nullptr;
    ResultsDelegate *m_delegate = nullptr;
};

} // namespace quorvel
