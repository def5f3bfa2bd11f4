#include "core/common/Text.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

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
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(normaliseLineEnds(c.in), c.out);
    }
}

TEST(Text, Windows1252MapsTheHighControlRange)
{
    EXPECT_EQ(decodeWindows1252("\x80\x9F\xE9\x81 A"), u"\u20AC\u0178\u00E9\u0081 A"_s);
}

} // namespace quorvel::test
