#include "core/common/Charset.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

struct DecodeCase
{
    const char *name;
    QByteArray contentType;
    QByteArray body;
    QString text;
};

void expectDecoded(const std::vector<DecodeCase> &cases)
{
    for (const DecodeCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodeBody(c.contentType, c.body), c.text);
    }
}

} // namespace

TEST(Charset, HeaderCharsetAndTheLackOfOne)
{
    expectDecoded({
        {"utf-8 from the header", "text/html; charset=utf-8", "<p>caf\xC3\xA9</p>", u"<p>caf\u00E9</p>"_s},
        {"quoted, upper case, blanks", "text/html;  Charset = \"UTF-8\" ", "\xC3\xA9", u"\u00E9"_s},
        {"no charset: a byte per character", "text/html", "<p>caf\xC3\xA9</p>", u"<p>caf\u00C3\u00A9</p>"_s},
        {"no content type at all", "", "\x80\xFF", u"\u0080\u00FF"_s},
        {"unknown name: a byte per character", "text/html; charset=no-such-code-page", "\x80\xE9", u"\u0080\u00E9"_s},
        {"an absurdly long name is no name", "text/plain; charset=" + QByteArray(300, 'x'), "\xE9", u"\u00E9"_s},
        {"a code page the converter knows", "text/plain; charset=windows-1251", "\xC0\xE1", u"\u0410\u0431"_s},
        {"empty body", "text/html; charset=utf-8", "", QString()},
        {"invalid utf-8 becomes a replacement character", "text/html; charset=utf-8",
         "a\xFF"
         "b",
         u"a\uFFFDb"_s},
        {"a sequence cut off at the end is not dropped", "text/html; charset=utf-8", "b\xE2\x82", u"b\uFFFD\uFFFD"_s},
    });
}

TEST(Charset, WebLabelsMapToWhatBrowsersUse)
{
    expectDecoded({
        {"latin1 is windows-1252", "text/html; charset=latin1", "\x80\xE9", u"\u20AC\u00E9"_s},
        {"iso-8859-1 is windows-1252", "text/html; charset=ISO-8859-1", "\x93x\x94", u"\u201Cx\u201D"_s},
        {"us-ascii is windows-1252", "text/plain; charset=us-ascii", "\x80", u"\u20AC"_s},
        {"cp1252", "text/plain; charset=cp1252", "\x9F", u"\u0178"_s},
        {"utf8 without the hyphen", "text/plain; charset=utf8", "\xC3\xA9", u"\u00E9"_s},
        {"unicode-1-1-utf-8", "text/plain; charset=unicode-1-1-utf-8", "\xC3\xA9", u"\u00E9"_s},
        {"iso-8859-9 is windows-1254", "text/plain; charset=iso-8859-9", "\x80\xFD", u"\u20AC\u0131"_s},
        {"gb2312 is read as GBK", "text/plain; charset=gb2312", "\x81\x40", u"\u4E02"_s},
    });
}

