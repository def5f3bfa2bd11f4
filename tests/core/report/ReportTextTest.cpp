#include "core/report/ReportText.h"

#include "support/Fixtures.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

const QString kFffd(QChar(0xFFFD));
const QString kPair = QString::fromUcs4(U"\U0001F600"); // a character outside the BMP: a surrogate pair

} // namespace

TEST(ReportText, MarkupEscapesWhatAPageCouldUseToBreakOut)
{
    struct Case
    {
        const char *name;
        QString text;
        Markup where;
        QString out;
    };
    const std::vector<Case> cases = {
        {"script end tag", u"</script><script>"_s, Markup::Html, u"&lt;/script&gt;&lt;script&gt;"_s},
        {"attribute quotes", u"a\"b'c"_s, Markup::Html, u"a&quot;b&#39;c"_s},
        {"ampersand before an entity", u"&amp;"_s, Markup::XmlText, u"&amp;amp;"_s},
        {"CDATA end", u"]]>"_s, Markup::XmlText, u"]]&gt;"_s},
        {"line breaks stay in HTML", u"a\r\nb\tc"_s, Markup::Html, u"a\r\nb\tc"_s},
        {"CR kept as a reference in XML text", u"a\r\nb\tc"_s, Markup::XmlText, u"a&#13;\nb\tc"_s},
        {"blanks kept as references in XML attributes", u"a\r\nb\tc"_s, Markup::XmlAttribute, u"a&#13;&#10;b&#9;c"_s},
        {"C0 controls", QString(QChar(0x00)) + QChar(0x01) + QChar(0x1B) + QChar(0x1F), Markup::XmlText,
         kFffd + kFffd + kFffd + kFffd},
        {"C0 controls in HTML", QString(QChar(0x08)), Markup::Html, kFffd},
        {"non-characters", QString(QChar(0xFFFE)) + QChar(0xFFFF), Markup::XmlAttribute, kFffd + kFffd},
        {"lone high surrogate", u"a"_s + QChar(0xD800) + u"b"_s, Markup::XmlText, u"a"_s + kFffd + u"b"_s},
        {"lone low surrogate", u"a"_s + QChar(0xDC00), Markup::Html, u"a"_s + kFffd},
        {"high surrogate at the end", u"a"_s + QChar(0xDBFF), Markup::XmlAttribute, u"a"_s + kFffd},
        {"surrogates in the wrong order", QString(QChar(0xDC00)) + QChar(0xD800), Markup::Html, kFffd + kFffd},
        {"a proper pair is kept", kPair, Markup::XmlText, kPair},
        {"DEL and C1 are allowed", QString(QChar(0x7F)) + QChar(0x85), Markup::XmlText,
         QString(QChar(0x7F)) + QChar(0x85)},
        {"plain text", u"caf\u00e9 100%"_s, Markup::XmlAttribute, u"caf\u00e9 100%"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(markupEscaped(c.text, c.where), c.out);
    }
}

TEST(ReportText, JsonStringEscapesAndReadsBackTheSame)
{
    struct Case
    {
        const char *name;
        QString text;
        QByteArray out;
    };
    const std::vector<Case> cases = {
        {"quote and backslash", u"a\"b\\c"_s, R"("a\"b\\c")"},
        {"line breaks and tab", u"a\r\n\tb"_s, R"("a\r\n\tb")"},
        {"C0 controls", QString(QChar(0x00)) + QChar(0x01) + QChar(0x1F), R"("\u0000\u0001\u001f")"},
        {"lone high surrogate", u"a"_s + QChar(0xD800), R"("a\ud800")"},
        {"lone low surrogate", QString(QChar(0xDFFF)) + u"z"_s, R"("\udfffz")"},
        {"a proper pair is UTF-8", kPair, "\"\xF0\x9F\x98\x80\""},
        {"non-ASCII is UTF-8", u"\u00e9\u20ac"_s, "\"\xC3\xA9\xE2\x82\xAC\""},
        {"script end tag is just text", u"</script>"_s, R"("</script>")"},
        {"empty", QString(), R"("")"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray json = jsonString(c.text);
        EXPECT_EQ(json, c.out);
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson("[" + json + "]", &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        EXPECT_EQ(doc.array().at(0).toString(), c.text);
    }
}

TEST(ReportText, MarkdownCellKeepsItsTextAndItsColumn)
{
    struct Case
    {
        const char *name;
        QString text;
        qsizetype maxChars;
        QString out;
    };
    const std::vector<Case> cases = {
        {"pipe", u"a|b"_s, 0, u"a\\|b"_s},
        {"backticks", u"`code`"_s, 0, u"\\`code\\`"_s},
        {"HTML", u"<script>"_s, 0, u"\\<script\\>"_s},
        {"emphasis and links", u"*a* _b_ [c](d)"_s, 0, u"\\*a\\* \\_b\\_ \\[c\\](d)"_s},
        {"entity", u"&lt;"_s, 0, u"\\&lt;"_s},
        {"backslash", u"a\\|"_s, 0, u"a\\\\\\|"_s},
        {"CR LF is one break", u"a\r\nb"_s, 0, u"a<br>b"_s},
        {"LF and CR alone", u"a\nb\rc"_s, 0, u"a<br>b<br>c"_s},
        {"tab", u"a\tb"_s, 0, u"a b"_s},
        {"controls and lone surrogates", QString(QChar(0x01)) + QChar(0x7F) + QChar(0xD800), 0, kFffd + kFffd + kFffd},
        {"list marker at the start", u"- item"_s, 0, u"\\- item"_s},
        {"dash inside", u"a-b"_s, 0, u"a-b"_s},
        {"ordered list marker", u"12. x"_s, 0, u"12\\. x"_s},
        {"dots in an address", u"https://a.test/x.html"_s, 0, u"https://a.test/x.html"_s},
        {"heading marker", u"# h"_s, 0, u"\\# h"_s},
        {"fragment inside", u"https://a.test/x#top"_s, 0, u"https://a.test/x#top"_s},
        {"cut at the limit", u"abcdef"_s, 4, u"abcd\u2026"_s},
        {"short text is not cut", u"abcd"_s, 4, u"abcd"_s},
        {"a pair is never cut in two", u"abc"_s + kPair + u"x"_s, 4, u"abc\u2026"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(markdownEscaped(c.text, c.maxChars), c.out);
    }
}

TEST(ReportText, UriReferenceEncodesWhatAUriCannotHold)
{
    struct Case
    {
        const char *name;
        QString address;
        QString out;
    };
    const std::vector<Case> cases = {
        {"plain address", u"https://a.test/x?y=1&z=2#f"_s, u"https://a.test/x?y=1&z=2#f"_s},
        {"blank", u"https://a.test/a b"_s, u"https://a.test/a%20b"_s},
        {"existing escape kept", u"https://a.test/a%20b"_s, u"https://a.test/a%20b"_s},
        {"non-ASCII as UTF-8", u"https://a.test/\u00e9"_s, u"https://a.test/%C3%A9"_s},
        {"quotes and angle brackets", u"https://a.test/\"<>`{}|\\^"_s, u"https://a.test/%22%3C%3E%60%7B%7D%7C%5C%5E"_s},
        {"controls", u"https://a.test/\r\n"_s, u"https://a.test/%0D%0A"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(uriReference(c.address), c.out);
    }
}

} // namespace quorvel::test
