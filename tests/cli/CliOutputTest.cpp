#include "cli/CliOutput.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(CliOutput, VisibleTextEscapesEveryControlCharacter)
{
    struct Case
    {
        const char *name;
        QString text;
        QString visible;
    };

    const std::vector<Case> cases = {
        {"plain text unchanged", u"http://h.com/a b \u00E9\u20AC"_s, u"http://h.com/a b \u00E9\u20AC"_s},
        {"escape sequence", u"\u001B[31mred\u001B[0m"_s, u"\\x1b[31mred\\x1b[0m"_s},
        {"window title with BEL", u"\u001B]0;owned\u0007"_s, u"\\x1b]0;owned\\x07"_s},
        {"NUL, tab, CR and LF", u"a\u0000b\tc\rd\ne"_s, u"a\\x00b\\x09c\\x0dd\\x0ae"_s},
        {"unit separator, the last C0", u"\u001F"_s, u"\\x1f"_s},
        {"DEL", u"a\u007Fb"_s, u"a\\x7fb"_s},
        {"C1 CSI and the C1 edges", u"\u009B31m\u0080\u009F"_s, u"\\u009b31m\\u0080\\u009f"_s},
        {"next to the controls but printable", u" ~\u00A0"_s, u" ~\u00A0"_s},
        {"a backslash stays as it is", u"a\\x1b"_s, u"a\\x1b"_s},
        {"a surrogate pair stays as it is", u"\U0001F600"_s, u"\U0001F600"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(VisibleText(c.text), c.visible);
    }
}

TEST(CliOutput, JsonStringEscapesDelAndC1Controls)
{
    struct Case
    {
        const char *name;
        QString text;
        QByteArray json;
    };

    const std::vector<Case> cases = {
        {"ESC", u"\u001B[2J"_s, "\"\\u001b[2J\""},
        {"DEL", u"\u007F"_s, "\"\\u007f\""},
        {"C1 CSI", u"\u009B2J"_s, "\"\\u009b2J\""},
        {"no-break space is text", u"\u00A0"_s, "\"\xC2\xA0\""},
        {"quote, backslash, line break", u"\"\\\n"_s, "\"\\\"\\\\\\n\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JsonString(c.text), c.json);
    }
}

} // namespace quorvel::test
