#include "core/collect/RunOptions.h"

#include "core/collect/LinkResolver.h"
#include "core/common/Text.h"

#include <QStringView>

using namespace Qt::StringLiterals;

namespace quorvel {

RunOptions RunOptions::make(const QString &ignoreUrlsText, const QString &ignoreExtensionsText, bool removeAnchors,
                            UrlBaseMode urlBase, const QString &pageAddress)
{
    RunOptions o;
    o.ignoreUrls = splitIgnoreUrls(ignoreUrlsText);
    o.ignoredExtensions = splitIgnoredExtensions(ignoreExtensionsText);
    o.removeAnchors = removeAnchors;
    o.urlBase = urlBase;
    return o.forPage(pageAddress);
}

RunOptions RunOptions::forPage(const QString &address) const
{
    RunOptions o = *this;
    o.pageAddress = address;
    o.pageDomain = DomainOf(address);
    o.pageHost = StripScheme(SiteRoot(address));
    o.pageRegistrableDomain = registrableDomainOf(address);
    o.pageHostName = hostNameOf(address);
    return o;
}

QStringList splitIgnoreUrls(const QString &boxText)
{
    const QStringView text = trimControl(QStringView(boxText));
    if (text.isEmpty()) {
        return {};
    }
    // Each entry stays as typed: only the whole text was trimmed.
    return splitLines(text, LastLine::KeepEmpty);
}

QStringList splitIgnoredExtensions(const QString &text)
{
    QStringList extensions;
    QStringView rest = trimControl(QStringView(text));
    while (!rest.isEmpty()) {
        const qsizetype blank = rest.indexOf(u' ');
        const QStringView extension = blank < 0 ? rest : rest.first(blank);
        extensions.append(extension.toString());
        rest = trimControl(rest.sliced(extension.size()));
    }
    return extensions;
}

} // namespace quorvel
