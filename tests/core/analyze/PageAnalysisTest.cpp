#include "core/analyze/PageAnalysis.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(PageAnalysis, TitleIsTheFirstTitleElementCollapsed)
{
    struct Case
    {
        const char *name;
        QString page;
        QString title;
    };

    const std::vector<Case> cases = {
        {"plain", u"<title>Hello</title>"_s, u"Hello"_s},
        {"entities decoded", u"<title>A &amp; B &lt;C&gt; caf&eacute; &#x41;</title>"_s, u"A & B <C> caf\u00E9 A"_s},
        {"white space collapsed and trimmed", u"<title>\r\n  a \t b\n </title>"_s, u"a b"_s},
        {"no-break space kept", u"<title>&nbsp;a</title>"_s, u"\u00A0a"_s},
        {"the first one wins", u"<title>one</title><title>two</title>"_s, u"one"_s},
        {"a title in the body counts", u"<body><p>x</p><title>late</title></body>"_s, u"late"_s},
        {"an svg title is not the page's", u"<body><svg><title>icon</title></svg><title>page</title>"_s, u"page"_s},
        {"markup inside is text", u"<title>a <b>b</b></title>"_s, u"a <b>b</b>"_s},
        {"unclosed runs to the end", u"<title>abc"_s, u"abc"_s},
        {"none", u"<p>no title</p>"_s, u""_s},
        {"empty page", u""_s, u""_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(analyzeHtml(c.page).title, c.title);
        EXPECT_EQ(ExtractTitle(c.page), c.title);
    }
}

TEST(PageAnalysis, DescriptionIsTheLastMetaNamedDescription)
{
    struct Case
    {
        const char *name;
        QString page;
        QString description;
    };

    const std::vector<Case> cases = {
        {"one", u"<meta name=\"description\" content=\"A\">"_s, u"A"_s},
        {"mixed case, the last wins",
         u"<meta name=\"Description\" content=\"A\"><p>x</p><meta name=\"DESCRIPTION\" content=\"B\">"_s, u"B"_s},
        {"attribute names in capitals", u"<META NAME=description CONTENT=x>"_s, u"x"_s},
        {"property only is not taken", u"<meta property=\"description\" content=\"P\">"_s, u""_s},
        {"og:description is not taken",
         u"<meta name=\"description\" content=\"A\"><meta property=\"og:description\" content=\"P\">"_s, u"A"_s},
        {"other names are not taken",
         u"<meta name=\"keywords\" content=\"k\"><meta name=\" description\" content=\"s\">"_s, u""_s},
        {"only ASCII letters are folded", u"<meta name=\"DESCR\u0130PT\u0130ON\" content=\"t\">"_s, u""_s},
        {"a later one without content empties it", u"<meta name=description content=A><meta name=description>"_s,
         u""_s},
        {"entities decoded, text kept", u"<meta name=description content=\" a &amp; b \">"_s, u" a & b "_s},
        {"line breaks kept", u"<meta name=description content=\"a\r\nb\">"_s, u"a\nb"_s},
        {"a meta in the body counts", u"<body><p>x<meta name=description content=late></p>"_s, u"late"_s},
        {"none", u"<p>x</p>"_s, u""_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(analyzeHtml(c.page).description, c.description);
        EXPECT_EQ(ExtractMetaDescription(c.page), c.description);
    }
}

TEST(PageAnalysis, HeadingsAreRenderedLinesInDocumentOrder)
{
    struct Case
    {
        const char *name;
        QString page;
        QStringList h1;
        QStringList h2;
        QStringList h3;
    };

    const std::vector<Case> cases = {
        {"each level in its own list",
         u"<h2>b</h2><h1>a</h1><h3>c</h3><h2>d</h2><h4>e</h4><h6>f</h6>"_s,
         {u"a"_s},
         {u"b"_s, u"d"_s},
         {u"c"_s}},
        {"empty headings give empty rows",
         u"<h2></h2><h2> \n </h2><h2><img src=x></h2>"_s,
         {},
         {u""_s, u""_s, u""_s},
         {}},
        {"white space collapsed, inline markup dropped",
         u"<h1>\n  Hello <em>big</em>\t <a href=x>world</a>  </h1>"_s,
         {u"Hello big world"_s},
         {},
         {}},
        {"br splits the heading",
         u"<h1>a<br>b</h1><h2>c<br><br>d</h2>"_s,
         {u"a"_s, u"b"_s},
         {u"c"_s, u""_s, u"d"_s},
         {}},
        {"blocks inside split it", u"<h3><p>a</p><div>b</div></h3>"_s, {}, {}, {u"a"_s, u"b"_s}},
        {"nested headings count twice",
         u"<h1>Top<div><h2>Inner</h2></div></h1>"_s,
         {u"Top"_s, u"Inner"_s},
         {u"Inner"_s},
         {}},
        {"scripts and styles left out", u"<h1>a<script>x()</script><style>p{}</style>b</h1>"_s, {u"ab"_s}, {}, {}},
        {"hidden parts left out", u"<h1>a<span hidden>x</span> b</h1>"_s, {u"a b"_s}, {}, {}},
        {"entities decoded, no-break space kept", u"<h2>A &amp; B&nbsp;C</h2>"_s, {}, {u"A & B\u00A0C"_s}, {}},
        {"preformatted lines kept", u"<h2><pre>a\n  b</pre></h2>"_s, {}, {u"a"_s, u"  b"_s}, {}},
        {"capital tags", u"<H1>X</H1><H3 class=y>Y</H3>"_s, {u"X"_s}, {}, {u"Y"_s}},
        {"a new heading closes an open one", u"<h1>one<h2>two"_s, {u"one"_s}, {u"two"_s}, {}},
        {"unclosed heading runs to the end", u"<h3>x <b>y"_s, {}, {}, {u"x y"_s}},
        {"a heading in a template is still listed",
         u"<template><h2>t</h2></template><h2>u</h2>"_s,
         {},
         {u"t"_s, u"u"_s},
         {}},
        {"a heading in the head moves to the body", u"<head><h1>in head</h1></head>"_s, {u"in head"_s}, {}, {}},
        {"broken markup", u"<h2><b>bold<i>both</b> italic</h2><h2>next"_s, {}, {u"boldboth italic"_s, u"next"_s}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PageAnalysis analysis = analyzeHtml(c.page);
        EXPECT_EQ(analysis.h1, c.h1);
        EXPECT_EQ(analysis.h2, c.h2);
        EXPECT_EQ(analysis.h3, c.h3);
    }
}

TEST(PageAnalysis, ExtractHeadingsGivesABlockOfLines)
{
    const QString page = u"<h1>Hello</h1><h1>World</h1><h2></h2>"_s;
    EXPECT_EQ(ExtractHeadings(page, u"h1"_s), u"Hello\r\nWorld\r\n"_s);
    EXPECT_EQ(ExtractHeadings(page, u"H2"_s), u"\r\n"_s);
    EXPECT_EQ(ExtractHeadings(page, u"h3"_s), QString());
    EXPECT_EQ(ExtractHeadings(page, u"h4"_s), QString());
    EXPECT_EQ(rowsBlock({u"a"_s, QString()}), u"a\r\n\r\n"_s);
}

TEST(PageAnalysis, RenderedTextIsWhatABrowserShows)
{
    struct Case
    {
        const char *name;
        QString page;
        QString text;
    };

    const std::vector<Case> cases = {
        {"paragraphs are lines", u"<p>a</p><p>b</p>"_s, u"a\r\nb"_s},
        {"br is a line break", u"a<br>b"_s, u"a\r\nb"_s},
        {"two br make an empty line", u"a<br><br>b"_s, u"a\r\n\r\nb"_s},
        {"a br closing a block adds no line", u"<div>a<br></div><div>b</div>"_s, u"a\r\nb"_s},
        {"nested blocks", u"<div>a<div>b</div>c</div>"_s, u"a\r\nb\r\nc"_s},
        {"white space runs become one blank", u"<p>  a \r\n\t b  </p>"_s, u"a b"_s},
        {"inline elements join", u"<span>a</span> <span>b</span><b>c</b><i>d</i>"_s, u"a bcd"_s},
        {"head, scripts and styles left out",
         u"<head><title>T</title><style>x{}</style></head><body>v<script>s()</script></body>"_s, u"v"_s},
        {"noscript, template and hidden left out", u"a<noscript>b</noscript><template>c</template><p hidden>d</p>e"_s,
         u"ae"_s},
        {"comments left out", u"a<!-- b -->c"_s, u"ac"_s},
        {"table cells by tabs, rows by lines", u"<table><tr><td>a</td><td>b</td></tr><tr><td>c<td>d</table>"_s,
         u"a\tb\r\nc\td"_s},
        {"list items are lines", u"<ul><li>a<li>b</ul>"_s, u"a\r\nb"_s},
        {"preformatted text kept", u"<pre>\na\n  b</pre>c"_s, u"a\r\n  b\r\nc"_s},
        {"entities decoded", u"&lt;p&gt; &amp;&nbsp;"_s, u"<p> &\u00A0"_s},
        {"images add nothing", u"a<img alt=x>b"_s, u"ab"_s},
        {"empty page", u""_s, u""_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PageAnalysis analysis = analyzeHtml(c.page);
        EXPECT_EQ(analysis.text, c.text);
        EXPECT_TRUE(analysis.note.isEmpty());
    }
}

TEST(PageAnalysis, MemoTextUsesCrLf)
{
    struct Case
    {
        const char *name;
        QString in;
        QString out;
    };

    const std::vector<Case> cases = {
        {"empty", u""_s, u""_s},
        {"LF", u"a\nb"_s, u"a\r\nb"_s},
        {"CR", u"a\rb"_s, u"a\r\nb"_s},
        {"CR LF kept", u"a\r\nb"_s, u"a\r\nb"_s},
        {"nothing added at the end", u"a"_s, u"a"_s},
        {"a final break stays one", u"a\n"_s, u"a\r\n"_s},
        {"LF CR is two breaks", u"\n\r"_s, u"\r\n\r\n"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(memoText(c.in), c.out);
    }
}

TEST(PageAnalysis, CountsMeasureTheFieldsAsTheWindowDoes)
{
    struct Case
    {
        const char *name;
        QString url;
        QString title;
        QString description;
        QStringList h1;
        QStringList h2;
        QString contents;
        AnalysisCounts counts;
    };

    const std::vector<Case> cases = {
        {"nothing", {}, {}, {}, {}, {}, {}, {0, 0, 0, 0, 0, 0, 0}},
        {"two rows of five", u"http://a.b/"_s, u"T"_s, {}, {u"abcde"_s, u"fghij"_s}, {}, {}, {11, 1, 0, 14, 0, 0, 0}},
        {"an empty row counts its line break", {}, {}, {}, {}, {u""_s}, {}, {0, 0, 0, 0, 2, 0, 0}},
        {"memo line breaks count two", {}, {}, u"a\r\nb"_s, {}, {}, u"x\r\n"_s, {0, 0, 4, 0, 0, 0, 3}},
        {"astral characters count two", u"\U0001F600"_s, u"\u00E9"_s, {}, {}, {}, {}, {2, 1, 0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(countsFor(c.url, c.title, c.description, c.h1, c.h2, {}, c.contents), c.counts);
    }
}

TEST(PageAnalysis, GuardCutsPagesTheParserCannotTakeWhole)
{
    auto repeat = [](const QString &piece, int times) {
        QString out;
        out.reserve(piece.size() * times);
        for (int i = 0; i < times; ++i) {
            out += piece;
        }
        return out;
    };
    QString reopened;
    for (int i = 0; i < 20'000; ++i) {
        reopened += u"<div><b id=%1></div>"_s.arg(i);
    }

    struct Case
    {
        const char *name;
        QString page;
        bool cut;
        QString noteWord;
    };

    const std::vector<Case> cases = {
        {"100,000 nested elements",
         u"<title>Deep</title><h1>Top</h1>"_s + repeat(u"<div>"_s, 100'000) + u"<h2>lost</h2>"_s, true, u"levels"_s},
        {"formatting elements re-opened without end",
         u"<title>Deep</title><h1>Top</h1>"_s + reopened + u"x<h2>lost</h2>"_s, true, u"only its first"_s},
        {"many unclosed paragraphs are flat",
         u"<title>Deep</title><h1>Top</h1>"_s + repeat(u"<p>para"_s, 20'000),
         false,
         {}},
        {"many unclosed list items are flat",
         u"<title>Deep</title><h1>Top</h1><ul>"_s + repeat(u"<li>item"_s, 20'000),
         false,
         {}},
        {"font tags left open in every paragraph",
         u"<title>Deep</title><h1>Top</h1>"_s + repeat(u"<p><font face=arial>x</p>"_s, 20'000),
         false,
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PageAnalysis analysis = analyzeHtml(c.page);
        EXPECT_EQ(analysis.title, u"Deep"_s);
        EXPECT_EQ(analysis.h1, QStringList{u"Top"_s});
        EXPECT_EQ(!analysis.note.isEmpty(), c.cut) << analysis.note.toStdString();
        if (c.cut) {
            EXPECT_TRUE(analysis.note.contains(c.noteWord)) << analysis.note.toStdString();
            EXPECT_TRUE(analysis.h2.isEmpty());
        }
    }
}

TEST(PageAnalysis, ParseOverItsBudgetIsRetriedOnAShorterPart)
{
    QString page = u"<title>Big</title><h1>Top</h1>"_s;
    for (int i = 0; i < 20'000; ++i) {
        page += u"<p>paragraph <b>%1</b></p>"_s.arg(i);
    }
    AnalyzeLimits memory;
    memory.parseMemory = 4 << 20;
    AnalyzeLimits time;
    time.parseTime = std::chrono::milliseconds(0);

    struct Case
    {
        const char *name;
        AnalyzeLimits limits;
        bool cut;
    };

    const std::vector<Case> cases = {
        {"within the budgets", AnalyzeLimits(), false},
        {"over the memory budget", memory, true},
        {"over the time budget", time, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PageAnalysis analysis = analyzeHtml(page, c.limits);
        EXPECT_EQ(analysis.title, u"Big"_s);
        EXPECT_EQ(analysis.h1, QStringList{u"Top"_s});
        EXPECT_TRUE(analysis.text.startsWith(u"Top\r\nparagraph 0\r\n"_s));
        EXPECT_EQ(analysis.text.endsWith(u"paragraph 19999"_s), !c.cut);
        EXPECT_EQ(analysis.note.contains(u"only its first"_s), c.cut) << analysis.note.toStdString();
    }
}

} // namespace quorvel::test
