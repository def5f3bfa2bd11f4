#include "core/results/RowOrder.h"

#include "support/Fixtures.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

LinkRow row(const QString &link, const QString &follow = QString(), const QString &type = QString(),
            const QString &anchor = QString(), const QString &response = QString(), const QString &time = QString())
{
    return LinkRow{link, follow, type, anchor, response, time, kIconCollected};
}

QStringList linksOf(const LinkRows &rows)
{
    QStringList links;
    for (const LinkRow &r : rows) {
        links.append(r.link);
    }
    return links;
}

// A fixed pseudo-random table with many equal keys, for the order properties.
LinkRows scrambledRows(int count)
{
    LinkRows rows;
    quint32 state = 12345;
    for (int i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        const QString key = QString::number((state >> 16) % 23);
        // Letters either side of the folding, accents and a character beyond 16 bits.
        static const QString kTails[] = {u"a"_s,      u"A"_s,      u"_"_s,          u"["_s,   u"\u00E9"_s,
                                         u"\u00C9"_s, u"\uFF5E"_s, u"\U0001F600"_s, QString()};
        const QString tail = kTails[(state >> 4) % std::size(kTails)];
        // Times: mostly numbers, some rows not checked, a few with a text that is not a number.
        const quint32 pick = (state >> 8) % 1200;
        const QString time = pick % 11 == 0 ? QString() : pick % 17 == 0 ? u"n/a"_s : QString::number(pick);
        rows.append(
            row(u"L%1"_s.arg(i), key, (state & 0x100) ? u"internal"_s : u"INTERNAL"_s, key + tail, QString(), time));
    }
    return rows;
}

// The rows sorted the plain way: each pair by ListBox1Compare, ties by arrival.
QStringList referenceOrder(LinkRows rows, int column, bool descending)
{
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const LinkRow &a, const LinkRow &b) { return ListBox1Compare(a, b, column, descending) < 0; });
    return linksOf(rows);
}

} // namespace

