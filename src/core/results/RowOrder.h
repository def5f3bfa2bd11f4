#pragma once

#include "core/model/LinkRow.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace quorvel {

// The text order of the results list: code unit by code unit with only the ASCII letters a-z
// folded to A-Z; a key that is a prefix of the other sorts first. Returns <0, 0 or >0.
int compareSortKeys(QStringView a, QStringView b);

// ListBox1Compare: the order of two rows sorted by column 0 to 5 (0 the link, k the row's k-th
// cell) or 6 (the verdict's word), negated when descending. Columns compare as text, except the
// response time: numbers by value, then any other text, and an empty time last in both directions.
// There is no second key. Any other column compares the links.
int ListBox1Compare(const LinkRow &a, const LinkRow &b, int sortedColumn, bool descending);

// Where a new row goes in rows, which are in ListBox1Compare order already: after every row that
// compares equal, so equal rows keep the order in which they arrived.
qsizetype insertPosition(const LinkRows &rows, const LinkRow &row, int sortedColumn, bool descending);

// The sorted order as a permutation, order[newIndex] = oldIndex. Stable: equal rows keep their
// relative order in both directions.
std::vector<qsizetype> sortedOrder(const LinkRows &rows, int sortedColumn, bool descending);

// Where the rows went when mergeAppendedRows merged new rows into a table.
struct MergeMoves
{
    qsizetype oldCount = 0;
    // For the j-th new row in the merged order: how many old rows are before it. Non-decreasing.
    std::vector<qsizetype> oldRowsBefore;
    // For the appended row oldCount + t: its rank j among the new rows.
    std::vector<qsizetype> rankOfAppended;

    // The row an index had before the merge -> its row after the merge.
    qsizetype finalRow(qsizetype row) const;
};

// rows[0, oldCount) are in ListBox1Compare order, the rows after them newly appended: sorts the
// new rows (stable) and merges them in after the old rows they compare equal to. Costs
// O(k log n) comparisons for k new rows and moves only the old rows that end up behind a new one,
// so a long run of batches into a large sorted table stays cheap.
MergeMoves mergeAppendedRows(LinkRows &rows, qsizetype oldCount, int sortedColumn, bool descending);

// Reorders rows by a permutation from sortedOrder; anything else leaves them unchanged.
void applyOrder(LinkRows &rows, const std::vector<qsizetype> &order);

// Stable sort in ListBox1Compare order.
void sortRows(LinkRows &rows, int sortedColumn, bool descending);

// The sort state of the results list. The window checks that no run or check is going before it
// passes a header click on.
struct SortState
{
    int SortedColumn1 = 0;    // the column sorted by
    bool Descending1 = false; // reversed order
    bool sortedMode = false;  // on from the first header click for the rest of the program's life

    // The same column again reverses the order; another column sorts it ascending. Switches
    // sorted mode on. A column outside 0 to 5 is ignored (returns false).
    bool headerClicked(int column);

    // A collection run starts: its rows arrive ordered by link, in the direction last chosen.
    void runStarted() { SortedColumn1 = 0; }

    friend bool operator==(const SortState &, const SortState &) = default;
};

// The filter box above the list: the row's link or anchor text holds filter, ignoring case (any
// letter, not only A-Z: it is a quick look, not the described Find). An empty filter keeps every row.
bool rowMatchesFilter(const LinkRow &row, const QString &filter);

// Find Next: the first row from FindPosition + 1 (or from the top when that is past the last row)
// whose link or anchor text holds needle, with only A-Z folded to a-z. Returns its index, or -1:
// a press does not wrap, the next one starts at the top. An empty needle never matches.
qsizetype findNextRow(const LinkRows &rows, const QString &needle, qsizetype FindPosition);

} // namespace quorvel
