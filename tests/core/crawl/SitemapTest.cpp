#include "core/crawl/Sitemap.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <vector>
#include <zlib.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

const QUrl kBase(u"https://h.example/maps/sitemap.xml"_s);

// gzip data (one member) of text repeated count times, made piece by piece so a large input never
// has to exist whole.
QByteArray gzip(QByteArrayView text, qsizetype count = 1)
{
    z_stream z = {};
    EXPECT_EQ(deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, MAX_WBITS + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    QByteArray out;
    char buffer[16384];
    for (qsizetype i = 0; i < count; ++i) {
        const bool last = i + 1 == count;
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
        z.avail_in = uInt(text.size());
        int rc = Z_OK;
        do {
            z.next_out = reinterpret_cast<Bytef *>(buffer);
            z.avail_out = sizeof(buffer);
            rc = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer, qsizetype(sizeof(buffer) - z.avail_out));
        } while (z.avail_out == 0 || (last && rc != Z_STREAM_END));
    }
    deflateEnd(&z);
    return out;
}

QByteArray urlset(const QByteArray &entries)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?>)"
           "\n<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n" +
           entries + "</urlset>\n";
}

QByteArray entry(const QByteArray &loc)
{
    return "  <url><loc>" + loc + "</loc><lastmod>2024-01-01</lastmod></url>\n";
}

QStringList texts(const QList<QUrl> &urls)
{
    QStringList out;
    for (const QUrl &url : urls) {
        out.append(url.toString(QUrl::FullyEncoded));
    }
    return out;
}

} // namespace

TEST(Sitemap, ReadsEachKindOfDocument)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        SitemapKind kind;
        QStringList urls;
        QStringList sitemaps;
        QStringList skipped;
        const char *error; // a part of the message, or nullptr when there is none
    };

    const QByteArray twoPages = urlset(entry("https://h.example/a") + entry("https://h.example/b"));
    const QByteArray index = R"(<?xml version="1.0" encoding="UTF-8"?>
<sitemapindex xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">
  <sitemap><loc>https://h.example/maps/one.xml.gz</loc><lastmod>2024-01-01</lastmod></sitemap>
  <sitemap>
    <loc>
      https://h.example/maps/two.xml
    </loc>
  </sitemap>