TEST(Charset, PageDeclarationsInTheHead)
{
    expectDecoded({
        {"meta charset", "text/html", "<head><meta charset=\"utf-8\"></head>\xC3\xA9",
         u"<head><meta charset=\"utf-8\"></head>\u00E9"_s},
        {"meta charset unquoted, odd case, self-closed", "text/html", "<HEAD><META CharSet=UTF-8/>\xC3\xA9",
         u"<HEAD><META CharSet=UTF-8/>\u00E9"_s},
        {"meta http-equiv content type", "text/html",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\xC3\xA9",
         u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\u00E9"_s},
        {"attributes in either order, single quotes", "text/html",
         "<meta content='text/html; charset=windows-1251' http-equiv='content-type'>\xC0",
         u"<meta content='text/html; charset=windows-1251' http-equiv='content-type'>\u0410"_s},
        {"the page wins over the header", "text/html; charset=iso-8859-1", "<meta charset=utf-8>\xC3\xA9",
         u"<meta charset=utf-8>\u00E9"_s},
        {"a meta content type without a charset keeps the header's", "text/html; charset=utf-8",
         "<meta http-equiv=\"Content-Type\" content=\"text/html\">\xC3\xA9",
         u"<meta http-equiv=\"Content-Type\" content=\"text/html\">\u00E9"_s},
        {"other http-equiv values are not charsets", "text/html; charset=utf-8",
         "<meta http-equiv=\"refresh\" content=\"0; charset=windows-1251\">\xC3\xA9",
         u"<meta http-equiv=\"refresh\" content=\"0; charset=windows-1251\">\u00E9"_s},
        {"the first declaration counts", "text/html", "<meta charset=utf-8><meta charset=windows-1251>\xC3\xA9",
         u"<meta charset=utf-8><meta charset=windows-1251>\u00E9"_s},
        {"a declaration after the head is not read", "text/html", "<head></head><meta charset=utf-8>\xC3\xA9",
         u"<head></head><meta charset=utf-8>\u00C3\u00A9"_s},
        {"a commented-out declaration is not read", "text/html", "<!-- <meta charset=utf-8> -->\xC3\xA9",
         u"<!-- <meta charset=utf-8> -->\u00C3\u00A9"_s},
        {"a meta-like tag name is not meta", "text/html", "<metadata charset=utf-8>\xC3\xA9",
         u"<metadata charset=utf-8>\u00C3\u00A9"_s},
        {"an unclosed meta at the end does not hang", "text/html", "<meta charset=\"utf-8", u"<meta charset=\"utf-8"_s},
        {"utf-16 named in ASCII is read as utf-8", "text/html", "<meta charset=utf-16>\xC3\xA9",
         u"<meta charset=utf-16>\u00E9"_s},
        {"xhtml is searched too", "application/xhtml+xml", "<meta charset=\"windows-1251\"/>\xC0",
         u"<meta charset=\"windows-1251\"/>\u0410"_s},
        {"plain text is not searched", "text/plain", "<meta charset=utf-8>\xC3\xA9",
         u"<meta charset=utf-8>\u00C3\u00A9"_s},
    });
}

TEST(Charset, DeclarationsBeyondTheSearchLimitAreNotRead)
{
    const QByteArray padding(70 * 1024, ' ');
    EXPECT_EQ(decodeBody("text/html", padding + "<meta charset=utf-8>\xC3\xA9"),
              QString::fromLatin1(padding) + u"<meta charset=utf-8>\u00C3\u00A9"_s);
}

TEST(Charset, XmlDeclarationsAndByteOrderMarks)
{
    expectDecoded({
        {"xml declaration", "text/xml", "<?xml version=\"1.0\" encoding=\"windows-1251\"?><a>\xC0</a>",
         u"<?xml version=\"1.0\" encoding=\"windows-1251\"?><a>\u0410</a>"_s},
        {"xml without a declaration is utf-8", "application/xml", "<a>\xC3\xA9</a>", u"<a>\u00E9</a>"_s},
        {"a +xml type, declaration without encoding", "application/rss+xml", "<?xml version='1.0'?>\xC3\xA9",
         u"<?xml version='1.0'?>\u00E9"_s},
        {"the declaration wins over the header", "text/xml; charset=utf-8",
         "<?xml version='1.0' encoding='iso-8859-1'?>\x80", u"<?xml version='1.0' encoding='iso-8859-1'?>\u20AC"_s},
        {"the header counts when the declaration names nothing", "text/xml; charset=windows-1251", "<a>\xC0</a>",
         u"<a>\u0410</a>"_s},
        {"utf-16 xml without a mark", "text/xml", QByteArray("<\0?\0x\0m\0l\0", 10), u"<?xml"_s},
        {"utf-8 mark wins over the header", "text/html; charset=iso-8859-1", "\xEF\xBB\xBF\xC3\xA9", u"\u00E9"_s},
        {"utf-8 mark wins over a meta", "text/html", "\xEF\xBB\xBF<meta charset=windows-1251>\xC3\xA9",
         u"<meta charset=windows-1251>\u00E9"_s},
        {"utf-16 little-endian mark", "text/html", QByteArray("\xFF\xFE<\0\xE9\0", 6), u"<\u00E9"_s},
        {"utf-16 big-endian mark", "", QByteArray("\xFE\xFF\0<\x20\xAC", 6), u"<\u20AC"_s},
        {"utf-16 from the header", "text/plain; charset=utf-16be", QByteArray("\0a\0b", 4), u"ab"_s},
        {"odd utf-16 length ends in a replacement", "text/plain; charset=utf-16le", QByteArray("a\0b", 3),
         u"a\uFFFD"_s},
    });
}

} // namespace quorvel::test
