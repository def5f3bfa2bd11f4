#include "gui/results/ResultsDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

constexpr int kLinkColumn = 0;

} // namespace

ResultsDelegate::ResultsDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{}

void ResultsDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = index.column() == kLinkColumn ? Qt::ElideMiddle : Qt::ElideRight;
}

QStyleOptionViewItem ResultsDelegate::cellOption(const QAbstractItemView &view, const QModelIndex &index) const
{
    // What the view hands to paint(): its font, palette, icon size and the cell's rectangle.
    QStyleOptionViewItem option;
    option.initFrom(view.viewport());
    option.widget = &view;
    option.font = view.font();
    option.fontMetrics = QFontMetrics(option.font);
    option.decorationSize = view.iconSize().isValid()
                                ? view.iconSize()
                                : QSize(view.style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, &view),
                                        view.style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, &view));
    option.decorationPosition = QStyleOptionViewItem::Left;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.showDecorationSelected = true;
    option.rect = view.visualRect(index);
    initStyleOption(&option, index);
    return option;
}

QRect ResultsDelegate::textRect(const QAbstractItemView &view, const QModelIndex &index) const
{
    const QStyleOptionViewItem option = cellOption(view, index);
    const QStyle *style = view.style();
    return style->subElementRect(QStyle::SE_ItemViewItemText, &option, &view);
}

bool ResultsDelegate::isTextCut(const QAbstractItemView &view, const QModelIndex &index) const
{
    const QStyleOptionViewItem option = cellOption(view, index);
    if (option.text.isEmpty()) {
        return false;
    }
    const QStyle *style = view.style();
    const QRect rect = style->subElementRect(QStyle::SE_ItemViewItemText, &option, &view);
    // The style keeps a margin on either side of the text inside that rectangle.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return option.fontMetrics.horizontalAdvance(option.text) > rect.width() - 2 * margin;
}

QString ResultsDelegate::cellToolTip(const QAbstractItemView &view, const QModelIndex &index) const
{
    if (!index.isValid()) {
        return {};
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    QString own = index.data(Qt::ToolTipRole).toString();
    if (own == text) {
        // A tooltip that only repeats the cell (a long status line) is shown only when it is cut.
        own.clear();
    }
    if (!isTextCut(view, index)) {
        return own;
    }
    return own.isEmpty() ? text : text + u'\n' + own;
}

bool ResultsDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                const QModelIndex &index)
{
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const QString tip = cellToolTip(*view, index);
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
    return true;
}

} // namespace quorvel
