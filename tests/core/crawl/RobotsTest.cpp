#include "core/crawl/Robots.h"

#include "support/Fixtures.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// The example file of RFC 9309, section 5.1.
const QByteArray kRfcExample = "User-Agent: *\n"
                               "Disallow: *.gif$\n"
                               "Disallow: /example/\n"
                               "Allow: /publications/\n"
                               "\n"
                               "User-Agent: foobot\n"
                               "Disallow:/\n"
                               "Allow:/example/page.html\n"
                               "Allow:/example/allowed.gif\n"
                               "\n"
                               "User-Agent: barbot\n"
                               "User-Agent: bazbot\n"
                               "Disallow: /example/page.html\n"
                               "\n"
                               "User-Agent: quxbot\n"
                               "\n"
                               "EOF\n";

// RFC 9309, section 5.2: the longest match decides.
const QByteArray kRfcLongest = "User-Agent: foobot\n"
                               "Allow: /example/page/\n"
                               "Disallow: /example/page/disallowed.gif\n";

QByteArray starGroup(const QByteArray &rules)
{
    return "User-agent: *\n" + rules;
}

// Bytes of a literal that may hold NULs.
template <qsizetype N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// Comment lines of exactly size bytes in all.
QByteArray commentPadding(qsizetype size)
{
    const QByteArray line = "# " + QByteArray(98, 'x') + '\n';
    QByteArray padding;
    while (padding.size() + line.size() + 2 <= size) {
        padding += line;
    }
    padding += '#' + QByteArray(size - padding.size() - 2, 'y') + '\n';
    return padding;
}

} // namespace

