#pragma once

#include <QStyledItemDelegate>

namespace quorvel {

// Draws the results list's cells: the Link column cut in the middle (the host and the file name
// stay readable), the others at the end. A cell whose text does not fit shows it whole in its
// tooltip, together with the model's own tooltip (a check's reason for no answer, a verdict's
// chain); a cell that fits shows only the model's tooltip, and none when that would merely repeat
// the cell. UI thread.
class ResultsDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultsDelegate)

public:
    explicit ResultsDelegate(QObject *parent = nullptr);

    // The options the cell is drawn with in view: its font, icon size, rectangle and elide mode.
    QStyleOptionViewItem cellOption(const QAbstractItemView &view, const QModelIndex &index) const;
    // The tooltip of a cell as the view shows it now; empty for none.
    QString cellToolTip(const QAbstractItemView &view, const QModelIndex &index) const;
    // Where the cell's text is drawn in the view's viewport, after the icon's place.
    QRect textRect(const QAbstractItemView &view, const QModelIndex &index) const;
    // Whether the cell's text is wider than its place.
    bool isTextCut(const QAbstractItemView &view, const QModelIndex &index) const;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

} // namespace quorvel
