#include "core/collect/AnchorScanner.h"

#include "core/common/Text.h"
#include "support/Fixtures.h"
#include "support/PositionPages.h"

#include <QChar>

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <ostream>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

const QString kBase = u"http://www.example.com/a/b.html"_s;

// One call of the sink.
struct Link
{
    QString href;
    QString base;
    QString follow;
    QString anchorText;

    bool operator==(const Link &) const = default;
};

void PrintTo(const Link &link, std::ostream *os)
{
    *os << "{href \"" << link.href.toStdString() << "\", base \"" << link.base.toStdString() << "\", "
        << link.follow.toStdString() << ", text \"" << link.anchorText.toStdString() << "\"}";
}

std::vector<Link> scan(const QString &page, const QString &base = kBase)
{
    std::vector<Link> links;
    ScanAnchors(page, base,
                [&links](const QString &href, const QString &linkBase, const QString &follow, const QString &anchorText,
                         TextPosition) {
                    links.push_back({href, linkBase, follow, anchorText});
                });
    return links;
}

// Where the scan places the page's links, in order.
std::vector<TextPosition> positionsOf(const QString &page)
{
    std::vector<TextPosition> positions;
    ScanAnchors(page, kBase,
                [&positions](const QString &, const QString &, const QString &, const QString &, TextPosition at) {
                    positions.push_back(at);
                });
    return positions;
}

Link web(const QString &href, const QString &text, const QString &follow = u"dofollow"_s)
{
    return {href, kBase, follow, text};
}

TEST(AnchorScanner, OverlappingAnchorTextsStayWithinTheBudget)
{
    // Every anchor lacks its own "</a>", so each text runs to the one at the end: handed on whole,
    // the texts would hold about 100,000 times the page.
    constexpr int kAnchors = 100'000;
    const QString page = u"<a href=\"x\"> "_s.repeated(kAnchors) + u"</a>"_s;
    qsizetype links = 0;
    qsizetype textCharacters = 0;
    QString first;
    ScanAnchors(page, u"b"_s,
                [&](const QString &, const QString &, const QString &, const QString &text, TextPosition) {
                    if (links++ == 0) {
                        first = text;
                    }
                    textCharacters += text.size();
                });
    EXPECT_EQ(links, kAnchors);
    // The first texts are whole; the budget is a small multiple of the page.
    EXPECT_EQ(first, trimControl(page.sliced(12, page.size() - 16)));
    EXPECT_LT(textCharacters, 3 * page.size() + (1 << 20) + 64 * kAnchors);
}

// ---------------------------------------------------------------------------------------------
// A deliberately plain reference: it consumes a working copy from the front and lower-cases the
// remainder and the tag afresh at every step, with positions counted from 1 as the scanner's
// rules are stated. Slow on purpose; the scanner under test must agree with it on every page.

// 1-based position of needle in text, 0 when absent.
qsizetype positionOf(const QString &needle, const QString &text)
{
    return text.indexOf(needle) + 1;
}

// count characters from the 1-based position index; nothing when count is not positive.
QString copyOf(const QString &text, qsizetype index, qsizetype count)
{
    if (count <= 0 || index < 1 || index > text.size()) {
        return {};
    }
    return text.mid(index - 1, count);
}

QString referenceDecode(const QString &text)
{
    const std::initializer_list<std::pair<QString, QChar>> names = {
        {u"&amp;"_s, u'&'}, {u"&lt;"_s, u'<'}, {u"&gt;"_s, u'>'}, {u"&quot;"_s, u'"'}, {u"&apos;"_s, u'\''},
    };
    QString out;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'&') {
            out += text[i];
            ++i;
            continue;
        }
        const QString rest = text.mid(i);
        bool done = false;
        for (const auto &[written, character] : names) {
            if (rest.startsWith(written)) {
                out += character;
                i += written.size();
                done = true;
                break;
            }
        }
        if (done) {
            continue;
        }
        if (rest.startsWith(u"&#"_s)) {
            const qsizetype semicolon = rest.indexOf(u';', 2);
            if (semicolon > 0) {
                QString number = rest.mid(2, semicolon - 2);
                int radix = 10;
                if (number.startsWith(u'x') || number.startsWith(u'X') || number.startsWith(u'$')) {
                    radix = 16;
                    number.remove(0, 1);
                }
                const QString digits = radix == 10 ? u"0123456789"_s : u"0123456789abcdefABCDEF"_s;
                bool valid = !number.isEmpty();
                for (const QChar c : number) {
                    valid = valid && digits.contains(c);
                }
                while (number.size() > 1 && number.startsWith(u'0')) {
                    number.remove(0, 1);
                }
                valid = valid && number.size() <= (radix == 10 ? 7 : 6);
                bool ok = false;
                const uint code = valid ? number.toUInt(&ok, radix) : 0;
                if (valid && ok && code <= 0x10FFFF) {
                    out += QStringView(QChar::fromUcs4(code));
                    i += semicolon + 1;
                    continue;
                }
            }
        }
        out += u'&';
        ++i;
    }
    return out;
}