</sitemapindex>
)";
    QByteArray twoMembers = gzip(R"(<urlset><url><loc>http://h.example/1</loc></url>)");
    twoMembers += gzip(R"(<url><loc>http://h.example/2</loc></url></urlset>)");
    const QByteArray longPage = "https://h.example/" + QByteArray(100 * 1024, 'p');
    QByteArray utf16 = "\xFF\xFE";
    const QString utf16Text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><urlset><url><loc>https://h.example/\u00E4"
                              u"</loc></url></urlset>"_s;
    utf16.append(reinterpret_cast<const char *>(utf16Text.utf16()), utf16Text.size() * 2);

    const std::vector<Case> cases = {
        {"url set",
         twoPages,
         SitemapKind::UrlSet,
         {u"https://h.example/a"_s, u"https://h.example/b"_s},
         {},
         {},
         nullptr},
        {"sitemap index",
         index,
         SitemapKind::Index,
         {},
         {u"https://h.example/maps/one.xml.gz"_s, u"https://h.example/maps/two.xml"_s},
         {},
         nullptr},
        {"loc text is trimmed and unescaped",
         urlset("<url><loc>\n\t https://h.example/a?x=1&amp;y=2 \n</loc></url>"
                "<url><loc><![CDATA[https://h.example/c]]></loc></url>"),
         SitemapKind::UrlSet,
         {u"https://h.example/a?x=1&y=2"_s, u"https://h.example/c"_s},
         {},
         {},
         nullptr},
        {"a prefixed namespace",
         R"(<sm:urlset xmlns:sm="http://www.sitemaps.org/schemas/sitemap/0.9"><sm:url><sm:loc>https://h.example/a</sm:loc></sm:url></sm:urlset>)",
         SitemapKind::UrlSet,
         {u"https://h.example/a"_s},
         {},
         {},
         nullptr},
        {"an undeclared prefix",
         R"(<sm:sitemapindex><sm:sitemap><sm:loc>https://h.example/s.xml</sm:loc></sm:sitemap></sm:sitemapindex>)",
         SitemapKind::Index,
         {},
         {u"https://h.example/s.xml"_s},
         {},
         nullptr},
        {"no namespace, names in capitals",
         "<URLSET><URL><LOC>https://h.example/a</LOC></URL></URLSET>",
         SitemapKind::UrlSet,
         {u"https://h.example/a"_s},
         {},
         {},
         nullptr},
        {"image and video locations are no pages",
         R"(<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9" xmlns:image="http://www.google.com/schemas/sitemap-image/1.1" xmlns:video="http://www.google.com/schemas/sitemap-video/1.1">
<url><loc>https://h.example/page</loc>
<image:image><image:loc>https://h.example/pic.jpg</image:loc></image:image>
<video:video><video:content_loc>https://h.example/v.mp4</video:content_loc><video:player_loc>https://h.example/p</video:player_loc></video:video>
</url></urlset>)",
         SitemapKind::UrlSet,
         {u"https://h.example/page"_s},
         {},
         {},
         nullptr},
        {"a loc outside an url entry is no page",
         urlset("<loc>https://h.example/stray</loc>" + entry("/a")),
         SitemapKind::UrlSet,
         {u"https://h.example/a"_s},
         {},
         {},
         nullptr},
        {"relative locs are resolved against the sitemap",
         urlset(entry("/top.html") + entry("page.html") + entry("//other.example/x")),
         SitemapKind::UrlSet,
         {u"https://h.example/top.html"_s, u"https://h.example/maps/page.html"_s, u"https://other.example/x"_s},
         {},
         {},
         nullptr},
        {"a loc with a blank inside is no address",
         urlset(entry("https://h.example/a b")),
         SitemapKind::UrlSet,
         {},
         {},
         {u"https://h.example/a b"_s},
         nullptr},
        {"only http and https are kept",
         urlset(entry("ftp://h.example/f") + entry("HTTP://h.example/upper") + entry("mailto:a@h.example") +
                entry("javascript:go()") + entry("http://") + entry("  ")),
         SitemapKind::UrlSet,
         {u"http://h.example/upper"_s},
         {},
         {u"ftp://h.example/f"_s, u"mailto:a@h.example"_s, u"javascript:go()"_s, u"http://"_s},
         nullptr},
        {"a far too long loc is skipped and shown by its start",
         urlset(entry(longPage) + entry("https://h.example/b")),
         SitemapKind::UrlSet,
         {u"https://h.example/b"_s},
         {},
         {QString::fromLatin1(longPage.first(200)) + u"\u2026"_s},
         nullptr},
        {"entries after a deep nesting are read",
         urlset(entry("https://h.example/a") + "<x>" + QByteArray("<y>").repeated(1000) +
                "<url><loc>https://h.example/no</loc></url>" + QByteArray("</y>").repeated(1000) + "</x>" +
                entry("https://h.example/b")),
         SitemapKind::UrlSet,
         {u"https://h.example/a"_s, u"https://h.example/b"_s},
         {},
         {},
         nullptr},
        {"UTF-16 XML", utf16, SitemapKind::UrlSet, {u"https://h.example/%C3%A4"_s}, {}, {}, nullptr},

        {"malformed XML keeps what came before",
         "<urlset><url><loc>https://h.example/1</loc></url><url><loc>https://h.example/2</loc></url><url><loc>http",
         SitemapKind::UrlSet,
         {u"https://h.example/1"_s, u"https://h.example/2"_s},
         {},
         {},
         "not well-formed XML"},
        {"mismatched tags",
         "<urlset><url><loc>https://h.example/1</loc></url><url></loc></urlset>",
         SitemapKind::UrlSet,
         {u"https://h.example/1"_s},
         {},
         {},
         "line 1"},
        {"an entity bomb is refused",
         R"(<?xml version="1.0"?><!DOCTYPE x [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;"><!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">]>
<urlset><url><loc>https://h.example/1</loc></url><url><loc>&d;</loc></url></urlset>)",
         SitemapKind::UrlSet,
         {u"https://h.example/1"_s},
         {},
         {},
         "not well-formed XML"},
        {"an HTML page is no sitemap",
         "<!DOCTYPE html>\n<html><body><a href=\"/x\">x</a></body></html>",
         SitemapKind::Unknown,
         {},
         {},
         {},
         "root element is <html>"},
        {"an empty body", " \r\n", SitemapKind::Unknown, {}, {}, {}, "empty"},

        {"a text sitemap",
         "\xEF\xBB\xBFhttps://h.example/a\r\n\r\n  https://h.example/b  \rfile.html\nnot an address\n"
         "ftp://h.example/f\n",
         SitemapKind::PlainText,
         {u"https://h.example/a"_s, u"https://h.example/b"_s},
         {},
         {u"file.html"_s, u"not an address"_s, u"ftp://h.example/f"_s},
         nullptr},

        {"a gzip url set",
         gzip(twoPages),
         SitemapKind::UrlSet,
         {u"https://h.example/a"_s, u"https://h.example/b"_s},
         {},
         {},
         nullptr},
        {"a gzip text sitemap",
         gzip("https://h.example/a\n"),
         SitemapKind::PlainText,
         {u"https://h.example/a"_s},
         {},
         {},
         nullptr},
        {"gzip of several members",
         twoMembers,
         SitemapKind::UrlSet,
         {u"http://h.example/1"_s, u"http://h.example/2"_s},
         {},
         {},
         nullptr},
        {"gzip cut short",
         gzip(twoPages).first(gzip(twoPages).size() - 12),
         SitemapKind::UrlSet,
         {u"https://h.example/a"_s, u"https://h.example/b"_s},
         {},
         {},
         "ends early"},
        {"gzip with a damaged check sum",
         gzip(twoPages).first(gzip(twoPages).size() - 8) + QByteArray(8, '\x55'),
         SitemapKind::UrlSet,
         {u"https://h.example/a"_s, u"https://h.example/b"_s},
         {},
         {},
         "damaged"},
        {"gzip magic and nothing else", "\x1F\x8B", SitemapKind::Unknown, {}, {}, {}, "ends early"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SitemapDocument doc = parseSitemap(c.bytes, kBase);
        EXPECT_EQ(doc.kind, c.kind);
        EXPECT_EQ(texts(doc.urls), c.urls);
        EXPECT_EQ(texts(doc.sitemaps), c.sitemaps);
        EXPECT_EQ(doc.skipped, c.skipped);
        if (c.error == nullptr) {
            EXPECT_EQ(doc.error, QString());
        } else {
            EXPECT_TRUE(doc.error.contains(QLatin1StringView(c.error))) << doc.error.toStdString();
        }
    }
}

