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
    o.pageAddress = pageAddress;
    o.pageDomain = DomainOf(pageAddress);
    o.pageHost = StripScheme(SiteRoot(pageAddress));
    o.pageRegistrableDomain = registrableDomainOf(pageAddress);
    o.pageHostName = hostNameOf(pageAddress);
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
