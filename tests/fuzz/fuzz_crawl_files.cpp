// The files a site crawl reads before its pages: robots.txt and sitemaps. Input: one byte that picks
// the reader and the robots.txt answer's status, then for robots.txt the crawler's User-Agent and a
// path (one line each), for a sitemap its own address (one line); the rest is the file.

#include "FuzzInput.h"

#include "core/crawl/Robots.h"
#include "core/crawl/Sitemap.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <array>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;
using namespace quorvel;

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

const std::array<int, 8> kStatuses = {200, 206, 301, 404, 429, 500, 503, 0};

void fuzzRobots(uint8_t choice, fuzz::FuzzInput &in)
{
    const QString agent = QString::fromUtf8(in.line());
    const QString path = QString::fromUtf8(in.line());
    const QByteArray file = in.rest();
    const int status = kStatuses[(choice >> 1) % kStatuses.size()];
    const RobotsRules rules = robotsForAnswer(status, file, robotsProductToken(agent));
    (void)rules.allows(path);
    check(rules.allows(u"/robots.txt"));
    // Empty Allow and Disallow lines say nothing and are not kept.
    for (const RobotsRule &rule : rules.rules) {
        check(!rule.pattern.isEmpty());
    }
    check(!rules.disallowAll || rules.rules.isEmpty());
}

void fuzzSitemap(fuzz::FuzzInput &in)
{
    const QUrl base(QString::fromUtf8(in.line()));
    const QByteArray bytes = in.rest();
    const SitemapDocument doc = parseSitemap(bytes, base);
    check(doc.urls.size() + doc.sitemaps.size() + doc.skipped.size() <= kSitemapUrlLimit);
    for (const QList<QUrl> *list : {&doc.urls, &doc.sitemaps}) {
        for (const QUrl &url : *list) {
            check(url.scheme() == u"http"_s || url.scheme() == u"https"_s);
            check(!url.host().isEmpty());
        }
    }
    check(doc.kind != SitemapKind::UrlSet || doc.sitemaps.isEmpty());
    check(doc.kind != SitemapKind::Index || doc.urls.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::FuzzInput in(data, size);
    const uint8_t choice = in.byte();
    if ((choice & 1) == 0) {
        fuzzRobots(choice, in);
    } else {
        fuzzSitemap(in);
    }
    return 0;
}
