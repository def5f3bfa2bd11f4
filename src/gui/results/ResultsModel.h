#pragma once

#include "core/model/LinkRow.h"
#include "core/results/RowOrder.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QIcon>

#include <vector>

namespace quorvel {

struct TURLStatus;

// The rows of the results list (ListBox1) as a table: the link and its five cells as text in six
// columns, the row's icon beside the link, and the check's verdict in a seventh (its word in its
// colour; the redirect chain and the reason in its tooltip). Owns the sort state: once a header was clicked
// (sorted mode), appended rows take their place by the current order. A row without a picture
// gets a blank one of the same size, so every link starts at the same place. Selections and other
// persistent indexes follow their rows through every re-ordering. UI thread.
class ResultsModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultsModel)

public:
    explicit ResultsModel(QObject *parent = nullptr);

    // "Link", "Follow", "Type", "Anchor Text", "HTTP Response", "Response Time (ms)", "Verdict".
    static QString columnCaption(int column);
    // The fixed width of a column in pixels; 0 for Link and Anchor Text, which share the rest.
    static int columnWidth(int column);
    // The colour of a verdict's word: green for a link that works, blue after a redirect, amber for
    // an answer that is not the page, red for a failure, grey for a link not asked.
    static QColor verdictColour(Verdict verdict);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The rows in display order (index = display position), e.g. for the export or a check pass.
    const LinkRows &rows() const { return m_rows; }

    const SortState &sortState() const { return m_sort; }

    // Adds a batch of a collection run: at the end, or in sorted mode each row after the rows it
    // compares equal to. In sorted mode a batch of a few rows goes in row by row; a larger one is
    // inserted at the end and then merged in with one layout change (O(k log n) comparisons).
    void appendRows(const LinkRows &rows);
    // Removes every row; the sort state stays.
    void clear();
    // One result of the broken-link check: the "HTTP Response" and "Response Time (ms)" cells and
    // the icon, and why no answer came (the tooltip of the "HTTP Response" cell; empty when one
    // came). Never re-sorts. An index out of range is ignored.
    void setCheckResult(int row, const QString &response, const QString &responseTime, int icon,
                        const QString &error = QString());
    // The same for a result as the check reports it (see applyCheckResult).
    void setCheckResult(int row, const TURLStatus &status);
    // The start of a check pass: no icon, empty check cells, no reason and no verdict in every row.
    void resetCheckCells();
    // A header click the window let through (no run or check going): same column reverses, another
    // sorts ascending; sorts the whole table. A column out of range is ignored.
    void headerClicked(int column);
    // A collection run starts: sorting goes back to the link column, direction and mode stay.
    void runStarted();
    // A sort state remembered from an earlier session: sorts the rows by it. A column out of range
    // is ignored.
    void setSortState(const SortState &state);

Q_SIGNALS:
    // The sort column, direction or mode changed (a header click, a run start, a restored state).
    void sortChanged();

private:
    void reorder(const std::vector<qsizetype> &order);

    LinkRows m_rows;
    SortState m_sort;
    QHash<int, QIcon> m_icons;
    QIcon m_blankIcon;
};

} // namespace quorvel
