#include "core/common/Text.h"

#include "core/collect/RunOptions.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(Text, TrimRemovesCodesUpTo32Only)
{
    EXPECT_EQ(trimControl(u"\x01\t \r\n a b \x1F\x20"_s), u"a b"_s);
    EXPECT_EQ(trimControl(u"\u00A0a\u00A0"_s), u"\u00A0a\u00A0"_s);
    EXPECT_EQ(trimControl(u"  \t "_s), QString());
}

TEST(Text, CaseFoldingTouchesOnlyAsciiLetters)
{
    EXPECT_EQ(asciiLower(u"AbZ\u00C9\u0130@["_s), u"abz\u00C9\u0130@["_s);
    EXPECT_EQ(asciiUpper(u"abz\u00E9`{"_s), u"ABZ\u00E9`{"_s);
    EXPECT_TRUE(startsWithAsciiCI(u"MAILTO:x"_s, u"mailto:"));
    EXPECT_FALSE(startsWithAsciiCI(u"mail"_s, u"mailto:"));
}

// Every reader of lines splits at CR LF, a lone CR or a lone LF; they differ only after the last
// break. History and settings.ini drop an empty last line (a file ends with its break), the Ignore
// URLs box keeps it but trims the whole text first, and the page text gets CR LF after each line.
TEST(Text, LinesBreakAtCrLfCrOrLfAndEachReaderEndsItsOwnWay)
{
    struct Case
    {
        const char *name;
        QString in;
        QStringList dropEmpty;  // history.txt, settings.ini
        QStringList keepEmpty;  // what follows the last break always counts
        QStringList ignoreUrls; // the Ignore URLs box or file
    };

    const std::vector<Case> cases = {
        {"empty text", u""_s, {}, {u""_s}, {}},
        {"one line, no break", u"a"_s, {u"a"_s}, {u"a"_s}, {u"a"_s}},
        {"LF", u"a\nb"_s, {u"a"_s, u"b"_s}, {u"a"_s, u"b"_s}, {u"a"_s, u"b"_s}},
        {"CR", u"a\rb"_s, {u"a"_s, u"b"_s}, {u"a"_s, u"b"_s}, {u"a"_s, u"b"_s}},
        {"CR LF is one break", u"a\r\nb"_s, {u"a"_s, u"b"_s}, {u"a"_s, u"b"_s}, {u"a"_s, u"b"_s}},
        {"LF CR is two breaks", u"a\n\rb"_s, {u"a"_s, u""_s, u"b"_s}, {u"a"_s, u""_s, u"b"_s}, {u"a"_s, u""_s, u"b"_s}},
        {"trailing LF", u"a\n"_s, {u"a"_s}, {u"a"_s, u""_s}, {u"a"_s}},
        {"trailing CR LF", u"a\r\n"_s, {u"a"_s}, {u"a"_s, u""_s}, {u"a"_s}},
        {"lone CR at the end", u"a\r"_s, {u"a"_s}, {u"a"_s, u""_s}, {u"a"_s}},
        {"CR, then CR LF at the end", u"a\r\r\n"_s, {u"a"_s, u""_s}, {u"a"_s, u""_s, u""_s}, {u"a"_s}},
        {"breaks only", u"\n\r\n"_s, {u""_s, u""_s}, {u""_s, u""_s, u""_s}, {}},
        {"leading break", u"\na"_s, {u""_s, u"a"_s}, {u""_s, u"a"_s}, {u"a"_s}},
        {"mixed breaks",
         u"a\r\nb\nc\rd"_s,
         {u"a"_s, u"b"_s, u"c"_s, u"d"_s},
         {u"a"_s, u"b"_s, u"c"_s, u"d"_s},
         {u"a"_s, u"b"_s, u"c"_s, u"d"_s}},
        {"lines keep their blanks, the box trims the whole",
         u" x \n\n y \r\n"_s,
         {u" x "_s, u""_s, u" y "_s},
         {u" x "_s, u""_s, u" y "_s, u""_s},
         {u"x "_s, u""_s, u" y"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(splitLines(c.in), c.dropEmpty);
        EXPECT_EQ(splitLines(c.in, LastLine::KeepEmpty), c.keepEmpty);
        EXPECT_EQ(splitIgnoreUrls(c.in), c.ignoreUrls);

        // The spans settings.ini is edited by cover the text without a gap, breaks included.
        const QList<LineSpan> spans = lineSpans(c.in);
        ASSERT_EQ(spans.size(), c.dropEmpty.size());
        qsizetype at = 0;
        QString normalised;
        for (qsizetype i = 0; i < spans.size(); ++i) {
            EXPECT_EQ(spans[i].start, at);
            EXPECT_EQ(c.in.sliced(spans[i].start, spans[i].contentEnd - spans[i].start), c.dropEmpty[i]);
            at = spans[i].end;
            normalised += c.dropEmpty[i] + u"\r\n"_s;
        }
        EXPECT_EQ(at, c.in.size());
        // The page text: CR LF after every line, the last one included.
        EXPECT_EQ(normaliseLineEnds(c.in), normalised);
        EXPECT_EQ(normaliseLineEnds(QString(c.in)), normalised);
    }
}

TEST(Text, LineEndsBecomeCrLfWithOneAfterTheLastLine)
{
    struct Case
    {
        const char *name;
        QString in;
        QString out;
    };

    const std::vector<Case> cases = {
        {"empty stays empty", u""_s, u""_s},
        {"one line gets a line end", u"a"_s, u"a\r\n"_s},
        {"bare LF", u"a\nb\n"_s, u"a\r\nb\r\n"_s},
        {"bare CR", u"a\rb"_s, u"a\r\nb\r\n"_s},
        {"CR LF kept as one", u"a\r\nb\r\n"_s, u"a\r\nb\r\n"_s},
        {"LF CR is two breaks", u"a\n\rb"_s, u"a\r\n\r\nb\r\n"_s},
        {"blank lines kept", u"\n\na"_s, u"\r\n\r\na\r\n"_s},
        {"only LFs", u"\n\n\n"_s, u"\r\n\r\n\r\n"_s},
        {"LF lines, the last one open", u"ab\ncd\nef"_s, u"ab\r\ncd\r\nef\r\n"_s},
        {"LF first", u"\nab"_s, u"\r\nab\r\n"_s},
        {"CR last", u"ab\ncd\r"_s, u"ab\r\ncd\r\n"_s},
        {"already normal, LF last", u"a\r\n\r\nb\r\n"_s, u"a\r\n\r\nb\r\n"_s},
        {"a line end alone", u"\r"_s, u"\r\n"_s},
        // Lines longer than the blocks the search takes at once.
        {"long LF lines", u"a"_s.repeated(21) + u"\n\n"_s + u"b"_s.repeated(17) + u"\n"_s + u"c"_s.repeated(9),
         u"a"_s.repeated(21) + u"\r\n\r\n"_s + u"b"_s.repeated(17) + u"\r\n"_s + u"c"_s.repeated(9) + u"\r\n"_s},
        {"an LF on a block's edges", u"1234567\n12345678\n"_s, u"1234567\r\n12345678\r\n"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(normaliseLineEnds(c.in), c.out);
        // The text's own storage, grown in place and filled from the end.
        QString own = c.in;
        own.detach();
        EXPECT_EQ(normaliseLineEnds(std::move(own)), c.out);
        // A text shared with another owner is copied: the other owner's text stays as it was.
        const QString shared = c.in;
        QString copy = shared;
        EXPECT_EQ(normaliseLineEnds(std::move(copy)), c.out);
        EXPECT_EQ(shared, c.in);
    }
}

TEST(Text, LineEndsInPlaceAgreeWithTheCopyOnALongPage)
{
    // Long enough for the line feeds to be counted in more than one round of block counters.
    const QString page = u"line\n"_s.repeated(200'000) + u"last"_s;
    const QString expected = normaliseLineEnds(page);
    ASSERT_EQ(expected.size(), page.size() + 200'000 + 2);
    QString own = page;
    own.detach();
    EXPECT_EQ(normaliseLineEnds(std::move(own)), expected);
}

TEST(Text, LineEndsInPlaceAgreeWithTheCopyOnRandomText)
{
    std::mt19937 rng(7);
    const char16_t alphabet[] = {u'a', u'\r', u'\n', u'\u00E9', u' '};
    for (int round = 0; round < 500; ++round) {
        QString text;
        const int length = static_cast<int>(rng() % 40);
        // Half the texts hold no CR, which takes the block-moving path.
        const int letters = round % 2 == 0 ? 5 : 2;
        for (int i = 0; i < length; ++i) {
            const char16_t c = alphabet[rng() % static_cast<unsigned>(letters)];
            text.append(QChar(letters == 2 && c == u'\r' ? u'\n' : c));
        }
        const QString expected = normaliseLineEnds(text);
        QString own = text;
        own.detach();
        ASSERT_EQ(normaliseLineEnds(std::move(own)), expected) << text.toStdString();
    }
}

TEST(Text, Windows1252MapsTheHighControlRange)
{
    EXPECT_EQ(decodeWindows1252("\x80\x9F\xE9\x81 A"), u"\u20AC\u0178\u00E9\u0081 A"_s);
}

} // namespace quorvel::test
