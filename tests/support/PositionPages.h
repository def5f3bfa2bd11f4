#pragma once

#include "core/collect/AnchorScanner.h"

#include <QString>

#include <ostream>
#include <vector>

namespace quorvel {

inline void PrintTo(const TextPosition &at, std::ostream *os)
{
    *os << "line " << at.line << " column " << at.column;
}

} // namespace quorvel

namespace quorvel::test {

// A small page and where its links' "<a" stand, in page order.
struct PositionPage
{
    const char *name;
    QString page;
    std::vector<TextPosition> expected;
};

// Pages whose positions are counted by hand: every kind of line end, characters that take one, two
// or three bytes in UTF-8 and one or two UTF-16 units, and lines longer than a block of the scan.
inline const std::vector<PositionPage> &positionPages()
{
    using namespace Qt::StringLiterals;
    static const std::vector<PositionPage> pages = {
        {"the first line", u"<a href=\"/a\">a</a>"_s, {{1, 1}}},
        {"after an LF", u"<p>\n  <a href=\"/a\">a</a>"_s, {{2, 3}}},
        {"after a CR LF", u"<p>\r\n<a href=\"/a\">a</a>"_s, {{2, 1}}},
        {"after a lone CR", u"<p>\r\t<a href=\"/a\">a</a>"_s, {{2, 2}}},
        {"CR CR LF and LF CR end two lines each",
         u"\r\r\n<a href=\"/a\">a</a>\n\r<a href=\"/b\">b</a>"_s,
         {{3, 1}, {5, 1}}},
        {"blank lines of every kind", u"\n\r\n\r\r\n\n<a href=\"/a\">a</a>"_s, {{6, 1}}},
        {"after letters of two and three bytes", u"<p>\u00E9 \u20AC<a href=\"/a\">a</a>"_s, {{1, 7}}},
        {"after a character outside the Basic Multilingual Plane",
         u"x\U0001F600\U0001F600 <a href=\"/a\">\U0001F600</a><a href=\"/b\">b</a>"_s,
         {{1, 7}, {1, 26}}},
        {"an uppercase tag", u"<P>\r\n<A HREF=\"/a\">A</A>"_s, {{2, 1}}},
        {"an anchor split over lines", u"<a \r\n href=\"/a\"\r\n>a\r\nb</a> <a href=\"/b\">b</a>"_s, {{1, 1}, {4, 7}}},
        {"two anchors on one line", u"  <a href=\"/a\">a</a><a href=\"/b\">b</a>\n"_s, {{1, 3}, {1, 21}}},
        {"one tag, both quotes: two links at one place", u"\n <a href=\"/a\" href='/b'>x</a>"_s, {{2, 2}, {2, 2}}},
        {"long lines across the scan's blocks",
         QString(37, u'x') + u"<a href=\"/a\">a</a>"_s + QString(20, u'\u00E9') + u"<a href=\"/b\">b</a>"_s +
             QString(30, u'y') + u"\r\n"_s + u"\U0001F600"_s.repeated(9) + u"<a href=\"/c\">c</a>"_s,
         {{1, 38}, {1, 76}, {2, 19}}},
    };
    return pages;
}

} // namespace quorvel::test
