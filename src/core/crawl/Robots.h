#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace quorvel {

// The parser reads this much of a robots.txt and drops the rest (and a line the cut falls into).
constexpr qsizetype kRobotsSizeLimit = qsizetype{500} * 1024;

// One Allow or Disallow line of the group that applies; its pattern is kept in the form paths are
// compared in (percent-escapes with capital hex digits, unreserved characters decoded).
struct RobotsRule
{
    bool allow = false;
    QByteArray pattern;

    bool operator==(const RobotsRule &) const = default;
};

// What one site's robots.txt lets one crawler fetch: a plain value, built once per site and read by
// the crawl on its own thread.
struct RobotsRules
{
    QList<RobotsRule> rules;
    // Every Sitemap line of the file, wherever it stands, in file order without repeats.
    QStringList sitemaps;
    // The file could not be had (a server error or no answer): nothing may be fetched.
    bool disallowAll = false;

    // May the crawler fetch this path with its query ("/a/b?c=d", percent-encoded as sent)?
    bool allows(QStringView pathAndQuery) const;
    // Can allows() say no to anything? Not when every rule allows: a crawl then asks nothing.
    bool forbidsAny() const;
};

// What robots.txt rules are matched against for an address: its path (at least "/") and its
// query, as they are sent.
QString robotsTargetOf(const QString &address);

// The product token of a User-Agent header: its first word, without the "/version" part.
QString robotsProductToken(QStringView userAgent);

// The rules of the group for productToken, or of the "*" group when no group names it, plus the
// file's sitemaps. Only the first kRobotsSizeLimit bytes are read.
RobotsRules parseRobots(QByteArrayView text, QStringView productToken);

// The rules a crawler keeps after fetching /robots.txt: the file's for a 2xx answer; everything
// allowed when there is no file (3xx left over after the redirects, 4xx other than 429); nothing
// allowed when the server failed, asked to slow down (429) or did not answer (status 0).
RobotsRules robotsForAnswer(int status, QByteArrayView body, QStringView productToken);

} // namespace quorvel