TEST(Sitemap, ReadsAtMostTheProtocolsCountOfAddresses)
{
    struct Case
    {
        const char *name;
        qsizetype count;
        bool text;
        bool gzipped;
    };

    const std::vector<Case> cases = {
        {"exactly the limit in XML", kSitemapUrlLimit, false, false},
        {"one more than the limit in XML", kSitemapUrlLimit + 1, false, false},
        {"far more than the limit in gzip XML", kSitemapUrlLimit * 2, false, true},
        {"exactly the limit in text", kSitemapUrlLimit, true, false},
        {"one more than the limit in text", kSitemapUrlLimit + 1, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray entries;
        for (qsizetype i = 0; i < c.count; ++i) {
            const QByteArray address = "https://h.example/p" + QByteArray::number(i);
            entries += c.text ? address + '\n' : entry(address);
        }
        QByteArray bytes = c.text ? entries : urlset(entries);
        if (c.gzipped) {
            bytes = gzip(bytes);
        }
        const SitemapDocument doc = parseSitemap(bytes, kBase);
        const bool cut = c.count > kSitemapUrlLimit;
        ASSERT_EQ(doc.urls.size(), cut ? kSitemapUrlLimit : c.count);
        EXPECT_EQ(doc.urls.last(), QUrl(u"https://h.example/p%1"_s.arg(doc.urls.size() - 1)));
        EXPECT_EQ(doc.error.contains(u"more than 50000 addresses"_s), cut) << doc.error.toStdString();
    }
}

TEST(Sitemap, InflatingStopsAtTheLimit)
{
    struct Case
    {
        const char *name;
        qsizetype size;
        qsizetype limit;
        bool over;
    };

    const std::vector<Case> cases = {
        {"under the limit", 999, 1000, false},
        {"exactly the limit", 1000, 1000, false},
        {"one byte over", 1001, 1000, true},
        {"far over, past the first output block", 10 * 1024 * 1024, 100 * 1024, true},
        {"nothing at all", 0, 1000, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const QByteArray out = inflateGzip(gzip("z", c.size), c.limit, &error);
        EXPECT_EQ(out, QByteArray(c.over ? c.limit : c.size, 'z'));
        EXPECT_LE(out.capacity(), c.limit) << "the output grew past the limit";
        EXPECT_EQ(error.contains(u"more than"_s), c.over) << error.toStdString();
    }
}

// A few dozen kilobytes that inflate to more than a sitemap may hold end with an error, not with the
// whole bomb in memory.
TEST(Sitemap, GzipBombStopsAtFiftyMegabytes)
{
    const QByteArray header = "<urlset>" + entry("https://h.example/first");
    const QByteArray bomb = gzip(header) + gzip(QByteArray(1024 * 1024, ' '), 60);
    ASSERT_LT(bomb.size(), 200 * 1024);
    const SitemapDocument doc = parseSitemap(bomb, kBase);
    EXPECT_EQ(doc.kind, SitemapKind::UrlSet);
    EXPECT_EQ(texts(doc.urls), QStringList{u"https://h.example/first"_s});
    EXPECT_TRUE(doc.error.contains(u"more than 50 MB"_s)) << doc.error.toStdString();
}

} // namespace quorvel::test
