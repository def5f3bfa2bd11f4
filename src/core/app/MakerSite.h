#pragma once

#include <QString>
#include <QStringList>

namespace quorvel {

// MakerSiteHost: the host name of the maker's web site, fixed at build time (QUORVEL_MAKER_HOST).
QString MakerSiteHost();

// The addresses the program forms from the maker's host. Tests pass a loopback host with its
// port ("127.0.0.1:8080"); the program uses the default.
class MakerSite
{
public:
    explicit MakerSite(QString host = MakerSiteHost());

    const QString &host() const { return m_host; }

    // Default text of the URL box ("StartURL"): http://host
    QString startUrl() const;
    // Online help: http://host/help/ + product name lower-cased with blanks as "-" + "/"
    QString helpUrl(const QString &productName) const;
    // Home page link of the About window: https://host
    QString homeUrl() const;
    QString creditsUrl() const;
    QString uninstallUrl() const;
    // Where the update popup sends the user when it has no download address: http://host
    QString updateFallbackUrl() const;
    // The feedback service, in the order the post tries them: https first, then http.
    QStringList feedbackUrls() const;

private:
    QString m_host;
};

} // namespace quorvel
