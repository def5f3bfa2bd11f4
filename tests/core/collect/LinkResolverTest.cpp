#include "core/collect/LinkResolver.h"

#include "core/collect/RunOptions.h"
#include "support/Fixtures.h"

#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

const QString kPage = u"http://www.example.com/a/b/c.html"_s;
const QString kLocalPath = u"C:/site/pages/index.html"_s;
const QString kBackslashPath = u"C:\\site\\pages\\index.html"_s;

RunOptions makeOptions(const QString &page = kPage, UrlBaseMode mode = UrlBaseMode::Domain, bool removeAnchors = false,
                       const QString &ignoreUrls = QString(), const QString &ignoreExtensions = QString())
{
    return RunOptions::make(ignoreUrls, ignoreExtensions, removeAnchors, mode, page);
}

std::optional<LinkRow> addLink(const QString &href, const QString &base, const RunOptions &options)
{
    return AddLink(href, base, u"dofollow"_s, u"text"_s, options);
}

// The resolved link, or "<dropped>" when no row comes back.
QString linkOf(const std::optional<LinkRow> &row)
{
    return row ? row->link : u"<dropped>"_s;
}

} // namespace

TEST(LinkResolver, ResolvesHrefsAgainstTheBase)
{
    struct Case
    {
        const char *name;
        QString href;
        QString base;
        QString link;
    };

    const std::vector<Case> cases = {
        // An absolute path joins the site root; the page's folders are not used.
        {"absolute path joins the site root", u"/x/y.html"_s, kPage, u"http://www.example.com/x/y.html"_s},
        {"absolute path keeps user info and port of the root", u"/x"_s, u"https://u@h.com:8443/a/b"_s,
         u"https://u@h.com:8443/x"_s},
        {"exactly // is not scheme-relative", u"//"_s, kPage, u"http://www.example.com//"_s},
        // Scheme-relative hrefs take their scheme from the base's first six characters.
        {"scheme-relative on an https base", u"//cdn.net/x.js"_s, u"https://www.example.com/a/"_s,
         u"https://cdn.net/x.js"_s},
        {"scheme-relative on an http base", u"//cdn.net/x.js"_s, kPage, u"http://cdn.net/x.js"_s},
        {"scheme-relative on a capitalised HTTPS base", u"//cdn.net/x.js"_s, u"HTTPS://www.example.com/"_s,
         u"http://cdn.net/x.js"_s},
        {"scheme-relative on a local file", u"//cdn.net/x.js"_s, kLocalPath, u"http://cdn.net/x.js"_s},
        // "." and "..".
        {"dot gives the page's folder", u"."_s, kPage, u"http://www.example.com/a/b/"_s},
        {"dot on a host-only address keeps up to the scheme's last slash", u"."_s, u"http://www.example.com"_s,
         u"http://"_s},
        {"dot-dot gives the parent folder with its slash", u".."_s, kPage, u"http://www.example.com/a/"_s},
        {"../ climbs one folder", u"../x.html"_s, kPage, u"http://www.example.com/a/x.html"_s},
        {"../../ climbs two folders", u"../../x.html"_s, kPage, u"http://www.example.com/x.html"_s},
        {"more .. than folders stops at the site root", u"../../../../x.html"_s, kPage,
         u"http://www.example.com/x.html"_s},
        // Absolute addresses.
        {"http address unchanged", u"http://other.org/p?q#f"_s, kPage, u"http://other.org/p?q#f"_s},
        {"https address unchanged", u"https://other.org/"_s, kPage, u"https://other.org/"_s},
        {"capitalised scheme is a relative path", u"HTTP://OTHER.ORG/"_s, kPage,
         u"http://www.example.com/a/b/HTTP://OTHER.ORG/"_s},
        // Relative paths join the folder of the base, or its root with a "/".
        {"file name joins the page's folder", u"d.html"_s, kPage, u"http://www.example.com/a/b/d.html"_s},
        {"file name on a host-only address", u"d.html"_s, u"http://www.example.com"_s,
         u"http://www.example.com/d.html"_s},
        {"file name on a host with a trailing slash", u"d.html"_s, u"http://www.example.com/"_s,
         u"http://www.example.com/d.html"_s},
        {"file name on a folder address", u"d.html"_s, u"http://www.example.com/a/"_s,
         u"http://www.example.com/a/d.html"_s},
        {"file name on an https page", u"d.html"_s, u"https://www.example.com/a/b.html"_s,
         u"https://www.example.com/a/d.html"_s},
        {"file name on an https host-only address", u"d.html"_s, u"https://www.example.com"_s,
         u"https://www.example.com/d.html"_s},
        {"dot segment is kept and loses the file name", u"./d.html"_s, kPage, u"http://www.example.com/a/b/./d.html"_s},
        {"query-only loses the file name", u"?q=1"_s, kPage, u"http://www.example.com/a/b/?q=1"_s},
        {"empty href gives the folder", u""_s, kPage, u"http://www.example.com/a/b/"_s},
        {"fragment-only joins the folder", u"#top"_s, kPage, u"http://www.example.com/a/b/#top"_s},
        {"tel: is a relative path", u"tel:+4912345"_s, kPage, u"http://www.example.com/a/b/tel:+4912345"_s},
        {"ftp: is a relative path", u"ftp://f.org/x"_s, kPage, u"http://www.example.com/a/b/ftp://f.org/x"_s},
        {"javascript: in other letter case is a relative path", u"JavaScript:go()"_s, kPage,
         u"http://www.example.com/a/b/JavaScript:go()"_s},
        {"javascript without its colon is a relative path", u"javascript"_s, kPage,
         u"http://www.example.com/a/b/javascript"_s},
        // Mail links come with an empty base.
        {"mail link stays as written", u"mailto:a@example.com"_s, QString(), u"mailto:a@example.com"_s},
        // A local file: only "." and ".." use the path's "/" characters.
        {"local: file name stays", u"d.html"_s, kLocalPath, u"d.html"_s},
        {"local: absolute path stays", u"/x.html"_s, kLocalPath, u"/x.html"_s},
        {"local: dot gives the folder", u"."_s, kLocalPath, u"C:/site/pages/"_s},
        {"local: dot-dot gives the parent", u".."_s, kLocalPath, u"C:/site/"_s},
        {"local: ../ climbs one folder", u"../x.html"_s, kLocalPath, u"C:/site/x.html"_s},
        {"local: no root stops the climb", u"../../../../x.html"_s, kLocalPath, u"x.html"_s},
        {"backslashes: file name stays", u"d.html"_s, kBackslashPath, u"d.html"_s},
        {"backslashes: dot gives empty text", u"."_s, kBackslashPath, u""_s},
        {"backslashes: ../ leaves what follows", u"../x.html"_s, kBackslashPath, u"x.html"_s},
        {"backslashes: ../../ leaves what follows", u"../../x.html"_s, kBackslashPath, u"x.html"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(linkOf(addLink(c.href, c.base, makeOptions(c.base))), c.link);
    }
}

TEST(LinkResolver, RemoveAnchorsCutsTheLinkAtItsFirstHash)
{
    struct Case
    {
        const char *name;
        QString href;
        bool removeAnchors;
        QString link;
    };

    const std::vector<Case> cases = {
        {"fragment-only gives the folder", u"#top"_s, true, u"http://www.example.com/a/b/"_s},
        {"fragment-only unticked keeps it", u"#top"_s, false, u"http://www.example.com/a/b/#top"_s},
        {"cut at the first of several", u"d.html#s1#s2"_s, true, u"http://www.example.com/a/b/d.html"_s},
        {"absolute address", u"http://other.org/p?q#f"_s, true, u"http://other.org/p?q"_s},
        {"no hash", u"d.html?x=1"_s, true, u"http://www.example.com/a/b/d.html?x=1"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(linkOf(addLink(c.href, kPage, makeOptions(kPage, UrlBaseMode::Domain, c.removeAnchors))), c.link);
    }
}

TEST(LinkResolver, DropsIgnoredExtensionsJavascriptAndIgnoredPrefixes)
{
    struct Case
    {
        const char *name;
        QString href;
        QString ignoreExtensions;
        QString ignoreUrls;
        bool removeAnchors;
        QString link; // "<dropped>" when no row is made
    };

    const QString dropped = u"<dropped>"_s;
    const std::vector<Case> cases = {
        // Extensions: the very end of the href as written, with letter case.
        {"extension dropped", u"doc/file.pdf"_s, u"pdf zip"_s, QString(), false, dropped},
        {"second extension dropped", u"a.zip"_s, u"pdf zip"_s, QString(), false, dropped},
        {"absolute address with the extension", u"http://other.org/x.pdf"_s, u"pdf"_s, QString(), false, dropped},
        {"scheme-relative address with the extension", u"//cdn.net/x.pdf"_s, u"pdf"_s, QString(), false, dropped},
        {"extension in capitals kept", u"file.PDF"_s, u"pdf"_s, QString(), false,
         u"http://www.example.com/a/b/file.PDF"_s},
        {"extension before a query kept", u"file.pdf?x=1"_s, u"pdf"_s, QString(), false,
         u"http://www.example.com/a/b/file.pdf?x=1"_s},
        {"extension before a fragment kept though the fragment is removed", u"file.pdf#p2"_s, u"pdf"_s, QString(), true,
         u"http://www.example.com/a/b/file.pdf"_s},
        {"extension without its dot kept", u"getpdf"_s, u"pdf"_s, QString(), false,
         u"http://www.example.com/a/b/getpdf"_s},
        {"extension written with a dot never matches", u"file.pdf"_s, u".pdf"_s, QString(), false,
         u"http://www.example.com/a/b/file.pdf"_s},
        {"extensions separated by several blanks", u"a.zip"_s, u"  pdf    zip  "_s, QString(), false, dropped},
        {"empty list filters nothing", u"a.pdf"_s, QString(), QString(), false, u"http://www.example.com/a/b/a.pdf"_s},
        // javascript: exactly, on the first eleven characters.
        {"javascript: dropped", u"javascript:void(0)"_s, QString(), QString(), false, dropped},
        {"bare javascript: dropped", u"javascript:"_s, QString(), QString(), false, dropped},
        // Prefixes: the resolved link after "#" removal, with letter case.
        {"prefix on the resolved link", u"/private/x.html"_s, QString(), u"http://www.example.com/private"_s, false,
         dropped},
        {"relative href resolved into a prefix", u"x.html"_s, QString(), u"http://www.example.com/a/b/"_s, false,
         dropped},
        {"prefix in other letter case kept", u"/x"_s, QString(), u"HTTP://WWW.EXAMPLE.COM/"_s, false,
         u"http://www.example.com/x"_s},
        {"prefix tested after # removal", u"#top"_s, QString(), u"http://www.example.com/a/b/#"_s, true,
         u"http://www.example.com/a/b/"_s},
        {"prefix with # unticked", u"#top"_s, QString(), u"http://www.example.com/a/b/#"_s, false, dropped},
        {"second entry matches", u"/x"_s, QString(), u"http://a.org/\r\nhttp://www.example.com/"_s, false, dropped},
        {"CR-only separated entries", u"/x"_s, QString(), u"http://a.org/\rhttp://www.example.com/"_s, false, dropped},
        {"LF-only separated entries", u"/x"_s, QString(), u"http://a.org/\nhttp://www.example.com/"_s, false, dropped},
        {"mail links by their scheme", u"mailto:a@b.org"_s, QString(), u"mailto:"_s, false, dropped},
        {"blank middle line drops every link", u"http://other.net/"_s, QString(),
         u"http://a.org/\r\n\r\nhttp://b.org/"_s, false, dropped},
        {"blank lines around the entries vanish", u"/x"_s, QString(), u"\r\n\r\nhttp://a.org/\r\n\r\n"_s, false,
         u"http://www.example.com/x"_s},
        {"a line of blanks is not an empty entry", u"/x"_s, QString(), u"http://a.org/\r\n   \r\nhttp://b.org/"_s,
         false, u"http://www.example.com/x"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const RunOptions options =
            makeOptions(kPage, UrlBaseMode::Domain, c.removeAnchors, c.ignoreUrls, c.ignoreExtensions);
        const QString base = c.href.startsWith(u"mailto:"_s) ? QString() : kPage; // mail links come without one
        EXPECT_EQ(linkOf(addLink(c.href, base, options)), c.link);
    }
}

TEST(LinkResolver, RowCarriesFollowAnchorTextAndTheCollectedIcon)
{
    struct Case
    {
        const char *name;
        QString anchorText;
        QString expected;
    };

    const std::vector<Case> cases = {
        {"plain text", u"Home page"_s, u"Home page"_s},
        {"CR LF becomes one blank", u"Home\r\npage"_s, u"Home page"_s},
        {"every CR LF pair", u"a\r\n\r\nb"_s, u"a  b"_s},
        {"lone LF stays", u"a\nb"_s, u"a\nb"_s},
        {"lone CR stays", u"a\rb"_s, u"a\rb"_s},
        {"LF CR is no pair", u"a\n\rb"_s, u"a\n\rb"_s},
        {"empty", QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<LinkRow> row = AddLink(u"d.html"_s, kPage, u"NOFOLLOW"_s, c.anchorText, makeOptions());
        ASSERT_TRUE(row.has_value());
        const LinkRow expected{u"http://www.example.com/a/b/d.html"_s,
                               u"NOFOLLOW"_s,
                               u"Internal"_s,
                               c.expected,
                               QString(),
                               QString(),
                               kIconCollected};
        EXPECT_EQ(*row, expected);
    }
}

TEST(LinkResolver, EveryOccurrenceOfALinkIsARow)
{
    const RunOptions options = makeOptions();
    const std::optional<LinkRow> first = addLink(u"d.html"_s, kPage, options);
    const std::optional<LinkRow> second = addLink(u"d.html"_s, kPage, options);
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(*first, *second);
}

TEST(LinkResolver, ClassifiesByDomainOrByHost)
{
    struct Case
    {
        const char *name;
        QString page;
        QString href;
        QString domainType;    // with "Domain Name"
        QString subdomainType; // with "Subdomain Name"
    };

    const QString in = u"Internal"_s;
    const QString ex = u"External"_s;
    const std::vector<Case> cases = {
        {"same host", kPage, u"/x"_s, in, in},
        {"other scheme and port", kPage, u"https://www.example.com:8443/x"_s, in, ex},
        {"other scheme, same host", kPage, u"https://www.example.com/x"_s, in, in},
        {"subdomain", kPage, u"http://blog.example.com/"_s, in, ex},
        {"other domain", kPage, u"http://www.other.org/"_s, ex, ex},
        {"host in other letter case", kPage, u"http://WWW.EXAMPLE.COM/"_s, ex, ex},
        {"user information", kPage, u"http://me@www.example.com/"_s, in, ex},
        {"short names are taken whole, subdomain included", u"http://www.abc.de/"_s, u"http://blog.abc.de/"_s, ex, ex},
        {"country domain with a category", u"http://www.shop.co.uk/"_s, u"http://shop.co.uk/"_s, in, ex},
        {"other country domain", u"http://www.shop.co.uk/"_s, u"http://other.co.uk/"_s, ex, ex},
        // Where the domain pattern reads neither host, the registrable domains decide.
        {"IP number on an IP page", u"http://192.168.1.1/"_s, u"http://10.0.0.1/"_s, ex, ex},
        {"same IP number, other port", u"http://192.168.1.1/"_s, u"http://192.168.1.1:8080/x"_s, in, ex},
        {"relative href on an IP page", u"http://127.0.0.1:8090/big.html"_s, u"rel/x.html"_s, in, in},
        {"same IP number with the root's dot", u"http://192.168.1.1/"_s, u"http://192.168.1.1./"_s, in, ex},
        {"same single label in other letter case", u"http://intranet/"_s, u"http://INTRANET/x"_s, in, ex},
        {".invalid name on an IP page", u"http://127.0.0.1/"_s, u"http://nosuch.invalid/"_s, ex, ex},
        {"IPv6 numbers", u"http://[::1]/"_s, u"http://[::2]/"_s, ex, ex},
        {"long top-level labels, other domain", u"http://www.studio.photography/"_s, u"http://unrelated.technology/"_s,
         ex, ex},
        {"long top-level labels, same domain", u"http://www.studio.photography/"_s,
         u"http://blog.studio.photography/"_s, in, ex},
        {"long top-level labels in other letter case", u"http://www.studio.photography/"_s,
         u"http://Studio.PHOTOGRAPHY/"_s, in, ex},
        {"IP number on a long-label page", u"http://www.studio.photography/"_s, u"http://192.0.2.7/"_s, ex, ex},
        {"punycode host on a long-label page", u"http://www.studio.photography/"_s,
         u"http://xn--80ak6aa92e.xn--p1ai/"_s, ex, ex},
        {"single labels", u"http://intranet/"_s, u"http://wiki/"_s, ex, ex},
        {"same single label", u"http://intranet/"_s, u"http://intranet/x"_s, in, in},
        {"IP number on a named page", kPage, u"http://10.0.0.1/"_s, ex, ex},
        {"mail link on a named page", kPage, u"mailto:a@example.com"_s, ex, ex},
        {"mail link on a page without a host", u"file:///C:/site/index.html"_s, u"mailto:a@example.com"_s, in, in},
        {"local file: relative href", u"file:///C:/site/index.html"_s, u"d.html"_s, in, in},
        {"local file: web address", u"file:///C:/site/index.html"_s, u"http://www.example.com/"_s, ex, ex},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // The run's base is the page address, or the path after "file:///"; mail links come without one.
        QString base = c.page.startsWith(u"file:///"_s) ? c.page.sliced(8) : c.page;
        if (c.href.startsWith(u"mailto:"_s)) {
            base.clear();
        }
        const std::optional<LinkRow> byDomain = addLink(c.href, base, makeOptions(c.page, UrlBaseMode::Domain));
        const std::optional<LinkRow> byHost = addLink(c.href, base, makeOptions(c.page, UrlBaseMode::Subdomain));
        ASSERT_TRUE(byDomain.has_value());
        ASSERT_TRUE(byHost.has_value());
        EXPECT_EQ(byDomain->type, c.domainType);
        EXPECT_EQ(byHost->type, c.subdomainType);
    }
}

TEST(LinkResolver, NoUrlBaseModeAddsNoRows)
{
    const RunOptions options = makeOptions(kPage, UrlBaseMode::None);
    const std::vector<QString> hrefs = {u"/x"_s, u"d.html"_s, u"http://other.org/"_s, u"mailto:a@b.org"_s};
    for (const QString &href : hrefs) {
        SCOPED_TRACE(href.toStdString());
        EXPECT_FALSE(addLink(href, kPage, options).has_value());
    }
}

TEST(LinkResolver, ResolveParentPathClimbsOneFolderPerDotDot)
{
    struct Case
    {
        const char *name;
        QString href;
        QString base;
        QString expected;
    };

    const QString page = u"http://h.com/a/b/c.html"_s;
    QString longChain;
    for (int i = 0; i < 20000; ++i) {
        longChain += u"../"_s;
    }
    longChain += u"x"_s;
    const std::vector<Case> cases = {
        {"one up", u"../x"_s, page, u"http://h.com/a/x"_s},
        {"bare dot-dot", u".."_s, page, u"http://h.com/a/"_s},
        {"dot-dot and slash", u"../"_s, page, u"http://h.com/a/"_s},
        {"two up", u"../../x"_s, page, u"http://h.com/x"_s},
        {"ending in dot-dot", u"../.."_s, page, u"http://h.com/"_s},
        {"above the root", u"../../../x"_s, page, u"http://h.com/x"_s},
        {"a name beginning with dots climbs too", u"../..x"_s, page, u"http://h.com/x"_s},
        {"host-only base", u"../x"_s, u"http://h.com"_s, u"http://h.com/x"_s},
        {"host with a slash", u"../x"_s, u"http://h.com/"_s, u"http://h.com/x"_s},
        {"root keeps user info and port", u"../../x"_s, u"https://u@h.com:81/a/b"_s, u"https://u@h.com:81/x"_s},
        {"local path", u"../x"_s, u"C:/a/b/c.html"_s, u"C:/a/x"_s},
        {"local path has no root", u"../../../x"_s, u"C:/a/b/c.html"_s, u"x"_s},
        {"backslash path", u"../x"_s, u"C:\\a\\b.html"_s, u"x"_s},
        {"empty base", u"../x"_s, QString(), u"x"_s},
        {"thousands of dot-dots", longChain, page, u"http://h.com/x"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ResolveParentPath(c.href, c.base), c.expected);
    }
}

TEST(SiteRoot, KeepsSchemeAndAuthorityAsWritten)
{
    struct Case
    {
        const char *name;
        QString text;
        QString expected;
    };

    const std::vector<Case> cases = {
        {"path removed", u"http://h.com/a/b"_s, u"http://h.com"_s},
        {"host only", u"http://h.com"_s, u"http://h.com"_s},
        {"trailing slash removed", u"http://h.com/"_s, u"http://h.com"_s},
        {"double slash after the host", u"http://h.com//"_s, u"http://h.com"_s},
        {"https with port", u"https://h.com:8443/x"_s, u"https://h.com:8443"_s},
        {"user information kept", u"http://u:p@h.com/x"_s, u"http://u:p@h.com"_s},
        {"a query before the first slash is kept", u"http://h.com?q=/x"_s, u"http://h.com?q="_s},
        {"capitalised scheme", u"HTTP://h.com/x"_s, QString()},
        {"other scheme", u"ftp://h.com/x"_s, QString()},
        {"local path", u"C:/site/index.html"_s, QString()},
        {"empty", QString(), QString()},
        {"scheme alone loses one slash", u"http://"_s, u"http:/"_s},
        {"https scheme alone", u"https://"_s, u"https:/"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SiteRoot(c.text), c.expected);
    }
}

TEST(SiteRoot, StripSchemeIgnoresLetterCase)
{
    struct Case
    {
        const char *name;
        QString text;
        QString expected;
    };

    const std::vector<Case> cases = {
        {"http", u"http://h.com/x"_s, u"h.com/x"_s},
        {"https", u"https://h.com"_s, u"h.com"_s},
        {"capitals", u"HTTPS://h.com"_s, u"h.com"_s},
        {"mixed case", u"Http://h.com"_s, u"h.com"_s},
        {"scheme alone", u"http://"_s, QString()},
        {"other scheme unchanged", u"ftp://h.com"_s, u"ftp://h.com"_s},
        {"one slash short unchanged", u"http:/h.com"_s, u"http:/h.com"_s},
        {"empty", QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StripScheme(c.text), c.expected);
    }
}

TEST(RegistrableDomainOf, FollowsThePublicSuffixList)
{
    struct Case
    {
        const char *name;
        QString address;
        QString expected;
    };

    const std::vector<Case> cases = {
        {"subdomain dropped", u"http://www.studio.photography/a"_s, u"studio.photography"_s},
        {"two-label suffix", u"https://a.b.shop.co.uk:8443/"_s, u"shop.co.uk"_s},
        {"letter case folded", u"http://WWW.Example.COM/"_s, u"example.com"_s},
        {"trailing dot of the root", u"http://www.example.com./"_s, u"example.com"_s},
        {"punycode suffix", u"http://a.xn--80ak6aa92e.xn--p1ai/"_s, u"xn--80ak6aa92e.xn--p1ai"_s},
        {"IPv4 number stands for itself", u"http://192.0.2.7:80/"_s, u"192.0.2.7"_s},
        {"IPv6 number stands for itself", u"http://[2001:DB8::1]/"_s, u"2001:db8::1"_s},
        {"single label stands for itself", u"http://Intranet/"_s, u"intranet"_s},
        {"a public suffix stands for itself", u"http://github.io/"_s, u"github.io"_s},
        {"no host", u"file:///home/u/a.html"_s, QString()},
        {"no scheme", u"about.html"_s, QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(registrableDomainOf(c.address), c.expected);
    }
}

TEST(DomainOf, TakesTheRegistrableLookingEndOfTheHost)
{
    struct Case
    {
        const char *name;
        QString address;
        QString expected;
    };

    const std::vector<Case> cases = {
        {"subdomain dropped", u"http://www.example.com/a"_s, u"example.com"_s},
        {"bare domain", u"http://example.com"_s, u"example.com"_s},
        {"several subdomains", u"https://a.b.c.example.com/"_s, u"example.com"_s},
        {"category and country taken whole", u"http://www.example.co.uk/"_s, u"example.co.uk"_s},
        {"short rest keeps the subdomain", u"http://www.abc.de/"_s, u"www.abc.de"_s},
        {"one-letter name before a short rest", u"http://www.x.com/"_s, u"www.x.com"_s},
        {"one-letter name alone", u"http://x.com/"_s, QString()},
        {"six-letter top level", u"http://www.example.museum/"_s, u"example.museum"_s},
        {"seven-letter top level", u"http://www.example.company/"_s, QString()},
        {"digits in the top level", u"http://host.123/"_s, QString()},
        {"hyphen inside the name", u"http://www.my-site.org/"_s, u"my-site.org"_s},
        {"IP number", u"http://192.168.1.1/x"_s, QString()},
        {"single label", u"http://localhost:8080/"_s, QString()},
        {"user information with several at signs", u"http://a@b@www.example.com/"_s, u"example.com"_s},
        {"user information with a named host inside", u"http://me@other.org:pw@example.com/"_s, u"example.com"_s},
        {"at sign in the path", u"http://example.com/x@other.org"_s, u"example.com"_s},
        {"port", u"http://www.example.com:8080/x"_s, u"example.com"_s},
        {"IPv6 literal", u"http://[2001:db8::1]:8080/x"_s, QString()},
        {"bracketed host loses brackets and port", u"http://[www.example.com]:8080/"_s, u"example.com"_s},
        {"unclosed bracket", u"http://[www.example.com/"_s, QString()},
        {"query in the authority", u"http://example.com?u=www.other.org"_s, u"example.com"_s},
        {"fragment in the authority", u"http://example.com#www.other.org"_s, u"example.com"_s},
        {"letter case kept", u"HTTP://WWW.EXAMPLE.COM/"_s, u"EXAMPLE.COM"_s},
        {"no scheme", u"www.example.com/x"_s, QString()},
        {"mail link", u"mailto:a@example.com"_s, QString()},
        {"leading double slash", u"//www.example.com/x"_s, u"example.com"_s},
        {"local file address", u"file:///C:/site/index.html"_s, QString()},
        {"empty", QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DomainOf(c.address), c.expected);
    }
}

TEST(DomainOf, AgreesWithTheDomainPatternOnRandomHosts)
{
    // The pattern as an expression: hosts of plain ASCII are read by hand, the rest by it.
    const QRegularExpression pattern(uR"(([a-z0-9][a-z0-9\-]{1,63}\.[a-z\.]{2,6})$)"_s,
                                     QRegularExpression::CaseInsensitiveOption);
    const auto expected = [&pattern](const QString &host) {
        if (!host.contains(u'.')) {
            return QString();
        }
        const QRegularExpressionMatch match = pattern.match(host);
        return match.hasMatch() ? match.captured(0) : QString();
    };
    // Letters of both cases, digits, dots, hyphens, and two characters outside ASCII, one of them
    // the Kelvin sign, which Unicode case folding matches with k.
    const QString alphabet = u"abkXYZ019..--\u212A\u00E9"_s;
    std::mt19937 rng(11);
    for (int round = 0; round < 20'000; ++round) {
        QString host;
        const int length = static_cast<int>(rng() % 80);
        const int letters = round % 4 == 0 ? alphabet.size() : alphabet.size() - 2;
        for (int i = 0; i < length; ++i) {
            host.append(alphabet[static_cast<qsizetype>(rng() % static_cast<unsigned>(letters))]);
        }
        // Long plain names next to short ends: the 63-letter limit of the name is reached.
        if (round % 5 == 0) {
            host = QString(static_cast<qsizetype>(rng() % 70), u'n') + u".co.uk"_s;
        }
        ASSERT_EQ(DomainOf(u"http://"_s + host + u"/x"_s), expected(host)) << host.toStdString();
    }
}

TEST(RunOptions, ComputesThePageSideOnce)
{
    struct Case
    {
        const char *name;
        QString page;
        QString domain;
        QString host;
    };

    const std::vector<Case> cases = {
        {"web page", u"http://user@www.example.com:8080/a/b.html"_s, u"example.com"_s, u"user@www.example.com:8080"_s},
        {"https host only", u"https://www.example.com"_s, u"example.com"_s, u"www.example.com"_s},
        {"local file", u"file:///C:/site/index.html"_s, QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const RunOptions o = RunOptions::make(u"a\nb"_s, u"pdf zip"_s, true, UrlBaseMode::Subdomain, c.page);
        EXPECT_EQ(o.pageAddress, c.page);
        EXPECT_EQ(o.pageDomain, c.domain);
        EXPECT_EQ(o.pageHost, c.host);
        EXPECT_EQ(o.ignoreUrls, (QStringList{u"a"_s, u"b"_s}));
        EXPECT_EQ(o.ignoredExtensions, (QStringList{u"pdf"_s, u"zip"_s}));
        EXPECT_TRUE(o.removeAnchors);
        EXPECT_EQ(o.urlBase, UrlBaseMode::Subdomain);
    }
}

// A crawl splits the lists once for the site and moves the options from page to page: every
// field must then be what the options made for that page say, none left from the first page.
TEST(RunOptions, ForPageEqualsTheOptionsMadeForThatPage)
{
    const std::vector<std::pair<const char *, QString>> pages = {
        {"same host, deeper path", u"http://www.example.com/a/b/c.html"_s},
        {"other subdomain", u"http://blog.example.com/post"_s},
        {"other registrable domain", u"https://example.org:8443/x?y=1"_s},
        {"public suffix host", u"http://shop.example.co.uk/"_s},
        {"loopback with port", u"http://127.0.0.1:8090/site/10/3.html"_s},
        {"local file", u"file:///C:/site/index.html"_s},
    };
    const RunOptions site = RunOptions::make(u"http://a.test/\nhttp://b.test/x"_s, u"pdf zip"_s, false,
                                             UrlBaseMode::Subdomain, u"http://user@www.example.com:8080/start.html"_s);
    for (const auto &[name, page] : pages) {
        SCOPED_TRACE(name);
        const RunOptions moved = site.forPage(page);
        const RunOptions made =
            RunOptions::make(u"http://a.test/\nhttp://b.test/x"_s, u"pdf zip"_s, false, UrlBaseMode::Subdomain, page);
        EXPECT_EQ(moved.ignoreUrls, made.ignoreUrls);
        EXPECT_EQ(moved.ignoredExtensions, made.ignoredExtensions);
        EXPECT_EQ(moved.removeAnchors, made.removeAnchors);
        EXPECT_EQ(moved.urlBase, made.urlBase);
        EXPECT_EQ(moved.pageAddress, made.pageAddress);
        EXPECT_EQ(moved.pageDomain, made.pageDomain);
        EXPECT_EQ(moved.pageHost, made.pageHost);
        EXPECT_EQ(moved.pageRegistrableDomain, made.pageRegistrableDomain);
        EXPECT_EQ(moved.pageHostName, made.pageHostName);
        // and a link resolves to the same row either way
        EXPECT_EQ(linkOf(addLink(u"/x/y.html"_s, page, moved)), linkOf(addLink(u"/x/y.html"_s, page, made)));
    }
}

TEST(RunOptions, SplitIgnoreUrlsKeepsBlankMiddleLines)
{
    struct Case
    {
        const char *name;
        QString text;
        QStringList expected;
    };

    const std::vector<Case> cases = {
        {"empty box", QString(), {}},
        {"only blank lines", u" \r\n\t\r\n "_s, {}},
        {"one entry", u"http://a.org/"_s, {u"http://a.org/"_s}},
        {"CR LF", u"a\r\nb"_s, {u"a"_s, u"b"_s}},
        {"CR only", u"a\rb"_s, {u"a"_s, u"b"_s}},
        {"LF only", u"a\nb"_s, {u"a"_s, u"b"_s}},
        {"LF CR is two breaks", u"a\n\rb"_s, {u"a"_s, u""_s, u"b"_s}},
        {"leading and trailing blank lines vanish", u"\r\n\r\na\r\nb\r\n\r\n"_s, {u"a"_s, u"b"_s}},
        {"blank middle line is an empty entry", u"a\r\n\r\nb"_s, {u"a"_s, u""_s, u"b"_s}},
        {"middle lines are not trimmed", u" a \r\n b "_s, {u"a "_s, u" b"_s}},
        {"a line of blanks stays as it is", u"a\n   \nb"_s, {u"a"_s, u"   "_s, u"b"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(splitIgnoreUrls(c.text), c.expected);
    }
}

TEST(RunOptions, SplitIgnoredExtensionsAtBlanks)
{
    struct Case
    {
        const char *name;
        QString text;
        QStringList expected;
    };

    const std::vector<Case> cases = {
        {"empty", QString(), {}},
        {"blanks only", u"   "_s, {}},
        {"one", u"pdf"_s, {u"pdf"_s}},
        {"several blanks and outer blanks", u"  pdf    zip  jpg "_s, {u"pdf"_s, u"zip"_s, u"jpg"_s}},
        {"control characters around a blank", u"pdf \t zip"_s, {u"pdf"_s, u"zip"_s}},
        {"leading dot kept as written", u".pdf"_s, {u".pdf"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(splitIgnoredExtensions(c.text), c.expected);
    }
}

} // namespace quorvel::test

// Inputs the fuzz targets turned up, kept apart from the tables above.
namespace quorvel::test {

TEST(LinkResolverFuzzCases, ResolveParentPathStaysLinearAtTheRoot)
{
    struct Case
    {
        const char *name;
        QString href;
        QString base;
        QString expected;
    };

    // Every ".." past the root used to copy the root and search the whole host again: a long host
    // and a long chain took time in the product of the two (minutes for these sizes).
    const QString longHost = u"http://"_s + QString(200000, u'h') + u".com"_s;
    QString longChain;
    for (int i = 0; i < 200000; ++i) {
        longChain += u"../"_s;
    }
    const std::vector<Case> cases = {
        {"long host, long chain", longChain + u"x"_s, longHost + u"/a/b/c.html"_s, longHost + u"/x"_s},
        {"long host, odd chain", longChain + u"../x"_s, longHost + u"/"_s, longHost + u"/x"_s},
        // Without a host the root folder is not where the climb ends: it goes on alternating.
        {"no host, two up", u"../../x"_s, u"http:///a/b"_s, u"http://x"_s},
        {"no host, three up", u"../../../x"_s, u"http:///a/b"_s, u"http:/x"_s},
        {"no host, four up", u"../../../../x"_s, u"http:///a/b"_s, u"http://x"_s},
        {"scheme only, seven up", u"../../../../../../../x"_s, u"https://"_s, u"https:/x"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ResolveParentPath(c.href, c.base), c.expected);
    }
}

} // namespace quorvel::test