// Where the unit at index stands: the page before it split into lines as the program splits text.
TextPosition referencePosition(const QString &pageText, qsizetype index)
{
    const QList<LineSpan> lines = lineSpans(QStringView(pageText).first(index), LastLine::KeepEmpty);
    return {int(lines.size()), int(index - lines.last().start + 1)};
}

std::vector<Link> referenceScan(const QString &pageText, const QString &base,
                                std::vector<TextPosition> *positions = nullptr)
{
    std::vector<Link> links;
    QString remaining = pageText;
    qsizetype consumed = 0; // units of the page before remaining
    for (;;) {
        const qsizetype i = positionOf(u"<a "_s, asciiLower(remaining));
        if (i == 0) {
            break;
        }
        const QString r = copyOf(remaining, i, remaining.size());
        const qsizetype p = positionOf(u">"_s, r);
        if (p != 0) {
            const QString t = copyOf(r, 1, p);
            for (const QChar q : {QChar(u'"'), QChar(u'\'')}) {
                QString follow = u"dofollow"_s;
                qsizetype k = positionOf(u" rel="_s + q, asciiLower(t));
                if (k != 0) {
                    const QString s = t.mid(k + 5);
                    const qsizetype m = positionOf(QString(q), s);
                    if (m != 0) {
                        const QString rel = asciiLower(copyOf(s, 1, m - 1));
                        if (rel.contains(u"nofollow"_s)) {
                            follow = u"NOFOLLOW"_s;
                        } else if (rel.contains(u"sponsored"_s)) {
                            follow = u"SPONSORED"_s;
                        } else if (rel.contains(u"ugc"_s)) {
                            follow = u"UGC"_s;
                        }
                    }
                }
                k = positionOf(u" href="_s + q, asciiLower(t));
                if (k == 0) {
                    continue;
                }
                const QString s = t.mid(k + 6);
                const qsizetype m = positionOf(QString(q), s);
                if (m == 0) {
                    continue;
                }
                const QString h = copyOf(s, 1, m - 1);
                const qsizetype e = positionOf(u"</a>"_s, asciiLower(r));
                if (e == 0) {
                    continue;
                }
                const QString a = trimControl(referenceDecode(copyOf(r, p + 1, e - p - 1)));
                const bool mail = asciiLower(h).startsWith(u"mailto:"_s);
                links.push_back({h, mail ? QString() : base, follow, a});
                if (positions != nullptr) {
                    positions->push_back(referencePosition(pageText, consumed + i - 1));
                }
            }
        }
        remaining.remove(0, i + p);
        consumed += i + p;
    }
    return links;
}

// ---------------------------------------------------------------------------------------------

struct ScanCase
{
    const char *name;
    QString page;
    std::vector<Link> expected;
};

