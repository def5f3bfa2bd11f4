#include "core/app/MakerSite.h"

#include "core/common/Text.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

QString MakerSiteHost()
{
    return QStringLiteral(QUORVEL_MAKER_HOST);
}

MakerSite::MakerSite(QString host)
    : m_host(std::move(host))
{}

QString MakerSite::startUrl() const
{
    return u"http://"_s + m_host;
}

QString MakerSite::helpUrl(const QString &productName) const
{
    return u"http://"_s + m_host + u"/help/"_s + asciiLower(productName).replace(u' ', u'-') + u'/';
}

QString MakerSite::homeUrl() const
{
    return u"https://"_s + m_host;
}

QString MakerSite::creditsUrl() const
{
    return u"https://"_s + m_host + u"/blog/credits-and-acknowledgements/"_s;
}

QString MakerSite::uninstallUrl() const
{
    return u"http://"_s + m_host + u"/blog/how-to-uninstall-brellan-software/"_s;
}

QString MakerSite::updateFallbackUrl() const
{
    return u"http://"_s + m_host;
}

QStringList MakerSite::feedbackUrls() const
{
    return {u"https://"_s + m_host + u"/php/feedback.php"_s, u"http://"_s + m_host + u"/php/feedback.php"_s};
}

} // namespace quorvel
