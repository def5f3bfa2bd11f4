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
    if (column == LinkRow::kVerdictColumn) {
        return verdictWord(row.verdict);
    }
    return isColumn(column) ? QStringView(row.cell(column)) : QStringView(row.link);
}

// The keys of one column with a-z already folded, in one buffer. Folded keys compare with Qt's
// plain code-unit comparison, which is vectorised; links that share a long prefix would otherwise
// fold the same characters again in every comparison of a sort.
class FoldedKeys
{
public:
    FoldedKeys(const LinkRows &rows, int column)
    {
        qsizetype total = 0;
        for (const LinkRow &row : rows) {
            total += keyOf(row, column).size();
        }
        m_buffer.reserve(static_cast<size_t>(total));
        m_starts.reserve(static_cast<size_t>(rows.size()) + 1);
        for (const LinkRow &row : rows) {
            m_starts.push_back(static_cast<qsizetype>(m_buffer.size()));
            for (QChar c : keyOf(row, column)) {
                m_buffer.push_back(asciiUpper(c.unicode()));
            }
        }
        m_starts.push_back(static_cast<qsizetype>(m_buffer.size()));
    }

    QStringView at(qsizetype index) const
    {
        const auto i = static_cast<size_t>(index);
        return {m_buffer.data() + m_starts[i], m_starts[i + 1] - m_starts[i]};
    }

private:
    std::vector<char16_t> m_buffer;
    std::vector<qsizetype> m_starts;
};

bool containsFolded(const QString &text, const QString &lowerNeedle)
{
    return asciiLower(text).contains(lowerNeedle);
}

constexpr int kResponseTimeColumn = 5;

// A response time as the sort sees it: a number of milliseconds, some other text, or nothing.
struct TimeKey
{
    enum class Kind
    {
        Number,
        Text,
        Empty
    };
    Kind kind = Kind::Empty;
    qlonglong ms = 0;
};

TimeKey timeKeyOf(const LinkRow &row)
{
    const QString text = trimControl(row.responseTime);
    if (text.isEmpty()) {
        return {};
    }
    bool ok = false;
    const qlonglong ms = text.toLongLong(&ok);
    return ok ? TimeKey{TimeKey::Kind::Number, ms} : TimeKey{TimeKey::Kind::Text, 0};
}

// Numbers by value, then other texts by the text order; a row not checked (no time) goes last in
// both directions, so the times stay at the top whichever way the column is sorted.
int compareTimes(const LinkRow &a, const LinkRow &b, const TimeKey &ka, const TimeKey &kb, bool descending)
{
    const bool emptyA = ka.kind == TimeKey::Kind::Empty;
    const bool emptyB = kb.kind == TimeKey::Kind::Empty;
    if (emptyA || emptyB) {
        return static_cast<int>(emptyA) - static_cast<int>(emptyB);
    }
    int result = 0;
    if (ka.kind != kb.kind) {
        result = ka.kind == TimeKey::Kind::Number ? -1 : 1;
    } else if (ka.kind == TimeKey::Kind::Number) {
        result = ka.ms < kb.ms ? -1 : (ka.ms > kb.ms ? 1 : 0);
    } else {
        result = compareSortKeys(a.responseTime, b.responseTime);
    }
    return descending ? -result : result;
}

} // namespace

int compareSortKeys(QStringView a, QStringView b)
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
    if (sortedColumn == kResponseTimeColumn) {
        return compareTimes(a, b, timeKeyOf(a), timeKeyOf(b), descending);
    }
    const int result = compareSortKeys(keyOf(a, sortedColumn), keyOf(b, sortedColumn));
    return descending ? -result : result;
}

qsizetype insertPosition(const LinkRows &rows, const LinkRow &row, int sortedColumn, bool descending)
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

std::vector<qsizetype> sortedOrder(const LinkRows &rows, int sortedColumn, bool descending)
{
    std::vector<qsizetype> order(static_cast<size_t>(rows.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    if (sortedColumn == kResponseTimeColumn) {
        std::vector<TimeKey> times;
        times.reserve(order.size());
        for (const LinkRow &row : rows) {
            times.push_back(timeKeyOf(row));
        }
        std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
            const auto ia = static_cast<size_t>(a);
            const auto ib = static_cast<size_t>(b);
            return compareTimes(rows[a], rows[b], times[ia], times[ib], descending) < 0;
        });
        return order;
    }
    const FoldedKeys keys(rows, sortedColumn);
    // Folded keys compare case-sensitively: code unit by code unit, the shorter prefix first.
    std::stable_sort(order.begin(), order.end(), [&keys, descending](qsizetype a, qsizetype b) {
        const int result = keys.at(a).compare(keys.at(b), Qt::CaseSensitive);
        return descending ? result > 0 : result < 0;
    });
    return order;
}