TEST(RowOrder, KeysCompareAsFoldedCodeUnits)
{
    struct Case
    {
        const char *name;
        QString a;
        QString b;
        int sign;
    };

    const std::vector<Case> cases = {
        {"ASCII letters fold", u"abc"_s, u"ABC"_s, 0},
        {"accented letters do not", u"\u00E9"_s, u"\u00C9"_s, 1},
        {"first difference decides", u"abd"_s, u"ABCz"_s, 1},
        {"prefix first", u"ab"_s, u"ABC"_s, -1},
        {"empty first", u""_s, u"a"_s, -1},
        {"both empty", u""_s, u""_s, 0},
        {"digits as text", u"1000"_s, u"200"_s, -1},
        {"200 before 95", u"200"_s, u"95"_s, -1},
        {"folding goes to capitals: '_' after 'a'", u"_"_s, u"a"_s, 1},
        {"'[' after 'a' too", u"["_s, u"a"_s, 1},
        {"'@' before 'a'", u"@"_s, u"a"_s, -1},
        {"code units, not code points", u"\uFF5E"_s, u"\U0001F600"_s, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int forward = compareSortKeys(c.a, c.b);
        EXPECT_EQ((forward > 0) - (forward < 0), c.sign);
        const int backward = compareSortKeys(c.b, c.a);
        EXPECT_EQ((backward > 0) - (backward < 0), -c.sign);
    }
}

TEST(RowOrder, SortsByOneColumnAsText)
{
    const LinkRows rows = {
        row(u"http://b.com/"_s, u"dofollow"_s, u"Internal"_s, u"zeta"_s, u"HTTP/1.1 404 Not Found"_s, u"95"_s),
        row(u"http://A.com/"_s, u"NOFOLLOW"_s, u"External"_s, u"Alpha"_s, u"HTTP/1.1 200 OK"_s, u"1000"_s),
        row(u"http://c.com/"_s, u"dofollow"_s, u"Internal"_s, u"alpha"_s, QString(), u"200"_s),
        row(u"http://a.com/x"_s, u"UGC"_s, u"External"_s, u"\u00E9t\u00E9"_s, u"EMAIL"_s, QString()),
    };

    struct Case
    {
        const char *name;
        int column;
        bool descending;
        QStringList links;
    };

    const std::vector<Case> cases = {
        {"link ascending, case folded",
         0,
         false,
         {u"http://A.com/"_s, u"http://a.com/x"_s, u"http://b.com/"_s, u"http://c.com/"_s}},
        {"link descending", 0, true, {u"http://c.com/"_s, u"http://b.com/"_s, u"http://a.com/x"_s, u"http://A.com/"_s}},
        {"follow: equal keys keep their order",
         1,
         false,
         {u"http://b.com/"_s, u"http://c.com/"_s, u"http://A.com/"_s, u"http://a.com/x"_s}},
        {"follow descending: equal keys still keep their order",
         1,
         true,
         {u"http://a.com/x"_s, u"http://A.com/"_s, u"http://b.com/"_s, u"http://c.com/"_s}},
        {"type", 2, false, {u"http://A.com/"_s, u"http://a.com/x"_s, u"http://b.com/"_s, u"http://c.com/"_s}},
        {"anchor: Alpha equals alpha, accents last",
         3,
         false,
         {u"http://A.com/"_s, u"http://c.com/"_s, u"http://b.com/"_s, u"http://a.com/x"_s}},
        {"response: empty first",
         4,
         false,
         {u"http://c.com/"_s, u"http://a.com/x"_s, u"http://A.com/"_s, u"http://b.com/"_s}},
        {"response time by number: 95, 200, 1000, then no time",
         5,
         false,
         {u"http://b.com/"_s, u"http://c.com/"_s, u"http://A.com/"_s, u"http://a.com/x"_s}},
        {"response time descending: 1000, 200, 95, no time still last",
         5,
         true,
         {u"http://A.com/"_s, u"http://c.com/"_s, u"http://b.com/"_s, u"http://a.com/x"_s}},
        {"a column out of range sorts by link",
         9,
         false,
         {u"http://A.com/"_s, u"http://a.com/x"_s, u"http://b.com/"_s, u"http://c.com/"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LinkRows sorted = rows;
        sortRows(sorted, c.column, c.descending);
        EXPECT_EQ(linksOf(sorted), c.links);
    }
}

TEST(RowOrder, HeaderClicksAndRunReset)
{
    struct Case
    {
        const char *name;
        std::vector<int> clicks;
        bool runStartsAfter;
        SortState expected;
    };

    const std::vector<Case> cases = {
        {"at start", {}, false, {0, false, false}},
        {"Link first sorts descending", {0}, false, {0, true, true}},
        {"Type once ascending", {2}, false, {2, false, true}},
        {"Type twice reverses", {2, 2}, false, {2, true, true}},
        {"Type twice, then Link ascending", {2, 2, 0}, false, {0, false, true}},
        {"three clicks come back ascending", {2, 2, 2}, false, {2, false, true}},
        {"the verdict column sorts too", {6}, false, {6, false, true}},
        {"a column out of range is ignored", {7, -1}, false, {0, false, false}},
        {"run start: back to the link, direction and mode kept", {1, 1}, true, {0, true, true}},
        {"run start before any click", {}, true, {0, false, false}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SortState state;
        for (int column : c.clicks) {
            state.headerClicked(column);
        }
        if (c.runStartsAfter) {
            state.runStarted();
        }
        EXPECT_EQ(state.SortedColumn1, c.expected.SortedColumn1);
        EXPECT_EQ(state.Descending1, c.expected.Descending1);
        EXPECT_EQ(state.sortedMode, c.expected.sortedMode);
    }

    // Follow descending, then a new run: its rows arrive by link, descending.
    SortState state;
    state.headerClicked(1);
    state.headerClicked(1);
    state.runStarted();
    LinkRows table;
    for (const QString &link : {u"http://m.com/"_s, u"http://a.com/"_s, u"http://z.com/"_s}) {
        const LinkRow r = row(link, u"dofollow"_s);
        table.insert(insertPosition(table, r, state.SortedColumn1, state.Descending1), r);
    }
    EXPECT_EQ(linksOf(table), (QStringList{u"http://z.com/"_s, u"http://m.com/"_s, u"http://a.com/"_s}));
}

TEST(RowOrder, InsertPositionGoesAfterEqualKeys)
{
    const LinkRows ascending = {row(u"a"_s), row(u"B"_s), row(u"b"_s), row(u"c"_s)};
    const LinkRows descending = {row(u"c"_s), row(u"B"_s), row(u"b"_s), row(u"a"_s)};

    struct Case
    {
        const char *name;
        const LinkRows *rows;
        QString link;
        bool descending;
        qsizetype position;
    };

    const std::vector<Case> cases = {
        {"before all", &ascending, u""_s, false, 0},
        {"after equal keys of either case", &ascending, u"B"_s, false, 3},
        {"between", &ascending, u"bb"_s, false, 3},
        {"after all", &ascending, u"d"_s, false, 4},
        {"descending, after equal keys", &descending, u"b"_s, true, 3},
        {"descending, first", &descending, u"d"_s, true, 0},
        {"descending, last", &descending, u""_s, true, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(insertPosition(*c.rows, row(c.link), 0, c.descending), c.position);
    }
    EXPECT_EQ(insertPosition(LinkRows(), row(u"x"_s), 0, false), 0);
}

TEST(RowOrder, InsertingMergingAndSortingAgree)
{
    const LinkRows rows = scrambledRows(500);
    for (int column = 0; column < LinkRow::kColumnCount; ++column) {
        for (bool descending : {false, true}) {
            SCOPED_TRACE(testing::Message() << "column " << column << (descending ? " descending" : " ascending"));
            const QStringList expected = referenceOrder(rows, column, descending);

            LinkRows sorted = rows;
            sortRows(sorted, column, descending);
            EXPECT_EQ(linksOf(sorted), expected);

            LinkRows inserted;
            for (const LinkRow &r : rows) {
                inserted.insert(insertPosition(inserted, r, column, descending), r);
            }
            EXPECT_EQ(linksOf(inserted), expected);

            // Sorted prefixes of several sizes, then the rest appended in arrival order.
            for (qsizetype prefix : {qsizetype(0), qsizetype(1), qsizetype(137), qsizetype(499), qsizetype(500)}) {
                SCOPED_TRACE(testing::Message() << "prefix " << prefix);
                LinkRows merged = rows.first(prefix);
                sortRows(merged, column, descending);
                merged.append(rows.sliced(prefix));
                const LinkRows beforeMerge = merged;
                const MergeMoves moves = mergeAppendedRows(merged, prefix, column, descending);
                // Old rows before equal new ones: arrival order again, since the old rows came first.
                EXPECT_EQ(linksOf(merged), expected);
                // Every row can be followed to its new place.
                for (qsizetype i = 0; i < beforeMerge.size(); ++i) {
                    ASSERT_EQ(merged[moves.finalRow(i)].link, beforeMerge[i].link) << "row " << i;
                }
            }
        }
    }
}

TEST(RowOrder, ApplyOrderTakesOnlyAPermutation)
{
    const LinkRows rows = {row(u"a"_s), row(u"b"_s), row(u"c"_s)};

    struct Case
    {
        const char *name;
        std::vector<qsizetype> order;
        QStringList links;
    };

    const std::vector<Case> cases = {
        {"permutation", {2, 0, 1}, {u"c"_s, u"a"_s, u"b"_s}},
        {"too short", {1, 0}, {u"a"_s, u"b"_s, u"c"_s}},
        {"repeated row", {0, 0, 1}, {u"a"_s, u"b"_s, u"c"_s}},
        {"row out of range", {0, 1, 3}, {u"a"_s, u"b"_s, u"c"_s}},
        {"negative row", {-1, 1, 2}, {u"a"_s, u"b"_s, u"c"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LinkRows reordered = rows;
        applyOrder(reordered, c.order);
        EXPECT_EQ(linksOf(reordered), c.links);
    }
}

TEST(RowOrder, FindNextSearchesLinkAndAnchorText)
{
    const LinkRows rows = {
        row(u"http://a.com/alpha"_s, u"dofollow"_s, u"Internal"_s, u"first"_s),
        row(u"http://b.com/"_s, u"dofollow"_s, u"External"_s, u"Second BETA"_s, u"HTTP/1.1 404 Not Found"_s, u"120"_s),
        row(u"http://c.com/Alpha"_s, u"NOFOLLOW"_s, u"Internal"_s, u"caf\u00E9"_s),
        row(u"http://d.com/"_s, u"UGC"_s, u"External"_s, u"last"_s),
    };

    struct Case
    {
        const char *name;
        QString needle;
        qsizetype findPosition;
        qsizetype found;
    };

    const std::vector<Case> cases = {
        {"capitals find small letters", u"ALPHA"_s, -1, 0},
        {"next match after the last one", u"alpha"_s, 0, 2},
        {"no wrap within one press", u"alpha"_s, 2, -1},
        {"a press after the last row starts at the top", u"last"_s, 3, 3},
        {"anchor text matches", u"beta"_s, -1, 1},
        {"the link matches", u"b.com"_s, -1, 1},
        {"type is not searched", u"internal"_s, -1, -1},
        {"follow is not searched", u"nofollow"_s, -1, -1},
        {"HTTP response is not searched", u"404"_s, -1, -1},
        {"response time is not searched", u"120"_s, -1, -1},
        {"only ASCII letters fold", u"CAF\u00C9"_s, -1, -1},
        {"same accented letter matches", u"CAF\u00E9"_s, -1, 2},
        {"empty needle never matches", QString(), -1, -1},
        {"a start below -1 means the top", u"alpha"_s, -7, 0},
        {"a start far past the end means the top", u"alpha"_s, 99, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findNextRow(rows, c.needle, c.findPosition), c.found);
    }
    EXPECT_EQ(findNextRow(LinkRows(), u"a"_s, -1), -1);
}

TEST(RowOrder, FindNextPressesInARow)
{
    const LinkRows rows = {row(u"http://x.com/news"_s), row(u"http://x.com/"_s, {}, {}, u"News"_s),
                           row(u"http://y.com/"_s), row(u"http://z.com/"_s)};

    struct Case
    {
        const char *name;
        QString needle;
        std::vector<qsizetype> presses;
    };

    const std::vector<Case> cases = {
        // After the last match the press finds nothing (the beep), the next one starts at the top.
        {"matches above the end", u"NEWS"_s, {0, 1, -1, 0, 1}},
        {"match on the last row wraps at once", u"z.com"_s, {3, 3, 3}},
        {"no match at all", u"absent"_s, {-1, -1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        qsizetype FindPosition = -1; // the dialog was just opened
        std::vector<qsizetype> found;
        for (size_t i = 0; i < c.presses.size(); ++i) {
            FindPosition = findNextRow(rows, c.needle, FindPosition);
            found.push_back(FindPosition);
        }
        EXPECT_EQ(found, c.presses);
    }
}

TEST(RowOrder, FilterMatchesLinkOrAnchorTextIgnoringCase)
{
    const LinkRow sample = row(u"http://Example.com/Stra\u00DFe"_s, u"dofollow"_s, u"Internal"_s,
                               u"\u00C4pfel kaufen"_s, u"HTTP/1.1 200 OK"_s);

    struct Case
    {
        const char *name;
        QString filter;
        bool matches;
    };

    const std::vector<Case> cases = {
        {"an empty filter keeps every row", QString(), true},
        {"a part of the link in other capitals", u"EXAMPLE.COM"_s, true},
        {"a part of the anchor text", u"kaufen"_s, true},
        {"letters beyond A-Z fold too", u"\u00E4pfel"_s, true},
        {"the follow cell is not searched", u"dofollow"_s, false},
        {"the type cell is not searched", u"Internal"_s, false},
        {"the response cell is not searched", u"200"_s, false},
        {"text in neither", u"missing"_s, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rowMatchesFilter(sample, c.filter), c.matches);
    }
}

} // namespace quorvel::test
