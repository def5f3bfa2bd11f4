#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace quorvel {

// The sitemap protocol's limits: 50 MB of (inflated) document and 50,000 addresses in one document.
constexpr qsizetype kSitemapSizeLimit = qsizetype{50} * 1024 * 1024;
constexpr qsizetype kSitemapUrlLimit = 50000;

enum class SitemapKind
{
    Unknown,  // nothing readable, or an XML root that is no sitemap
    UrlSet,   // <urlset>: the site's pages
    Index,    // <sitemapindex>: further sitemaps
    PlainText // one address a line
};

// What one sitemap document lists; the parser fetches nothing, the crawler follows an index itself.
struct SitemapDocument
{
    SitemapKind kind = SitemapKind::Unknown;
    QList<QUrl> urls;     // the pages of a url set or a text sitemap
    QList<QUrl> sitemaps; // the child sitemaps of an index
    // Entries that are no http or https address (trimmed as read), so the crawl can say what it left.
    QStringList skipped;
    // Why the document was not read to its end, or is no sitemap; empty when all went well. What was
    // read before the fault stays in the lists above.
    QString error;
};

// Inflates gzip data, stopping with an error once the output would pass limit: a small bomb never
// gets more memory than that. What was inflated before a fault is returned with the error.
QByteArray inflateGzip(QByteArrayView gzip, qsizetype limit, QString *error);

// Reads a sitemap: gzip (by its magic bytes) is inflated first, then the document is read as XML
// (<urlset> or <sitemapindex>, any namespace prefix) or, when it does not start with "<", as plain
// text. Relative addresses of an XML sitemap are resolved against base; a text sitemap holds
// absolute addresses only.
SitemapDocument parseSitemap(QByteArrayView bytes, const QUrl &base);

} // namespace quorvel
