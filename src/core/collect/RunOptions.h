#pragma once

#include <QString>
#include <QStringList>

namespace quorvel {

// Which links count as Internal: same registrable domain, same host, or (None) no rows at all.
enum class UrlBaseMode
{
    Domain,
    Subdomain,
    None
};

// The options one collection run uses, taken once when it starts; the page side of the
// classification is computed here, once, not per link.
struct RunOptions
{
    QStringList ignoreUrls;        // IgnoreURLS: address prefixes that drop a link
    QStringList ignoredExtensions; // split from the trimmed Ignore Extensions text
    bool removeAnchors = true;
    UrlBaseMode urlBase = UrlBaseMode::Domain;
    QString pageAddress; // the URL box text links are classified against
    QString pageDomain;  // DomainOf(pageAddress)
    QString pageHost;    // StripScheme(SiteRoot(pageAddress))
    // registrableDomainOf(pageAddress): decides Domain Name mode when the pattern reads neither host.
    QString pageRegistrableDomain;
    QString pageHostName; // hostNameOf(pageAddress): links on this very host share its registrable domain

    static RunOptions make(const QString &ignoreUrlsText, const QString &ignoreExtensionsText, bool removeAnchors,
                           UrlBaseMode urlBase, const QString &pageAddress);
    // These options for another page: the lists stay as split, the page's fields are filled anew.
    RunOptions forPage(const QString &address) const;
};

// The Ignore URLs box text: trimmed as a whole, split at CR LF, CR or LF; blank lines in the middle
// stay as empty entries, an empty box gives no entries.
QStringList splitIgnoreUrls(const QString &boxText);

// The Ignore Extensions text: trimmed, then taken apart at blanks one extension at a time.
QStringList splitIgnoredExtensions(const QString &text);

} // namespace quorvel
