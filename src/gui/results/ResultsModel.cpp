#include "gui/results/ResultsModel.h"

#include "core/results/CheckResult.h"
#include "gui/common/CoreTexts.h"
#include "gui/common/Icons.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Up to this many rows a sorted-mode batch goes in row by row; beyond it one merge is cheaper
// than moving the table's tail once per row.
constexpr qsizetype kRowByRowLimit = 4;

constexpr int kResponseColumn = 4; // "HTTP Response"
// A status line longer than this shows whole in its tooltip.
constexpr qsizetype kLongResponse = 24;

bool isColumn(int column)
{
    return column >= 0 && column < LinkRow::kListColumnCount;
}

// The verdict's tooltip: every answer of the chain ("301 http://..."), then why.
QString verdictTooltip(const LinkRow &row)
{
    QStringList lines;
    for (const RedirectHop &hop : row.chain) {
        lines << (hop.status > 0 ? QString::number(hop.status) : u"no answer"_s) + u' ' + hop.address;
    }
    if (!row.verdictError.isEmpty()) {
        lines << row.verdictError;
    }
    return lines.join(u'\n');
}

} // namespace

// The colour of a verdict's word: green for a link that works, blue for one that works after a
// redirect, amber for one that answered but not as the page, red for one that fails, grey for one
// not asked.
QColor ResultsModel::verdictColour(Verdict verdict)
{
    // On a dark background the same hues, lighter, so they read as well as on a light one.
    const bool dark = QGuiApplication::palette().color(QPalette::Base).lightness() < 128;
    switch (verdict) {
    case Verdict::Ok:
        return dark ? QColor(0x57, 0xe3, 0x89) : QColor(0x1b, 0x7f, 0x3b);
    case Verdict::Redirected:
        return dark ? QColor(0x78, 0xae, 0xed) : QColor(0x1d, 0x5f, 0xa8);
    case Verdict::Blocked:
    case Verdict::RateLimited:
        return dark ? QColor(0xff, 0xbe, 0x6f) : QColor(0xa8, 0x5d, 0x00);
    case Verdict::Broken:
    case Verdict::Timeout:
    case Verdict::Unreachable:
    case Verdict::FragmentMissing:
        return dark ? QColor(0xf6, 0x61, 0x51) : QColor(0xc0, 0x1c, 0x28);
    case Verdict::Skipped:
    case Verdict::None:
        break;
    }
    return dark ? QColor(0xb0, 0xb0, 0xb0) : QColor(0x6e, 0x6e, 0x6e);
}

ResultsModel::ResultsModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    for (int index : {kIconCollected, kIconOk, kIconRedirect, kIconBroken}) {
        m_icons.insert(index, rowIcon(index));
    }
    m_blankIcon = blankIcon();
}

QString ResultsModel::columnCaption(int column)
{
    switch (column) {
    case 0:
        return tr("Link");
    case 1:
        return tr("Follow");
    case 2:
        return tr("Type");
    case 3:
        return tr("Anchor Text");
    case 4:
        return tr("HTTP Response");
    case 5:
        return tr("Response Time (ms)");
    case LinkRow::kVerdictColumn:
        return tr("Verdict");
    default:
        return {};
    }
}

