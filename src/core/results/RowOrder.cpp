#include "core/results/RowOrder.h"

#include "core/common/Text.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace quorvel {

namespace {

bool isColumn(int column)
{
    return column >= 0 && column < LinkRow::kColumnCount;
}

QStringView keyOf(const LinkRow &row, int column)
{
    return isColumn(column) ? QStringView(row.cell(column)) : QStringView(row.link);
}

// The keys of one column, looked up once: a sort of many rows then touches only these views.
std::vector<QStringView> keysOf(const LinkRows &rows, int column)
{
    std::vector<QStringView> keys;
    keys.reserve(static_cast<size_t>(rows.size()));
    for (const LinkRow &row : rows) {
        keys.push_back(keyOf(row, column));
    }
    return keys;
}

// "Row at index a goes before row at index b" for a stable sort; descending swaps the sides.
auto before(const std::vector<QStringView> &keys, bool descending)
{
    return [&keys, descending](qsizetype a, qsizetype b) {
        const QStringView ka = keys[static_cast<size_t>(a)];
        const QStringView kb = keys[static_cast<size_t>(b)];
        return descending ? CompareSortKeys(kb, ka) < 0 : CompareSortKeys(ka, kb) < 0;
    };
}

bool containsFolded(const QString &text, const QString &lowerNeedle)
{
    return asciiLower(text).contains(lowerNeedle);
}

} // namespace

int CompareSortKeys(QStringView a, QStringView b)
{
    const char16_t *pa = a.utf16();
    const char16_t *pb = b.utf16();
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t ca = asciiUpper(pa[i]);
        const char16_t cb = asciiUpper(pb[i]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int ListBox1Compare(const LinkRow &a, const LinkRow &b, int sortedColumn, bool descending)
{
    const int result = CompareSortKeys(keyOf(a, sortedColumn), keyOf(b, sortedColumn));
    return descending ? -result : result;
}

qsizetype InsertPosition(const LinkRows &rows, const LinkRow &row, int sortedColumn, bool descending)
{
    qsizetype low = 0;
    qsizetype high = rows.size();
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (ListBox1Compare(row, rows[middle], sortedColumn, descending) < 0) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

std::vector<qsizetype> SortedOrder(const LinkRows &rows, int sortedColumn, bool descending)
{
    return MergedOrder(rows, 0, sortedColumn, descending);
}

std::vector<qsizetype> MergedOrder(const LinkRows &rows, qsizetype sortedCount, int sortedColumn, bool descending)
{
    sortedCount = std::clamp<qsizetype>(sortedCount, 0, rows.size());
    const std::vector<QStringView> keys = keysOf(rows, sortedColumn);
    std::vector<qsizetype> order(static_cast<size_t>(rows.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    const auto middle = order.begin() + sortedCount;
    std::stable_sort(middle, order.end(), before(keys, descending));
    // inplace_merge is stable: of two equal rows, the old one stays first.
    std::inplace_merge(order.begin(), middle, order.end(), before(keys, descending));
    return order;
}

void ApplyOrder(LinkRows &rows, const std::vector<qsizetype> &order)
{
    if (static_cast<size_t>(rows.size()) != order.size()) {
        return;
    }
    LinkRows reordered;
    reordered.reserve(rows.size());
    for (qsizetype from : order) {
        reordered.append(std::move(rows[from]));
    }
    rows = std::move(reordered);
}

void SortRows(LinkRows &rows, int sortedColumn, bool descending)
{
    ApplyOrder(rows, SortedOrder(rows, sortedColumn, descending));
}

bool SortState::headerClicked(int column)
{
    if (!isColumn(column)) {
        return false;
    }
    if (column == SortedColumn1) {
        Descending1 = !Descending1;
    } else {
        SortedColumn1 = column;
        Descending1 = false;
    }
    sortedMode = true;
    return true;
}

qsizetype FindNextRow(const LinkRows &rows, const QString &needle, qsizetype FindPosition)
{
    if (needle.isEmpty()) {
        return -1;
    }
    qsizetype start = FindPosition + 1;
    if (start >= rows.size() || start < 0) {
        start = 0;
    }
    const QString lowerNeedle = asciiLower(needle);
    for (qsizetype i = start; i < rows.size(); ++i) {
        if (containsFolded(rows[i].link, lowerNeedle) || containsFolded(rows[i].anchorText, lowerNeedle)) {
            return i;
        }
    }
    return -1;
}

} // namespace quorvel