const std::vector<ScanCase> &scanCases()
{
    static const std::vector<ScanCase> cases = {
        {"empty page", u""_s, {}},
        {"plain anchors in page order",
         u"<p><a href=\"/one\">One</a> and <a href=\"http://x.org/two\">Two</a></p>\r\n"_s,
         {web(u"/one"_s, u"One"_s), web(u"http://x.org/two"_s, u"Two"_s)}},
        {"capitals and single quotes keep the href's case",
         u"<A HREF='http://Example.COM/Path'>Some Text</A>"_s,
         {web(u"http://Example.COM/Path"_s, u"Some Text"_s)}},
        {"nofollow with noopener",
         u"<a href=\"/x\" rel=\"nofollow noopener\">x</a>"_s,
         {web(u"/x"_s, u"x"_s, u"NOFOLLOW"_s)}},
        {"nofollow is tested before sponsored",
         u"<a rel=\"sponsored nofollow\" href=\"/x\">x</a>"_s,
         {web(u"/x"_s, u"x"_s, u"NOFOLLOW"_s)}},
        {"sponsored before ugc",
         u"<a rel=\"ugc sponsored\" href=\"/x\">x</a>"_s,
         {web(u"/x"_s, u"x"_s, u"SPONSORED"_s)}},
        {"UGC in capitals", u"<a href=\"/x\" rel=\"UGC\">x</a>"_s, {web(u"/x"_s, u"x"_s, u"UGC"_s)}},
        {"rel words count inside other words",
         u"<a href=\"/x\" rel=\"xNoFollowy\">x</a>"_s,
         {web(u"/x"_s, u"x"_s, u"NOFOLLOW"_s)}},
        {"noopener only", u"<a href=\"/x\" rel=\"noopener\">x</a>"_s, {web(u"/x"_s, u"x"_s)}},
        {"no rel", u"<a href=\"/x\">x</a>"_s, {web(u"/x"_s, u"x"_s)}},
        {"rel without closing quote stays dofollow", u"<a rel=\"nofollow href='/x'>x</a>"_s, {web(u"/x"_s, u"x"_s)}},
        {"single-quoted rel is ignored for a double-quoted href",
         u"<a href=\"/x\" rel='nofollow'>x</a>"_s,
         {web(u"/x"_s, u"x"_s)}},
        {"a href in each kind of quote yields two links, each with its own rel",
         u"<a rel='ugc' href=\"/d\" rel=\"sponsored\" href='/s'>both</a>"_s,
         {web(u"/d"_s, u"both"_s, u"SPONSORED"_s), web(u"/s"_s, u"both"_s, u"UGC"_s)}},
        {"unquoted href", u"<a href=/x>x</a>"_s, {}},
        {"blanks around the equals sign", u"<a href = \"/x\">x</a>"_s, {}},
        {"tab before href", u"<a class=\"c\"\thref=\"/x\">x</a>"_s, {}},
        {"line break before href", u"<a class=\"c\"\r\nhref=\"/x\">x</a>"_s, {}},
        {"tab after <a", u"<a\thref=\"/x\">x</a>"_s, {}},
        {"line break after <a", u"<a\r\nhref=\"/x\">x</a>"_s, {}},
        {"> inside an earlier attribute value cuts the tag", u"<a title=\"a>b\" href=\"/x\">x</a>"_s, {}},
        {"href without closing quote", u"<a href=\"/x>x</a>"_s, {}},
        {"no closing tag anywhere", u"<a href=\"/x\">x\r\n<p>more</p>\r\n"_s, {}},
        {"a missing closing tag borrows the next anchor's",
         u"<a href=\"/1\">one <a href=\"/2\">two</a>"_s,
         {web(u"/1"_s, u"one <a href=\"/2\">two"_s), web(u"/2"_s, u"two"_s)}},
        {"an image anchor's text is the image markup",
         u"<a href=\"/i\">\r\n  <img src=\"p.png\" alt=\"Pic &amp; more\">\r\n</a>"_s,
         {web(u"/i"_s, u"<img src=\"p.png\" alt=\"Pic & more\">"_s)}},
        {"references in the anchor text",
         u"<a href=\"/e\">Tom &amp; Jerry&nbsp;&#65;&#x41;</a>"_s,
         {web(u"/e"_s, u"Tom & Jerry&nbsp;AA"_s)}},
        {"the href is not decoded", u"<a href=\"/q?a=1&amp;b=2\">q</a>"_s, {web(u"/q?a=1&amp;b=2"_s, u"q"_s)}},
        {"decoding comes before trimming", u"<a href=\"/t\">&#32;\r\n x &#9;</a>"_s, {web(u"/t"_s, u"x"_s)}},
        {"anchors inside comments and scripts",
         u"<!-- <a href=\"/c\">c</a> -->\r\n<script>s = '<a href=\"/s\">s</a>';</script>"_s,
         {web(u"/c"_s, u"c"_s), web(u"/s"_s, u"s"_s)}},
        {"an <a glued to the previous tag's > is passed over",
         u"<a href=\"/1\"><a href=\"/2\">two</a>"_s,
         {web(u"/1"_s, u"<a href=\"/2\">two"_s)}},
        {"one character between the tags is enough",
         u"<a href=\"/1\"> <a href=\"/2\">two</a>"_s,
         {web(u"/1"_s, u"<a href=\"/2\">two"_s), web(u"/2"_s, u"two"_s)}},
        {"empty href", u"<a href=\"\">e</a>"_s, {web(QString(), u"e"_s)}},
        {"empty anchor text", u"<a href=\"/x\"></a>"_s, {web(u"/x"_s, QString())}},
        {"a closing tag inside the tag leaves the text empty",
         u"<a href=\"/x\"</a>after</a>"_s,
         {web(u"/x"_s, QString())}},
        {"mail links get an empty base",
         u"<a href=\"mailto:me@example.com\">me</a><p><a href='MailTo:You@Example.com'>you</a>"_s,
         {{u"mailto:me@example.com"_s, QString(), u"dofollow"_s, u"me"_s},
          {u"MailTo:You@Example.com"_s, QString(), u"dofollow"_s, u"you"_s}}},
        {"mailto without colon keeps the base", u"<a href=\"mailtome\">m</a>"_s, {web(u"mailtome"_s, u"m"_s)}},
        {"anchor text keeps inner line breaks",
         u"<a href=\"/m\">line one\r\nline two\r\n</a>"_s,
         {web(u"/m"_s, u"line one\r\nline two"_s)}},
        {"an <a inside another tag belongs to that tag", u"<a <a href=\"/x\">x</a>"_s, {web(u"/x"_s, u"x"_s)}},
        {"an <a at the very end", u"text <a "_s, {}},
        {"text beyond the BMP keeps its surrogate pairs",
         u"<a href=\"/\U0001F600\">\U0001F600 &#x1F600;</a>"_s,
         {web(u"/\U0001F600"_s, u"\U0001F600 \U0001F600"_s)}},
    };
    return cases;
}

TEST(AnchorScanner, FindsExactlyTheseLinks)
{
    for (const ScanCase &c : scanCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(scan(c.page), c.expected);
    }
}