int ResultsModel::columnWidth(int column)
{
    switch (column) {
    case 1:
    case 2:
        return 100;
    case 4:
    case 5:
        return 120;
    case LinkRow::kVerdictColumn:
        return 110;
    default:
        return 0;
    }
}

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : LinkRow::kListColumnCount;
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const LinkRow &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == LinkRow::kVerdictColumn) {
            return shownVerdict(row.verdict);
        }
        return row.cell(index.column());
    case Qt::ForegroundRole:
        if (index.column() == LinkRow::kVerdictColumn && row.verdict != Verdict::None) {
            return verdictColour(row.verdict);
        }
        return {};
    case Qt::DecorationRole:
        if (index.column() == 0) {
            const auto icon = m_icons.constFind(row.icon);
            return icon != m_icons.constEnd() ? *icon : m_blankIcon;
        }
        return {};
    case Qt::ToolTipRole:
        if (index.column() == kResponseColumn && !row.checkError.isEmpty()) {
            return row.checkError;
        }
        if (index.column() == kResponseColumn && row.response.size() > kLongResponse) {
            return row.response;
        }
        if (index.column() == LinkRow::kVerdictColumn && row.verdict != Verdict::None) {
            const QString tip = verdictTooltip(row);
            return tip.isEmpty() ? QVariant() : QVariant(tip);
        }
        return {};
    default:
        return {};
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && isColumn(section)) {
        return columnCaption(section);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex &index) const
{
    // Whole rows are selected and nothing is edited in place.
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

void ResultsModel::appendRows(const LinkRows &rows)
{
    if (rows.isEmpty()) {
        return;
    }
    if (m_sort.sortedMode && rows.size() <= kRowByRowLimit) {
        for (const LinkRow &row : rows) {
            const auto at = static_cast<int>(insertPosition(m_rows, row, m_sort.SortedColumn1, m_sort.Descending1));
            beginInsertRows(QModelIndex(), at, at);
            m_rows.insert(at, row);
            endInsertRows();
        }
        return;
    }
    const qsizetype oldCount = m_rows.size();
    beginInsertRows(QModelIndex(), static_cast<int>(oldCount), static_cast<int>(oldCount + rows.size() - 1));
    m_rows.append(rows);
    endInsertRows();
    if (!m_sort.sortedMode) {
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    const MergeMoves moves = mergeAppendedRows(m_rows, oldCount, m_sort.SortedColumn1, m_sort.Descending1);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &old : before) {
        after.append(index(static_cast<int>(moves.finalRow(old.row())), old.column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ResultsModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void ResultsModel::setCheckResult(int row, const QString &response, const QString &responseTime, int icon,
                                  const QString &error)
{
    if (row < 0 || row >= m_rows.size()) {
        return;
    }
    LinkRow &target = m_rows[row];
    target.response = response;
    target.responseTime = responseTime;
    target.icon = icon;
    target.checkError = error;
    Q_EMIT dataChanged(index(row, 0), index(row, LinkRow::kListColumnCount - 1),
                       {Qt::DisplayRole, Qt::DecorationRole, Qt::ToolTipRole, Qt::ForegroundRole});
}

void ResultsModel::setCheckResult(int row, const TURLStatus &status)
{
    if (row < 0 || row >= m_rows.size()) {
        return;
    }
    applyCheckResult(m_rows[row], status);
    Q_EMIT dataChanged(index(row, 0), index(row, LinkRow::kListColumnCount - 1),
                       {Qt::DisplayRole, Qt::DecorationRole, Qt::ToolTipRole, Qt::ForegroundRole});
}

void ResultsModel::resetCheckCells()
{
    if (m_rows.isEmpty()) {
        return;
    }
    for (LinkRow &row : m_rows) {
        row.icon = kIconNone;
        row.response.clear();
        row.responseTime.clear();
        row.checkError.clear();
        row.verdict = Verdict::None;
        row.finalStatus = 0;
        row.hops = 0;
        row.finalUrl.clear();
        row.verdictError.clear();
        row.chain.clear();
    }
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, LinkRow::kListColumnCount - 1),
                       {Qt::DisplayRole, Qt::DecorationRole, Qt::ToolTipRole, Qt::ForegroundRole});
}

void ResultsModel::headerClicked(int column)
{
    if (!m_sort.headerClicked(column)) {
        return;
    }
    reorder(sortedOrder(m_rows, m_sort.SortedColumn1, m_sort.Descending1));
    Q_EMIT sortChanged();
}

void ResultsModel::setSortState(const SortState &state)
{
    if (!isColumn(state.SortedColumn1) || state == m_sort) {
        return;
    }
    m_sort = state;
    if (m_sort.sortedMode && m_rows.size() > 1) {
        reorder(sortedOrder(m_rows, m_sort.SortedColumn1, m_sort.Descending1));
    }
    Q_EMIT sortChanged();
}

void ResultsModel::runStarted()
{
    const SortState before = m_sort;
    m_sort.runStarted();
    if (m_sort != before) {
        Q_EMIT sortChanged();
    }
    // A run clears the table first; should rows be left, they are put in the order that the run's
    // rows are merged by.
    if (m_sort.sortedMode && m_rows.size() > 1) {
        reorder(sortedOrder(m_rows, m_sort.SortedColumn1, m_sort.Descending1));
    }
}

void ResultsModel::reorder(const std::vector<qsizetype> &order)
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Persistent indexes are read after the signal: views store theirs in answer to it.
    const QModelIndexList before = persistentIndexList();
    std::vector<int> newRowOf(order.size());
    for (size_t position = 0; position < order.size(); ++position) {
        newRowOf[static_cast<size_t>(order[position])] = static_cast<int>(position);
    }
    applyOrder(m_rows, order);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &old : before) {
        after.append(index(newRowOf[static_cast<size_t>(old.row())], old.column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace quorvel