TEST(Robots, DecidesEachPathByTheGroupAndTheLongestMatch)
{
    struct Case
    {
        const char *name;
        QByteArray file;
        QString agent;
        QString path;
        bool allowed;
    };

    const QByteArray atLimit = commentPadding(kRobotsSizeLimit - 20);
    const std::vector<Case> cases = {
        // The RFC's own example.
        {"RFC: foobot may fetch the page its group allows", kRfcExample, u"foobot"_s, u"/example/page.html"_s, true},
        {"RFC: foobot may fetch the gif its group allows", kRfcExample, u"foobot"_s, u"/example/allowed.gif"_s, true},
        {"RFC: foobot is kept from everything else", kRfcExample, u"foobot"_s, u"/publications/"_s, false},
        {"RFC: barbot is named with bazbot", kRfcExample, u"barbot"_s, u"/example/page.html"_s, false},
        {"RFC: bazbot is named with barbot", kRfcExample, u"bazbot"_s, u"/example/page.html"_s, false},
        {"RFC: a named crawler ignores the * group", kRfcExample, u"barbot"_s, u"/images/a.gif"_s, true},
        {"RFC: quxbot's empty group allows all", kRfcExample, u"quxbot"_s, u"/example/x"_s, true},
        {"RFC: others get the * group", kRfcExample, u"otherbot"_s, u"/example/x"_s, false},
        {"RFC: others may fetch publications", kRfcExample, u"otherbot"_s, u"/publications/a"_s, true},
        {"RFC: *.gif$ matches a gif anywhere", kRfcExample, u"otherbot"_s, u"/images/a.gif"_s, false},
        {"RFC: *.gif$ does not match a gif with a query", kRfcExample, u"otherbot"_s, u"/a.gif?size=2"_s, true},
        {"RFC: the longer allow wins", kRfcLongest, u"foobot"_s, u"/example/page/"_s, true},
        {"RFC: the longer disallow wins", kRfcLongest, u"foobot"_s, u"/example/page/disallowed.gif"_s, false},

        // The crawler's product token.
        {"the token is compared without case", kRfcExample, u"FooBot"_s, u"/publications/"_s, false},
        {"a whole User-Agent header is cut to its token", kRfcExample, u"foobot/2.1 (+https://q.example)"_s,
         u"/publications/"_s, false},
        {"a group line with a version names the crawler", "User-agent: Quorvel/1.0\nDisallow: /\n", u"quorvel"_s,
         u"/x"_s, false},
        {"a longer product is another crawler", "User-agent: quorvel-news\nDisallow: /\n", u"quorvel"_s, u"/x"_s, true},
        {"an agent line is not a prefix match", "User-agent: quor\nDisallow: /\n", u"quorvel"_s, u"/x"_s, true},
        {"*bot is not the * group", "User-agent: *bot\nDisallow: /\n", u"quorvel"_s, u"/x"_s, true},
        {"a comment after * keeps the * group", "User-agent: * # everyone\nDisallow: /\n", u"quorvel"_s, u"/x"_s,
         false},
        {"an empty token gets the * group", "User-agent: quorvel\nAllow: /\nUser-agent: *\nDisallow: /\n", QString(),
         u"/x"_s, false},

        // Groups.
        {"the named group is used instead of *", "User-agent: *\nDisallow: /\nUser-agent: quorvel\nAllow: /x\n",
         u"quorvel"_s, u"/y"_s, true},
        {"a named group without rules allows all", "User-agent: *\nDisallow: /\nUser-agent: quorvel\n", u"quorvel"_s,
         u"/y"_s, true},
        {"groups naming the crawler are joined (first)",
         "User-agent: quorvel\nDisallow: /a\nUser-agent: other\nDisallow: /b\nUser-agent: quorvel\nDisallow: /c\n",
         u"quorvel"_s, u"/a"_s, false},
        {"groups naming the crawler are joined (second)",
         "User-agent: quorvel\nDisallow: /a\nUser-agent: other\nDisallow: /b\nUser-agent: quorvel\nDisallow: /c\n",
         u"quorvel"_s, u"/c"_s, false},
        {"another crawler's group is not joined",
         "User-agent: quorvel\nDisallow: /a\nUser-agent: other\nDisallow: /b\nUser-agent: quorvel\nDisallow: /c\n",
         u"quorvel"_s, u"/b"_s, true},
        {"several * groups are joined",
         "User-agent: *\nDisallow: /a\nUser-agent: x\nDisallow: /\nUser-agent: *\n"
         "Disallow: /b\n",
         u"quorvel"_s, u"/b"_s, false},
        {"a blank line does not end the agent lines", "User-agent: quorvel\n\nUser-agent: *\nDisallow: /\n",
         u"quorvel"_s, u"/x"_s, false},
        {"a sitemap line does not end the agent lines",
         "User-agent: quorvel\nSitemap: https://h.example/s.xml\nUser-agent: *\nDisallow: /\n", u"quorvel"_s, u"/x"_s,
         false},
        {"an empty disallow still ends the agent lines",
         "User-agent: quorvel\nDisallow:\nUser-agent: other\nDisallow: /\n", u"quorvel"_s, u"/x"_s, true},
        {"rules before any agent line belong to no group", "Disallow: /\nUser-agent: *\nAllow: /x\n", u"quorvel"_s,
         u"/y"_s, true},
        {"a file without groups allows all", "Disallow: /\n", u"quorvel"_s, u"/x"_s, true},
        {"an empty file allows all", "", u"quorvel"_s, u"/x"_s, true},

        // Longest match and ties.
        {"a longer pattern wins whatever its place", starGroup("Disallow: /folder/page\nAllow: /folder/\n"),
         u"quorvel"_s, u"/folder/page.html"_s, false},
        {"the shorter pattern applies beside the longer", starGroup("Disallow: /folder/page\nAllow: /folder/\n"),
         u"quorvel"_s, u"/folder/other.html"_s, true},
        {"allow wins a tie (allow first)", starGroup("Allow: /a\nDisallow: /a\n"), u"quorvel"_s, u"/a/b"_s, true},
        {"allow wins a tie (disallow first)", starGroup("Disallow: /a\nAllow: /a\n"), u"quorvel"_s, u"/a/b"_s, true},
        {"allow wins a tie of different patterns", starGroup("Disallow: /ab\nAllow: /a*\n"), u"quorvel"_s, u"/abc"_s,
         true},
        {"length counts the octets of the escaped form", starGroup("Allow: /\xC3\xA4\nDisallow: /%C3\n"), u"quorvel"_s,
         u"/%C3%A4"_s, true},
        {"an empty disallow allows all", starGroup("Disallow:\n"), u"quorvel"_s, u"/x"_s, true},
        {"no matching rule allows", starGroup("Disallow: /private\n"), u"quorvel"_s, u"/public"_s, true},
        {"a match is a prefix", starGroup("Disallow: /private\n"), u"quorvel"_s, u"/private-area/x"_s, false},
        {"the query is part of the path", starGroup("Disallow: /search?q=\n"), u"quorvel"_s, u"/search?q=x"_s, false},
        {"an empty path is the root", starGroup("Disallow: /$\n"), u"quorvel"_s, QString(), false},
        {"a fragment is not compared", starGroup("Disallow: /page$\n"), u"quorvel"_s, u"/page#top"_s, false},

        // Wildcards.
        {"* in the middle", starGroup("Disallow: /*/secret/\n"), u"quorvel"_s, u"/a/b/secret/c"_s, false},
        {"* needs the rest to follow", starGroup("Disallow: /*/secret/\n"), u"quorvel"_s, u"/secret/c"_s, true},
        {"several stars in order", starGroup("Disallow: /a*b*c\n"), u"quorvel"_s, u"/a-c-b-c"_s, false},
        {"several stars out of order", starGroup("Disallow: /a*b*c\n"), u"quorvel"_s, u"/a-c-b"_s, true},
        {"stars in a row are one", starGroup("Disallow: /a**b\n"), u"quorvel"_s, u"/axb"_s, false},
        {"a lone * matches all", starGroup("Disallow: *\n"), u"quorvel"_s, u"/"_s, false},
        {"$ anchors the end", starGroup("Disallow: /*.php$\n"), u"quorvel"_s, u"/index.php"_s, false},
        {"$ rejects more after the end", starGroup("Disallow: /*.php$\n"), u"quorvel"_s, u"/index.php5"_s, true},
        {"$ with a star finds the last piece at the end", starGroup("Disallow: /*a$\n"), u"quorvel"_s, u"/abca"_s,
         false},
        {"/$ is the root only", starGroup("Disallow: /$\n"), u"quorvel"_s, u"/x"_s, true},
        {"a pattern without stars and $ is exact", starGroup("Disallow: /exactly$\n"), u"quorvel"_s, u"/exactly"_s,
         false},
        {"a $ before the end is a character", starGroup("Disallow: /a$b\n"), u"quorvel"_s, u"/a$b"_s, false},
        {"a * in the path is a character, %2A in the file", starGroup("Disallow: /file-with-a-%2A.html\n"),
         u"quorvel"_s, u"/file-with-a-*.html"_s, false},
        {"a $ in the path is a character, %24 in the file", starGroup("Disallow: /foo-%24\n"), u"quorvel"_s,
         u"/foo-$"_s, false},

        // Percent-encoding.
        {"raw UTF-8 in the file matches the escaped path", starGroup("Disallow: /foo/bar/\xE3\x83\x84\n"), u"quorvel"_s,
         u"/foo/bar/%E3%83%84"_s, false},
        {"escapes compare without case", starGroup("Disallow: /foo/bar/%e3%83%84\n"), u"quorvel"_s,
         u"/foo/bar/%E3%83%84"_s, false},
        {"escaped unreserved characters equal the raw ones (file)", starGroup("Disallow: /foo/bar/%62%61%7A\n"),
         u"quorvel"_s, u"/foo/bar/baz"_s, false},
        {"escaped unreserved characters equal the raw ones (path)", starGroup("Disallow: /~user\n"), u"quorvel"_s,
         u"/%7Euser/x"_s, false},
        {"an escaped slash is not a slash", starGroup("Disallow: /a%2Fb\n"), u"quorvel"_s, u"/a/b"_s, true},
        {"an escaped slash matches itself", starGroup("Disallow: /a%2Fb\n"), u"quorvel"_s, u"/a%2fb"_s, false},
        {"a non-ASCII path is compared as UTF-8 escapes", starGroup("Disallow: /%C3%A4\n"), u"quorvel"_s, u"/\u00E4x"_s,
         false},
        {"a stray % is a character", starGroup("Disallow: /100%\n"), u"quorvel"_s, u"/100%25"_s, false},

        // /robots.txt itself.
        {"/robots.txt is always allowed", starGroup("Disallow: /\n"), u"quorvel"_s, u"/robots.txt"_s, true},
        {"/robots.txt with a query is allowed", starGroup("Disallow: /\n"), u"quorvel"_s, u"/robots.txt?x=1"_s, true},
        {"a longer name is not /robots.txt", starGroup("Disallow: /\n"), u"quorvel"_s, u"/robots.txt.bak"_s, false},

        // The shape of the file.
        {"CR LF line ends", "User-agent: *\r\nDisallow: /x\r\n", u"quorvel"_s, u"/x"_s, false},
        {"CR line ends", "User-agent: *\rDisallow: /x\r", u"quorvel"_s, u"/x"_s, false},
        {"a byte order mark", "\xEF\xBB\xBFUser-agent: *\nDisallow: /x\n", u"quorvel"_s, u"/x"_s, false},
        {"keys without case", "USER-AGENT: *\nDISALLOW: /x\n", u"quorvel"_s, u"/x"_s, false},
        {"blanks around the colon", "User-agent :  *  \n\tDisallow\t:\t/x \t\n", u"quorvel"_s, u"/x"_s, false},
        {"a comment after a rule", starGroup("Disallow: /x # not this\n"), u"quorvel"_s, u"/x"_s, false},
        {"a comment line between rules", starGroup("# Disallow: /y\nDisallow: /x\n"), u"quorvel"_s, u"/y"_s, true},
        {"a missing colon is tolerated", "User-agent *\nDisallow /x\n", u"quorvel"_s, u"/x"_s, false},
        {"a missing colon with three words is ignored", starGroup("Disallow /x y\n"), u"quorvel"_s, u"/x"_s, true},
        {"common misspellings are read", "Useragent: *\nDissallow: /x\n", u"quorvel"_s, u"/x"_s, false},
        {"unknown lines are ignored", starGroup("Crawl-delay: 10\nNoindex: /x\nwhat is this\nDisallow: /y\n"),
         u"quorvel"_s, u"/x"_s, true},
        {"binary junk around the rules",
         bytes("\x00\xFF\xFE\x01junk\n") + starGroup("Disallow: /x\n") + bytes("\x80\x00\x1B"), u"quorvel"_s, u"/x"_s,
         false},
        {"a NUL in a line leaves the next line alone",
         bytes("User-agent: *\nDis\x00"
               "allow: /y\nDisallow: /x\n"),
         u"quorvel"_s, u"/y"_s, true},
        {"a huge line before the rules", QByteArray(400 * 1024, 'a') + "\n" + starGroup("Disallow: /x\n"), u"quorvel"_s,
         u"/x"_s, false},
        {"a huge pattern", starGroup("Disallow: /" + QByteArray(300 * 1024, '*') + "x\n"), u"quorvel"_s, u"/abcx"_s,
         false},
        {"rules past the size limit are not read", commentPadding(kRobotsSizeLimit) + starGroup("Disallow: /\n"),
         u"quorvel"_s, u"/x"_s, true},
        {"rules within the size limit are read", commentPadding(kRobotsSizeLimit - 40) + starGroup("Disallow: /x\n"),
         u"quorvel"_s, u"/x"_s, false},
        // The limit falls after "Disallow: /priv", which would forbid "/private" if it were kept.
        {"a line cut by the size limit is dropped",
         starGroup("Disallow: /x\n") + commentPadding(kRobotsSizeLimit - 27 - 15) + "Disallow: /private-area\n",
         u"quorvel"_s, u"/private"_s, true},
        {"a line whose break is the first byte past the limit is kept",
         "User-agent: *\n" + commentPadding(kRobotsSizeLimit - 26) + "Disallow: /y\n", u"quorvel"_s, u"/y"_s, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parseRobots(c.file, c.agent).allows(c.path), c.allowed) << c.path.toStdString();
    }
}