TEST(AnchorScanner, PassesTheRunBaseThrough)
{
    EXPECT_EQ(scan(u"<a href=\"x\">x</a>"_s, u"C:/pages/"_s),
              (std::vector<Link>{{u"x"_s, u"C:/pages/"_s, u"dofollow"_s, u"x"_s}}));
}

TEST(AnchorScanner, CountsTheTagsARunMayReserveRowsFor)
{
    struct Case
    {
        const char *name;
        QString page;
        qsizetype tags;
    };

    const std::vector<Case> cases = {
        {"empty page", QString(), 0},
        {"either letter case", u"<a href=x><A HREF=y>"_s, 2},
        {"a less-than sign before the tag", u"<<a href=x>"_s, 1},
        {"no blank after the a", u"<ab><a\thref><abbr>"_s, 0},
        {"closing tags are not anchors", u"</a></A>"_s, 0},
        {"cut off at the end", u"x<a"_s, 0},
        {"tags back to back", u"<a <a <a "_s, 3},
        {"a letter outside ASCII", u"<\u00E1 <\u0101 "_s, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(countAnchorTags(c.page), c.tags);
    }
}

TEST(AnchorScanner, ReferenceAgreesWithTheHandWrittenExpectations)
{
    // Keeps the reference honest before it judges the random pages.
    for (const ScanCase &c : scanCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(referenceScan(c.page, kBase), c.expected);
    }
}

// Pieces that the scanner's searches react to, repeated to weight them.
const std::vector<QString> &pagePieces()
{
    static const std::vector<QString> pieces = {
        u"<a "_s,      u"<a "_s,     u"<a "_s,         u"<A "_s,         u"<a href=\""_s, u"<a href='"_s,
        u">"_s,        u">"_s,       u">"_s,           u"</a>"_s,        u"</a>"_s,       u"</A>"_s,
        u"</a"_s,      u"<a"_s,      u"<"_s,           u"/"_s,           u" href="_s,     u" href="_s,
        u" HREF="_s,   u" hReF="_s,  u"href="_s,       u" rel="_s,       u" rel="_s,      u" REL="_s,
        u"\""_s,       u"\""_s,      u"\""_s,          u"'"_s,           u"'"_s,          u"'"_s,
        u"mailto:"_s,  u"MAILTO:"_s, u"mailto"_s,      u"nofollow"_s,    u"SPONSORED"_s,  u"ugc"_s,
        u"noopener"_s, u"&amp;"_s,   u"&AMP;"_s,       u"&lt;"_s,        u"&quot;"_s,     u"&apos;"_s,
        u"&nbsp;"_s,   u"&"_s,       u"&#"_s,          u"&#x"_s,         u"&#$"_s,        u"65"_s,
        u"41"_s,       u"1F600"_s,   u"99999999999"_s, u";"_s,           u";"_s,          u" "_s,
        u" "_s,        u"\r\n"_s,    u"\t"_s,          u"a"_s,           u"x"_s,          u"Q"_s,
        u"="_s,        u"\u00E9"_s,  u"\U0001F600"_s,  u"<img src=x>"_s,
    };
    return pieces;
}

QString randomText(std::mt19937 &random, const std::vector<QString> &pieces, int maxPieces)
{
    std::uniform_int_distribution<int> count(0, maxPieces);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    QString text;
    for (int n = count(random); n > 0; --n) {
        text += pieces[pick(random)];
    }
    return text;
}

const QString &oneOf(std::mt19937 &random, const std::vector<QString> &choices)
{
    return choices[std::uniform_int_distribution<size_t>(0, choices.size() - 1)(random)];
}

bool chance(std::mt19937 &random, int percent)
{
    return std::uniform_int_distribution<int>(0, 99)(random) < percent;
}

// An anchor assembled from random parts, mostly well formed, with every part sometimes written in a
// way the scanner does not accept.
QString randomAnchor(std::mt19937 &random)
{
    static const std::vector<QString> opens = {u"<a "_s, u"<a "_s,  u"<a "_s,  u"<a "_s, u"<a "_s,
                                               u"<A "_s, u"<a  "_s, u"<a\t"_s, u"<a"_s};
    static const std::vector<QString> separators = {u" "_s, u" "_s,  u" "_s,    u" "_s, u" "_s,
                                                    u" "_s, u"\t"_s, u"\r\n"_s, u""_s};
    static const std::vector<QString> hrefNames = {u"href"_s, u"href"_s, u"HREF"_s, u"hRef"_s};
    static const std::vector<QString> relNames = {u"rel"_s, u"rel"_s, u"REL"_s};
    static const std::vector<QString> otherNames = {u"title"_s, u"class"_s, u"target"_s};
    static const std::vector<QString> equals = {u"="_s, u"="_s, u"="_s, u"="_s, u"="_s, u"="_s, u" = "_s};
    static const std::vector<QString> quotes = {u"\""_s, u"\""_s, u"'"_s, u"'"_s, u""_s};
    static const std::vector<QString> hrefs = {
        u"/x"_s, u"http://Host.COM/P?a=1&amp;b"_s, u""_s, u"mailto:me@x.org"_s, u"MAILTO:Y"_s, u"mailto"_s,
    };
    static const std::vector<QString> rels = {
        u"nofollow"_s, u"sponsored"_s, u"UGC"_s, u"noopener"_s, u"noopener NoFollow"_s, u"ugc sponsored"_s,
    };
    static const std::vector<QString> tricky = {u"a>b"_s, u"x\"y"_s, u"x'y"_s, u"/</a>"_s, u" href='/i'"_s};
    static const std::vector<QString> texts = {
        u"Text"_s,      u" "_s,    u"\r\n"_s,     u"&amp;"_s,       u"&#65;"_s,         u"&#x41;"_s,
        u"&#"_s,        u";"_s,    u"&nbsp;"_s,   u"<img src=x>"_s, u"<b>"_s,           u"\U0001F600"_s,
        u"&#x1F600;"_s, u"&#0;"_s, u"&#xD800;"_s, u"<a "_s,         u"<a href='/n'>"_s,
    };
    static const std::vector<QString> closes = {u"</a>"_s, u"</a>"_s, u"</a>"_s, u"</A>"_s, u""_s, u"</a"_s};

    QString anchor = oneOf(random, opens);
    // Mostly one quote character per tag, so that rel and href meet in the same pass.
    const QString &tagQuote = oneOf(random, quotes);
    for (int n = std::uniform_int_distribution<int>(0, 3)(random); n > 0; --n) {
        const int kind = std::uniform_int_distribution<int>(0, 99)(random);
        const QString &name = oneOf(random, kind < 50 ? hrefNames : kind < 85 ? relNames : otherNames);
        const QString &value = oneOf(random, chance(random, 15) ? tricky : kind < 50 ? hrefs : rels);
        const QString &quote = chance(random, 70) ? tagQuote : oneOf(random, quotes);
        anchor += oneOf(random, separators) + name + oneOf(random, equals) + quote + value +
                  (chance(random, 90) ? quote : oneOf(random, quotes));
    }
    if (chance(random, 90)) {
        anchor += u">"_s;
    }
    for (int n = std::uniform_int_distribution<int>(0, 4)(random); n > 0; --n) {
        anchor += oneOf(random, texts);
    }
    return anchor + oneOf(random, closes);
}

// Anchors with noise between them (or none, so tags meet), then a few random cuts and insertions.
QString randomPage(std::mt19937 &random)
{
    QString page;
    for (int n = std::uniform_int_distribution<int>(0, 8)(random); n > 0; --n) {
        page += randomText(random, pagePieces(), chance(random, 30) ? 0 : 3);
        page += randomAnchor(random);
    }
    for (int n = std::uniform_int_distribution<int>(0, 3)(random); n > 0; --n) {
        const qsizetype at = std::uniform_int_distribution<qsizetype>(0, page.size())(random);
        if (chance(random, 50)) {
            page.insert(at, oneOf(random, pagePieces()));
        } else {
            page.remove(at, std::uniform_int_distribution<qsizetype>(1, 6)(random));
        }
    }
    return page;
}

TEST(AnchorScanner, AgreesWithThePlainReferenceOnRandomPages)
{
    std::mt19937 random(20240611);
    size_t links = 0;
    size_t pagesWithSeveralLinks = 0;
    size_t mailLinks = 0;
    std::map<QString, size_t> follows;
    for (int round = 0; round < 10000; ++round) {
        // Half the pages are assembled anchors, half a plain soup of the pieces.
        const QString page = round % 2 == 0 ? randomPage(random) : randomText(random, pagePieces(), 1 + round % 80);
        std::vector<TextPosition> expectedPositions;
        const std::vector<Link> expected = referenceScan(page, kBase, &expectedPositions);
        const std::vector<Link> actual = scan(page);
        ASSERT_EQ(actual, expected) << "page: " << page.toStdString();
        ASSERT_EQ(positionsOf(page), expectedPositions) << "page: " << page.toStdString();
        links += expected.size();
        pagesWithSeveralLinks += expected.size() > 1 ? 1 : 0;
        for (const Link &link : expected) {
            mailLinks += link.base.isEmpty() ? 1 : 0;
            ++follows[link.follow];
        }
    }
    // The pages must really exercise the scanner, not agree on finding nothing.
    EXPECT_GT(links, 5000u);
    EXPECT_GT(pagesWithSeveralLinks, 1200u);
    EXPECT_GT(mailLinks, 700u);
    for (const QString &follow : {u"dofollow"_s, u"NOFOLLOW"_s, u"SPONSORED"_s, u"UGC"_s}) {
        SCOPED_TRACE(follow.toStdString());
        EXPECT_GT(follows[follow], 80u);
    }
}

TEST(AnchorScanner, FinishesOnPathologicalPages)
{
    // No speed is asserted; these only have to end in reasonable time.
    EXPECT_TRUE(scan(u"<a "_s.repeated(5'000'000 / 3)).empty());
    EXPECT_TRUE(scan(u"<a href=\"x\">"_s.repeated(200'000)).empty());
    // Only the ">" of the closing tag ends the first tag, so the anchor text is empty.
    EXPECT_EQ(scan(u"<a href=\"x\" "_s.repeated(200'000) + u"</a>"_s), (std::vector<Link>{web(u"x"_s, QString())}));

    const QString longText = u"b&#1&#x&amp;"_s.repeated(2'000'000 / 12);
    const std::vector<Link> links = scan(u"<a href=\"x\">"_s + longText + u"</a>"_s);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].anchorText, u"b&#1&#x&"_s.repeated(2'000'000 / 12));

    // One huge tag holding every "<a " of the page is read once.
    const QString hugeTag = u"<a "_s + u"<a  href=\"y\""_s.repeated(300'000) + u">t</a>"_s;
    EXPECT_EQ(scan(hugeTag), (std::vector<Link>{web(u"y"_s, u"t"_s)}));
}

// ---------------------------------------------------------------------------------------------
// A page held as UTF-8 bytes must give exactly the calls its decoded text gives once its line ends
// are CR LF, as a local file's text is.

std::vector<Link> scanUtf8(QByteArrayView page, const ScanPassed &passed = {},
                           std::vector<TextPosition> *positions = nullptr)
{
    std::vector<Link> links;
    scanAnchorsUtf8(
        page, kBase,
        [&](const QString &href, const QString &linkBase, const QString &follow, const QString &anchorText,
            TextPosition at) {
            links.push_back({href, linkBase, follow, anchorText});
            if (positions != nullptr) {
                positions->push_back(at);
            }
        },
        passed);
    return links;
}

std::vector<TextPosition> positionsOfUtf8(QByteArrayView page)
{
    std::vector<TextPosition> positions;
    scanUtf8(page, {}, &positions);
    return positions;
}

// The page's line ends as one kind: the pages of the cases are written with CR LF.
QString withLineEnds(const QString &page, QStringView lineEnd)
{
    QString text = page;
    text.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n').replace(u"\n"_s, lineEnd.toString());
    return text;
}

TEST(AnchorScanner, Utf8BytesGiveTheLinksOfTheDecodedPage)
{
    struct Case
    {
        std::string name;
        QString page;
    };

    std::vector<Case> cases = {
        {"a line end inside the href", u"<a href=\"/a\r\nb\">x</a><a href='/c\rd'>y</a>"_s},
        {"line ends around an anchor text", u"<a href=\"/a\">\r\n\n text\r\r\n</a>"_s},
        {"line ends around a text with references", u"<a href=\"/a\">\n&amp; text\r</a>"_s},
        {"a text of line ends only", u"<a href=\"/a\">\r\n\r\n\n\r</a>"_s},
        {"letters outside ASCII in the rel", u"<a rel=\"\u00E9nofollow\" href=\"/\u00E9\">\u00E9</a>"_s},
        {"a page ending without a line end", u"<a href=\"/a\">a</a>"_s},
        {"line ends only", u"\r\n\n\r"_s},
    };
    for (const ScanCase &c : scanCases()) {
        for (const QStringView lineEnd : {u"\r\n", u"\n", u"\r"}) {
            cases.push_back({std::string(c.name) + " (line ends " +
                                 (lineEnd == u"\r\n" ? "CR LF"
                                  : lineEnd == u"\n" ? "LF"
                                                     : "CR") +
                                 ")",
                             withLineEnds(c.page, lineEnd)});
        }
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = c.page.toUtf8();
        ASSERT_EQ(QString::fromUtf8(bytes), c.page);
        EXPECT_EQ(scanUtf8(bytes), scan(normaliseLineEnds(c.page)));
        EXPECT_EQ(countAnchorTagsUtf8(bytes), countAnchorTags(c.page));
    }
}

TEST(AnchorScanner, Utf8BytesAgreeWithTheDecodedPageOnRandomPages)
{
    std::mt19937 random(20261211);
    size_t compared = 0;
    size_t links = 0;
    for (int round = 0; round < 6000; ++round) {
        QString page = round % 2 == 0 ? randomPage(random) : randomText(random, pagePieces(), 1 + round % 80);
        // Lone CRs and LFs too: the pieces hold CR LF only.
        page = withLineEnds(page, round % 3 == 0 ? u"\r\n" : round % 3 == 1 ? u"\n" : u"\r");
        const QByteArray bytes = page.toUtf8();
        if (QString::fromUtf8(bytes) != page) {
            continue; // a surrogate pair cut in two has no UTF-8 form
        }
        const std::vector<Link> expected = scan(normaliseLineEnds(page));
        ASSERT_EQ(scanUtf8(bytes), expected) << "page: " << page.toStdString();
        // The places do not depend on the line ends either.
        const std::vector<TextPosition> positions = positionsOf(page);
        ASSERT_EQ(positionsOf(normaliseLineEnds(page)), positions) << "page: " << page.toStdString();
        ASSERT_EQ(positionsOfUtf8(bytes), positions) << "page: " << page.toStdString();
        ++compared;
        links += expected.size();
    }
    EXPECT_GT(compared, 5000u);
    EXPECT_GT(links, 3000u);
}

// Anchors without their own "</a>" spend the anchor-text budget; the bytes must be cut where the
// decoded page is, though its units are counted differently (line ends, pairs, letters outside ASCII).
TEST(AnchorScanner, Utf8BytesKeepToTheDecodedPagesTextBudget)
{
    for (int lead = 0; lead < 4; ++lead) {
        SCOPED_TRACE(lead);
        // Texts that end in line ends, trimmed: a CR LF there counts as much as a lone CR.
        const QString open = u"<a href=\"/x\">"_s + u"\u00E9"_s.repeated(lead) + u"\U0001F600 \u20AC\n b"_s +
                             (lead % 2 == 0 ? u"\r\n"_s : u"\r"_s);
        const QString page = u"<p>"_s + open.repeated(3000) + u"</a>"_s;
        const QByteArray bytes = page.toUtf8();
        const std::vector<Link> expected = scan(normaliseLineEnds(page));
        ASSERT_EQ(expected.size(), 3000u);
        EXPECT_EQ(scanUtf8(bytes), expected);
    }
}

// The scan tells where it has passed; a caller may drop what lies before. Whatever is written
// there afterwards must not change the calls, and the budget, counted only later, must still
// count the units that were there.
TEST(AnchorScanner, Utf8BytesAreNotReadBehindWhereTheScanPassed)
{
    QString page;
    // About 1.5 MB of closed anchors, then 2 MB of anchors whose texts all run to the last "</a>".
    const QString closed = u"<p><a href=\"/\u00E9\">\U0001F600 one\r\ntwo</a> \r filler text\n"_s;
    const QString open = u"<p><a href='/o'>\u20AC\U0001F600 open \n"_s;
    while (page.size() < 1'500'000) {
        page += closed;
    }
    while (page.size() < 3'500'000) {
        page += open;
    }
    page += u"</a>"_s;
    QByteArray bytes = page.toUtf8();
    const std::vector<Link> expected = scan(normaliseLineEnds(page));
    const std::vector<TextPosition> expectedPlaces = positionsOf(page);

    std::vector<qsizetype> positions;
    std::vector<TextPosition> places;
    const std::vector<Link> actual = scanUtf8(
        bytes,
        [&](qsizetype position) {
            ASSERT_LE(position, bytes.size());
            ASSERT_TRUE(positions.empty() || position > positions.back());
            positions.push_back(position);
            // What a scan read again here would turn into links of its own, and its line ends into lines.
            const QByteArray junk = "<a href=\"/junk\">junk</a>\r\n\n";
            for (qsizetype at = positions.size() > 1 ? positions[positions.size() - 2] : 0; at < position; ++at) {
                bytes[at] = junk[at % junk.size()];
            }
        },
        &places);
    EXPECT_GE(positions.size(), 2u);
    ASSERT_EQ(actual.size(), expected.size());
    EXPECT_TRUE(actual == expected);
    // Lines counted again from the junk would come out long.
    EXPECT_TRUE(places == expectedPlaces);
}

// ---------------------------------------------------------------------------------------------
// Each link carries the line and column of its "<a": the same from the page's text with its line
// ends as written or made CR LF, and from its UTF-8 bytes.

TEST(AnchorScanner, PlacesEachLinkAtTheLineAndColumnOfItsTag)
{
    for (const PositionPage &c : positionPages()) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = c.page.toUtf8();
        std::vector<TextPosition> reference;
        referenceScan(c.page, kBase, &reference);
        EXPECT_EQ(reference, c.expected) << "the reference";
        EXPECT_EQ(positionsOf(c.page), c.expected) << "the text as written";
        EXPECT_EQ(positionsOf(normaliseLineEnds(c.page)), c.expected) << "the text with CR LF line ends";
        EXPECT_EQ(positionsOfUtf8(bytes), c.expected) << "the UTF-8 bytes";
    }
}

// The scan counts lines and columns a block of units at a time: a line end, a character of several
// bytes or a surrogate pair may fall anywhere in a block or across two, and the tag at any offset.
TEST(AnchorScanner, PlacesLinksAlikeWhereverTheBlocksOfTheScanFall)
{
    size_t compared = 0;
    for (const QString &filler : {u"x"_s, u"\u00E9"_s, u"\u20AC"_s, u"\U0001F600"_s}) {
        for (const QString &lineEnd : {u"\r\n"_s, u"\n"_s, u"\r"_s, u"\n\r"_s}) {
            for (int k = 0; k < 40; ++k) {
                const QString page = filler.repeated(k) + lineEnd + filler.repeated(k % 7) + u"<a href=\"/a\">a</a>"_s +
                                     filler.repeated(k) + u"<a href='/b'>"_s + lineEnd + u"</a>"_s +
                                     filler.repeated(40 - k) + lineEnd + u"<A HREF=\"/c\">c</a>"_s;
                SCOPED_TRACE(page.toStdString());
                std::vector<TextPosition> expected;
                referenceScan(page, kBase, &expected);
                ASSERT_EQ(expected.size(), 3u);
                EXPECT_EQ(positionsOf(page), expected);
                EXPECT_EQ(positionsOf(normaliseLineEnds(page)), expected);
                EXPECT_EQ(positionsOfUtf8(page.toUtf8()), expected);
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 4u * 4u * 40u);
}

// ---------------------------------------------------------------------------------------------

TEST(CharacterReferences, DecodeTheseAndLeaveTheRest)
{
    struct Case
    {
        const char *name;
        QString in;
        QString out;
    };

    const std::vector<Case> cases = {
        {"no ampersand", u"plain text"_s, u"plain text"_s},
        {"the five names", u"&amp;&lt;&gt;&quot;&apos;"_s, u"&<>\"'"_s},
        {"names only in lower case", u"&AMP;&Lt;&QUOT;"_s, u"&AMP;&Lt;&QUOT;"_s},
        {"other names stay", u"a&nbsp;b&copy;"_s, u"a&nbsp;b&copy;"_s},
        {"name without semicolon stays", u"&amp &lt"_s, u"&amp &lt"_s},
        {"decimal", u"&#65;"_s, u"A"_s},
        {"decimal with leading zeros", u"&#0065;"_s, u"A"_s},
        {"hex after x, X or $", u"&#x41;&#X41;&#$41;&#x6a;&#x6A;"_s, u"AAAjj"_s},
        {"beyond FFFF becomes a surrogate pair", u"&#x1F600;&#128512;"_s, u"\U0001F600\U0001F600"_s},
        {"the last code point", u"&#x10FFFF;"_s, u"\U0010FFFF"_s},
        {"above the last code point stays", u"&#x110000;&#1114112;"_s, u"&#x110000;&#1114112;"_s},
        {"overflowing numbers stay", u"&#99999999999999999999999;&#xFFFFFFFFFFFFFFFF1;"_s,
         u"&#99999999999999999999999;&#xFFFFFFFFFFFFFFFF1;"_s},
        {"without semicolon stays", u"&#65 and more"_s, u"&#65 and more"_s},
        {"empty number stays", u"&#;&#x;&#$;"_s, u"&#;&#x;&#$;"_s},
        {"non-digits stay", u"&#6a;&#xG1;&#+65;&# 65;&#-1;&#0x41;"_s, u"&#6a;&#xG1;&#+65;&# 65;&#-1;&#0x41;"_s},
        {"the number runs to the next semicolon", u"&#65&amp;"_s, u"&#65&"_s},
        {"decoding goes on after a failed ampersand", u"&&#65;&&amp;"_s, u"&A&&"_s},
        {"decoded text is not decoded again", u"&amp;lt;&amp;#65;"_s, u"&lt;&#65;"_s},
        {"a lone surrogate is kept as one unit", u"&#xD800;"_s, QString(QChar(char16_t(0xD800)))},
        {"a NUL reference is kept", u"a&#0;b"_s, QStringView(u"a\0b", 3).toString()},
        {"ampersand at the end", u"x&"_s, u"x&"_s},
        {"&# at the end", u"x&#"_s, u"x&#"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodeCharacterReferences(c.in), c.out);
        EXPECT_EQ(referenceDecode(c.in), c.out);
    }
}

TEST(CharacterReferences, AgreeWithThePlainReferenceOnRandomText)
{
    const std::vector<QString> pieces = {
        u"&"_s,   u"&"_s,  u"&#"_s, u"&#"_s,   u"#"_s,    u"x"_s,   u"X"_s,    u"$"_s,  u";"_s,           u";"_s,
        u"0"_s,   u"6"_s,  u"5"_s,  u"1"_s,    u"F"_s,    u"f"_s,   u"g"_s,    u"D8"_s, u"10FFFF"_s,      u"110000"_s,
        u"amp"_s, u"lt"_s, u"gt"_s, u"quot"_s, u"apos"_s, u"AMP"_s, u"nbsp"_s, u" "_s,  u"99999999999"_s, u"\u00E9"_s,
    };
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        const QString text = randomText(random, pieces, 1 + round % 30);
        ASSERT_EQ(decodeCharacterReferences(text), referenceDecode(text)) << "text: " << text.toStdString();
    }
}

TEST(CharacterReferences, FinishOnLongUnterminatedNumbers)
{
    const QString text = u"&#"_s.repeated(1'000'000) + u"&#"_s + u"0"_s.repeated(1'000'000) + u"x"_s;
    EXPECT_EQ(decodeCharacterReferences(text), text);
    const QString zeros = u"&#"_s + u"0"_s.repeated(1'000'000) + u"65;"_s;
    EXPECT_EQ(decodeCharacterReferences(zeros), u"A"_s);
}

} // namespace

} // namespace quorvel::test
