#include "core/analyze/HtmlGuard.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel::test {

namespace {

QByteArray repeat(const QByteArray &piece, int times)
{
    QByteArray out;
    out.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

QByteArray numbered(const char *pattern, int times)
{
    QByteArray out;
    for (int i = 0; i < times; ++i) {
        out += QByteArray(pattern).replace("#", QByteArray::number(i));
    }
    return out;
}

GuardLimits smallLimits()
{
    GuardLimits limits;
    limits.maxDepth = 50;
    return limits;
}

} // namespace

TEST(HtmlGuard, OrdinaryStructuresStayWhole)
{
    struct Case
    {
        const char *name;
        QByteArray page;
    };

    const std::vector<Case> cases = {
        {"unclosed paragraphs", repeat("<p>x", 200)},
        {"unclosed list items", "<ul>" + repeat("<li>x", 200)},
        {"definition terms and data", "<dl>" + repeat("<dt>t<dd>d", 200)},
        {"rows and cells without end tags", "<table>" + repeat("<tr><td>a<td>b", 200)},
        {"options", "<select>" + repeat("<option>o", 200)},
        {"closed blocks", repeat("<div><span>x</span></div>", 200)},
        {"nested lists closing", repeat("<ul><li>a<ul><li>b</ul></ul>", 200)},
        {"identical formatting left open per paragraph", repeat("<p><font face=a>x</p>", 200)},
        {"misnested bold across paragraphs", repeat("<b><p>x</b>y</p>", 200)},
        {"misnested inline elements", repeat("<b><i>x</b>y</i>", 200)},
        {"self-closed svg shapes", "<svg>" + repeat("<path d='m0'/>", 200) + "</svg>"},
        {"tags inside a script", "<script>" + repeat("<div>", 200) + "</script>"},
        {"tags inside a comment", "<!--" + repeat("<div>", 200) + "-->"},
        {"tags inside a textarea", "<textarea>" + repeat("<div>", 200) + "</TEXTAREA >x"},
        {"\">\" inside quoted values", repeat("<span title='a>b'>x</span>", 200)},
        {"everything after plaintext is text", "<plaintext>" + repeat("<div>", 200)},
        {"a tag cut off by the end", "<div" + repeat(" a=b", 200)},
        {"empty", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const GuardResult result = guardHtml(c.page, smallLimits());
        EXPECT_EQ(result.cut, GuardCut::None);
        EXPECT_EQ(result.safeBytes, c.page.size());
    }
}

TEST(HtmlGuard, DeepOrCostlyPagesAreCutBeforeTheTagThatPassesTheLimit)
{
    struct Case
    {
        const char *name;
        QByteArray page;
        GuardCut cut;
        qsizetype safeBytes;
    };

    const QByteArray stray = repeat("<span>", 40) + repeat("</x>", 200'000);
    QByteArray manyAttributes = "<a";
    for (int i = 0; i < 3000; ++i) {
        manyAttributes += " x" + QByteArray::number(i);
    }
    manyAttributes += ">";
    const std::vector<Case> cases = {
        {"nested divs", repeat("<div>", 60), GuardCut::Depth, 5 * 50},
        {"the slash of an html tag is ignored", repeat("<div/>", 60), GuardCut::Depth, 6 * 50},
        {"nested lists", repeat("<ul><li>", 30), GuardCut::Depth, 8 * 25},
        {"nested tables count their implied row groups", repeat("<table><tr><td>", 20), GuardCut::Depth, 15 * 12 + 7},
        {"formatting elements open", repeat("<b>", 60), GuardCut::Depth, 3 * 50},
        {"formatting elements re-opened by text", numbered("<div><b id=#></div>", 60) + "x", GuardCut::Depth, -1},
        {"stray end tags deep inside", stray, GuardCut::Complexity, -1},
        {"thousands of attributes on one tag", manyAttributes, GuardCut::Complexity, 0},
    };
    GuardLimits limits = smallLimits();
    limits.maxWork = 2'000'000;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const GuardResult result = guardHtml(c.page, limits);
        EXPECT_EQ(result.cut, c.cut);
        if (c.safeBytes >= 0) {
            EXPECT_EQ(result.safeBytes, c.safeBytes);
        } else {
            EXPECT_GT(result.safeBytes, 0);
            EXPECT_LT(result.safeBytes, c.page.size());
        }
    }
}

TEST(HtmlGuard, ReopeningIsBounded)
{
    // Each block re-opens the formatting elements that the previous blocks left behind.
    const QByteArray page = "<b id=1><b id=2><b id=3><div></div>" + repeat("<p>x</p>", 1000);
    GuardLimits limits;
    limits.maxReopened = 100;
    const GuardResult result = guardHtml(page, limits);
    EXPECT_EQ(result.cut, GuardCut::None); // they stay open: nothing to re-open

    const QByteArray closed = numbered("<div><b id=#></div>", 20) + repeat("<p>x</p>", 1000);
    const GuardResult bounded = guardHtml(closed, limits);
    EXPECT_EQ(bounded.cut, GuardCut::Complexity);
}

TEST(HtmlGuard, SizeCutKeepsCharactersWhole)
{
    GuardLimits limits;
    limits.maxBytes = 4;
    const QByteArray page = "ab\xE2\x82\xAC"; // "ab€": the limit falls inside the euro sign
    const GuardResult result = guardHtml(page, limits);
    EXPECT_EQ(result.cut, GuardCut::Size);
    EXPECT_EQ(result.safeBytes, 2);

    const GuardResult whole = guardHtml("abcd", limits);
    EXPECT_EQ(whole.cut, GuardCut::None);
    EXPECT_EQ(whole.safeBytes, 4);
}

} // namespace quorvel::test