TEST(Robots, CollectsEverySitemapLine)
{
    const QByteArray file = "Sitemap: https://h.example/before.xml\n"
                            "User-agent: other\n"
                            "Disallow: /\n"
                            "sitemap:https://h.example/in-another-group.xml # comment\n"
                            "User-agent: *\n"
                            "SITEMAP: https://h.example/before.xml\n"
                            "Site-map: https://h.example/misspelt.xml\n"
                            "Sitemap:\n"
                            "Sitemap https://h.example/no-colon.xml\n";
    const QStringList expected = {u"https://h.example/before.xml"_s, u"https://h.example/in-another-group.xml"_s,
                                  u"https://h.example/misspelt.xml"_s, u"https://h.example/no-colon.xml"_s};
    EXPECT_EQ(parseRobots(file, u"quorvel").sitemaps, expected);
    EXPECT_EQ(parseRobots(file, u"other").sitemaps, expected);
}

TEST(Robots, AnswersStatusLikeTheRfc)
{
    struct Case
    {
        const char *name;
        int status;
        bool pageAllowed;
        bool disallowAll;
    };

    const QByteArray body = starGroup("Disallow: /private\nSitemap: https://h.example/s.xml\n");
    const std::vector<Case> cases = {
        {"200: the file's rules", 200, true, false},
        {"203: the file's rules", 203, true, false},
        {"3xx left after the redirects: no file", 302, true, false},
        {"401: no file", 401, true, false},
        {"403: no file", 403, true, false},
        {"404: no file", 404, true, false},
        {"410: no file", 410, true, false},
        {"429: the server asks to slow down", 429, false, true},
        {"500: unreachable", 500, false, true},
        {"503: unreachable", 503, false, true},
        {"no answer: unreachable", 0, false, true},
        {"an informational status: unreachable", 100, false, true},
        {"a status past 599: unreachable", 600, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const RobotsRules rules = robotsForAnswer(c.status, body, u"quorvel");
        EXPECT_EQ(rules.disallowAll, c.disallowAll);
        EXPECT_EQ(rules.allows(u"/page"), c.pageAllowed);
        const bool parsed = c.status >= 200 && c.status < 300;
        EXPECT_EQ(rules.allows(u"/private"), !parsed && !c.disallowAll);
        EXPECT_EQ(rules.sitemaps.size(), parsed ? 1 : 0);
        EXPECT_TRUE(rules.allows(u"/robots.txt"));
    }
}

TEST(Robots, ProductTokenIsTheFirstWordWithoutItsVersion)
{
    struct Case
    {
        const char *name;
        QString userAgent;
        QString token;
    };

    const std::vector<Case> cases = {
        {"name and version", u"quorvel/1.2 (+https://q.example/bot)"_s, u"quorvel"_s},
        {"name only", u"quorvel"_s, u"quorvel"_s},
        {"name and comment", u"  Quorvel (+https://q.example)"_s, u"Quorvel"_s},
        {"empty", QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(robotsProductToken(c.userAgent), c.token);
    }
}

// The path and query a rule is matched against are those sent: plain addresses are taken as written,
// the others as QUrl encodes them.
TEST(Robots, TargetOfAnAddressIsItsPathAndQueryAsSent)
{
    struct Case
    {
        QString address;
        QString target;
    };

    const std::vector<Case> cases = {
        {u"http://example.org/a/b.html"_s, u"/a/b.html"_s},
        {u"https://example.org:8443/a?b=c&d=e"_s, u"/a?b=c&d=e"_s},
        {u"http://example.org"_s, u"/"_s},
        {u"http://example.org?x=1"_s, u"/?x=1"_s},
        {u"http://example.org/a//b/../c;p=1?q=/?@"_s, u"/a//b/../c;p=1?q=/?@"_s},
        {u"http://[::1]:8080/x"_s, u"/x"_s},
        // From here on QUrl decides: what it encodes, and what a plain reading could get wrong.
        {u"http://example.org/caf\u00e9 menu?q=\u00fc"_s, u"/caf%C3%A9%20menu?q=%C3%BC"_s},
        {u"http://example.org/a%2Fb?x=%41"_s, u"/a%2Fb?x=A"_s},
        {u"http://user@example.org/private"_s, u"/private"_s},
        {u"HTTP://EXAMPLE.ORG/Upper"_s, u"/Upper"_s},
        {u"http://example.org/a\"b"_s, u"/a%22b"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        EXPECT_EQ(robotsTargetOf(c.address), c.target);
        // The plain reading and QUrl's agree wherever the plain one is taken.
        const QUrl url(c.address);
        const QString viaUrl = (url.path(QUrl::FullyEncoded).isEmpty() ? u"/"_s : url.path(QUrl::FullyEncoded)) +
                               (url.hasQuery() ? u'?' + url.query(QUrl::FullyEncoded) : QString());
        EXPECT_EQ(robotsTargetOf(c.address), viaUrl);
    }
}

TEST(Robots, ForbidsAnyOnlyWithADisallowRuleOrNoFile)
{
    EXPECT_FALSE(parseRobots("User-agent: *\nAllow: /\n", u"quorvel").forbidsAny());
    EXPECT_FALSE(parseRobots("", u"quorvel").forbidsAny());
    EXPECT_TRUE(parseRobots("User-agent: *\nAllow: /\nDisallow: /x\n", u"quorvel").forbidsAny());
    EXPECT_TRUE(robotsForAnswer(503, "", u"quorvel").forbidsAny());
}

} // namespace quorvel::test
