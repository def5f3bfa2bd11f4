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
        EXPECT_EQ(visibleText(c.text), c.visible);
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
        {"tab and carriage return", u"a\tb\r"_s, "\"a\\tb\\r\""},
        {"empty", QString(), "\"\""},
        {"two-byte and three-byte UTF-8", u"\u00E9\u07FF\u0800\u20AC\uFFFD"_s,
         "\"\xC3\xA9\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBD\""},
        {"a surrogate pair is one four-byte character", u"x\U0001F600\U0010FFFFy"_s,
         "\"x\xF0\x9F\x98\x80\xF4\x8F\xBF\xBFy\""},
        {"a lone high surrogate at the end", u"a"_s + QChar(0xD83D), "\"a\\ud83d\""},
        {"a lone low surrogate", QString(QChar(0xDE00)) + u"b"_s, "\"\\ude00b\""},
        {"a pair in the wrong order", QString(QChar(0xDE00)) + QChar(0xD83D), "\"\\ude00\\ud83d\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(jsonString(c.text), c.json);
    }
}

TEST(CliOutput, RowsToJsonWritesOneObjectPerRow)
{
    EXPECT_EQ(rowsToJson({}), "[]\n");
    LinkRow first{.link = u"http://h.com/\u00E9"_s,
                  .follow = u"dofollow"_s,
                  .type = u"Internal"_s,
                  .anchorText = u"say \"hi\""_s,
                  .response = QString(),
                  .responseTime = QString(),
                  .icon = kIconCollected,
                  .line = 12,
                  .column = 345};
    LinkRow second = first;
    second.link = u"mailto:a@b.c"_s;
    second.response = u"200"_s;
    second.icon = kIconBroken;
    second.line = 0; // a row no tag gave, like the redirect row
    second.column = 0;
    EXPECT_EQ(rowsToJson({first, second}),
              "[\n"
              "  {\"link\": \"http://h.com/\xC3\xA9\", \"follow\": \"dofollow\", \"type\": \"Internal\", "
              "\"anchor\": \"say \\\"hi\\\"\", \"response\": \"\", \"time\": \"\", \"icon\": 10, \"line\": 12, "
              "\"column\": 345},\n"
              "  {\"link\": \"mailto:a@b.c\", \"follow\": \"dofollow\", \"type\": \"Internal\", "
              "\"anchor\": \"say \\\"hi\\\"\", \"response\": \"200\", \"time\": \"\", \"icon\": 52, \"line\": 0, "
              "\"column\": 0}\n"
              "]\n");

    // A checked row has the check's keys after its place in the page.
    second.verdict = Verdict::Broken;
    second.finalStatus = 404;
    second.line = 2147483647;
    second.column = 2147483647;
    EXPECT_EQ(rowsToJson({second}, JsonRowKeys::Checked),
              "[\n"
              "  {\"link\": \"mailto:a@b.c\", \"follow\": \"dofollow\", \"type\": \"Internal\", "
              "\"anchor\": \"say \\\"hi\\\"\", \"response\": \"200\", \"time\": \"\", \"icon\": 52, "
              "\"line\": 2147483647, \"column\": 2147483647, \"verdict\": \"broken\", \"final\": \"\", "
              "\"final_status\": 404, \"hops\": 0, \"error\": \"\"}\n"
              "]\n");
}

// The rows written in pieces make the same bytes as written at once, and no row is split.
TEST(CliOutput, JsonInPiecesIsTheWholeJson)
{
    LinkRows rows;
    for (int i = 0; i < 5; ++i) {
        rows.append(LinkRow{.link = u"http://h.com/%1\u00E9"_s.arg(i),
                            .follow = u"dofollow"_s,
                            .type = u"External"_s,
                            .anchorText = u"text \"%1\"\n"_s.arg(i),
                            .response = QString(),
                            .responseTime = QString(),
                            .icon = kIconCollected});
    }
    struct Case
    {
        const char *name;
        LinkRows rows;
        qsizetype pieceBytes;
        qsizetype pieces; // 0: not counted
    };

    const std::vector<Case> cases = {
        {"no rows", {}, 1, 1},
        {"a piece per row, and the closing bracket", rows, 1, 6},
        {"all in one piece", rows, 1 << 20, 1},
        {"pieces of about two rows", rows, 2 * rowsToJson({rows[0]}).size() - 8, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<QByteArray> pieces;
        writeRowsAsJson(c.rows, c.pieceBytes, [&pieces](const QByteArray &piece) { pieces.push_back(piece); });
        QByteArray joined;
        for (const QByteArray &piece : pieces) {
            joined += piece;
            EXPECT_TRUE(piece.endsWith('}') || piece.endsWith("]\n")) << "a row split at: " << piece.toStdString();
        }
        EXPECT_EQ(joined, rowsToJson(c.rows));
        if (c.pieces > 0) {
            EXPECT_EQ(static_cast<qsizetype>(pieces.size()), c.pieces);
        }

        // Rows that come in batches of any size, empty ones too, make the same array.
        for (qsizetype batchRows = 1; batchRows <= 3; ++batchRows) {
            QByteArray written;
            JsonRowsWriter writer(c.pieceBytes, [&written](const QByteArray &piece) { written += piece; });
            writer.add({});
            for (qsizetype from = 0; from < c.rows.size(); from += batchRows) {
                writer.add(c.rows.mid(from, batchRows));
            }
            writer.finish();
            EXPECT_EQ(written, rowsToJson(c.rows)) << batchRows << " rows a batch";
        }
    }
}

TEST(CliOutput, AppendUtf8WritesTheBytesOfToUtf8)
{
    const std::vector<QString> texts = {
        QString(),       u"http://h.com/a?b=c#d"_s,  u"\u0000\u007F"_s, u"caf\u00E9 \u20AC"_s,
        u"\U0001F600"_s, u"lone \xD800 surrogate"_s, u"\xDC00"_s,
    };
    for (const QString &text : texts) {
        SCOPED_TRACE(text.toStdString());
        QByteArray out = "before ";
        appendUtf8(out, text);
        EXPECT_EQ(out, "before " + text.toUtf8());
    }
}

} // namespace quorvel::test