qsizetype MergeMoves::finalRow(qsizetype row) const
{
    if (row < oldCount) {
        // Every new row placed before old row `row` has at most `row` old rows before it.
        return row + (std::upper_bound(oldRowsBefore.begin(), oldRowsBefore.end(), row) - oldRowsBefore.begin());
    }
    const auto appended = static_cast<size_t>(row - oldCount);
    if (appended >= rankOfAppended.size()) {
        return row;
    }
    const auto rank = static_cast<size_t>(rankOfAppended[appended]);
    return oldRowsBefore[rank] + static_cast<qsizetype>(rank);
}

MergeMoves mergeAppendedRows(LinkRows &rows, qsizetype oldCount, int sortedColumn, bool descending)
{
    MergeMoves moves;
    oldCount = std::clamp<qsizetype>(oldCount, 0, rows.size());
    moves.oldCount = oldCount;
    const qsizetype newCount = rows.size() - oldCount;
    if (newCount == 0) {
        return moves;
    }

    // The new rows in order (stable), and for each the number of old rows that go before it.
    std::vector<qsizetype> byRank(static_cast<size_t>(newCount));
    std::iota(byRank.begin(), byRank.end(), oldCount);
    const LinkRows &table = std::as_const(rows);
    std::stable_sort(byRank.begin(), byRank.end(), [&](qsizetype a, qsizetype b) {
        return ListBox1Compare(table[a], table[b], sortedColumn, descending) < 0;
    });
    moves.rankOfAppended.resize(static_cast<size_t>(newCount));
    moves.oldRowsBefore.reserve(static_cast<size_t>(newCount));
    qsizetype low = 0;
    for (size_t rank = 0; rank < byRank.size(); ++rank) {
        const LinkRow &row = table[byRank[rank]];
        // Sorted new rows land at non-decreasing places: each search starts where the last ended.
        qsizetype high = oldCount;
        while (low < high) {
            const qsizetype middle = low + (high - low) / 2;
            if (ListBox1Compare(row, table[middle], sortedColumn, descending) < 0) {
                high = middle;
            } else {
                low = middle + 1;
            }
        }
        moves.oldRowsBefore.push_back(low);
        moves.rankOfAppended[static_cast<size_t>(byRank[rank] - oldCount)] = static_cast<qsizetype>(rank);
    }

    // Merge from the back: old rows move up past the new rows that go before them; the old rows
    // in front of the first new row stay where they are.
    LinkRow *data = rows.data();
    std::vector<LinkRow> incoming;
    incoming.reserve(byRank.size());
    for (qsizetype from : byRank) {
        incoming.push_back(std::move(data[from]));
    }
    qsizetype write = rows.size() - 1;
    qsizetype old = oldCount - 1;
    for (auto rank = static_cast<qsizetype>(incoming.size()) - 1; rank >= 0; --rank) {
        const qsizetype before = moves.oldRowsBefore[static_cast<size_t>(rank)];
        while (old >= before) {
            data[write--] = std::move(data[old--]);
        }
        data[write--] = std::move(incoming[static_cast<size_t>(rank)]);
    }
    return moves;
}

void applyOrder(LinkRows &rows, const std::vector<qsizetype> &order)
{
    // Anything but a permutation of the rows leaves them as they are.
    if (static_cast<size_t>(rows.size()) != order.size()) {
        return;
    }
    std::vector<bool> seen(order.size());
    for (qsizetype from : order) {
        if (from < 0 || from >= rows.size() || seen[static_cast<size_t>(from)]) {
            return;
        }
        seen[static_cast<size_t>(from)] = true;
    }
    LinkRows reordered;
    reordered.reserve(rows.size());
    LinkRow *data = rows.data();
    for (qsizetype from : order) {
        reordered.append(std::move(data[from]));
    }
    rows = std::move(reordered);
}

void sortRows(LinkRows &rows, int sortedColumn, bool descending)
{
    applyOrder(rows, sortedOrder(rows, sortedColumn, descending));
}

bool SortState::headerClicked(int column)
{
    if (!isColumn(column) && column != LinkRow::kVerdictColumn) {
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

bool rowMatchesFilter(const LinkRow &row, const QString &filter)
{
    return filter.isEmpty() || row.link.contains(filter, Qt::CaseInsensitive) ||
           row.anchorText.contains(filter, Qt::CaseInsensitive);
}

qsizetype findNextRow(const LinkRows &rows, const QString &needle, qsizetype FindPosition)
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
