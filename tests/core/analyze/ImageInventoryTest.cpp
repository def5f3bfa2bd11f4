#include "core/analyze/ImageInventory.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel {

void PrintTo(const ImageRow &row, std::ostream *os)
{
    *os << "{" << row.src.toStdString() << " | " << row.alt.toStdString() << " | " << row.title.toStdString() << "}";
}

} // namespace quorvel

namespace quorvel::test {

TEST(ImageInventory, ScanFollowsTheTextRules)
{
    struct Case
    {
        const char *name;
        QString source;
        ImageRows rows;
    };

    const std::vector<Case> cases = {
        {"no image tags", u"<p>text <image src=\"x\"></p>"_s, {}},
        {"src, alt and title in double quotes",
         u"<img src=\"a.png\" alt=\"A\" title=\"T\">"_s,
         {{u"a.png"_s, u"A"_s, u"T"_s}}},
        {"src in single quotes, alt and title in double",
         u"<img src='a.png' alt=\"A\" title=\"T\">"_s,
         {{u"a.png"_s, u""_s, u""_s}}},
        {"no src, no row", u"<img alt=\"A\" title=\"T\">"_s, {}},
        {"src not closed before the tag's end", u"<img src=\"a.png>b\">"_s, {}},
        {"the same image twice", u"<img src=\"a\">\r\n<img src=\"a\">"_s, {{u"a"_s, {}, {}}, {u"a"_s, {}, {}}}},
        {"relative src as written", u"<img src=\"../pics/a b.png\">"_s, {{u"../pics/a b.png"_s, {}, {}}}},
        {"values as written: no trimming, no decoding",
         u"<img src=\" a&amp;b \" alt=\"&lt;\">"_s,
         {{u" a&amp;b "_s, u"&lt;"_s, {}}}},
        {"empty src gives a row", u"<img src=\"\" alt=\"x\">"_s, {{u""_s, u"x"_s, {}}}},
        {"names in any case, values keep theirs",
         u"<IMG SRC=\"A.PNG\" Alt=\"Big\" TITLE=\"T\">"_s,
         {{u"A.PNG"_s, u"Big"_s, u"T"_s}}},
        {"src in both quotes gives two rows",
         u"<img src=\"d\" src='s' alt='x'>"_s,
         {{u"d"_s, {}, {}}, {u"s"_s, u"x"_s, {}}}},
        {"alt in the other quote is not taken", u"<img src=\"a\" alt='x' title=\"t\">"_s, {{u"a"_s, {}, u"t"_s}}},
        {"attribute after a line break or tab is not seen", u"<img\r\n src=\"a\"><img alt=\"x\"\tsrc=\"b\">"_s, {}},
        {"blanks around = and unquoted values are not seen", u"<img src = \"a\"><img src=b>"_s, {}},
        {"<img followed by a slash is not seen", u"<img/src=\"a\">"_s, {}},
        {"\">\" inside a value ends the tag", u"<img alt=\"a>b\" src=\"c\">"_s, {}},
        {"tags in comments and scripts are listed",
         u"<!-- <img src=\"c\"> --><script>'<img src=\"s\">'</script>"_s,
         {{u"c"_s, {}, {}}, {u"s"_s, {}, {}}}},
        {"separated by a line break: both",
         u"<img src=\"a\">\n<img src=\"b\">"_s,
         {{u"a"_s, {}, {}}, {u"b"_s, {}, {}}}},
        {"nothing between: only the first",
         u"<img src=\"a\"><img src=\"b\"><img src=\"c\">"_s,
         {{u"a"_s, {}, {}}, {u"c"_s, {}, {}}}},
        {"no \">\" after the tag: no row and none later", u"<img src=\"a\" <img src=\"b\""_s, {}},
        {"a later tag's \">\" closes an open one", u"<img src=\"a\" <b>x</b>"_s, {{u"a"_s, {}, {}}}},
        {"title value found inside another attribute", u"<img data=\"x title='t'\" src='s'>"_s, {{u"s"_s, {}, u"t"_s}}},
        {"astral and non-ASCII values", u"<img src=\"\u00E9\U0001F600.png\">"_s, {{u"\u00E9\U0001F600.png"_s, {}, {}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ImagesListele(c.source), c.rows);
    }
}

TEST(ImageInventory, EkleAppendsInOrder)
{
    ImageRows rows;
    Ekle(rows, u"a"_s, u"b"_s, u"c"_s);
    Ekle(rows, u"a"_s, QString(), QString());
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], (ImageRow{u"a"_s, u"b"_s, u"c"_s}));
    EXPECT_EQ(rows[1], (ImageRow{u"a"_s, QString(), QString()}));
}

TEST(ImageInventory, ManyTagsAreAllListed)
{
    QString page;
    for (int i = 0; i < 20'000; ++i) {
        page += u"<p><img src=\"i%1.png\" alt='a'></p>\n"_s.arg(i);
    }
    const ImageRows rows = ImagesListele(page);
    ASSERT_EQ(rows.size(), 20'000);
    EXPECT_EQ(rows.back().src, u"i19999.png"_s);
}

} // namespace quorvel::test
