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
    o.ignoreUrls = SplitIgnoreUrls(ignoreUrlsText);
    o.ignoredExtensions = SplitIgnoredExtensions(ignoreExtensionsText);
    o.removeAnchors = removeAnchors;
    o.urlBase = urlBase;
    o.pageAddress = pageAddress;
    o.pageDomain = DomainOf(pageAddress);
    o.pageHost = StripScheme(SiteRoot(pageAddress));
    o.pageRegistrableDomain = RegistrableDomainOf(pageAddress);
    o.pageHostName = HostOf(pageAddress);
    return o;
}

QStringList SplitIgnoreUrls(const QString &boxText)
{
    const QStringView text = trimControl(QStringView(boxText));
    QStringList entries;
    if (text.isEmpty()) {
        return entries;
    }
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c != u'\r' && c != u'\n') {
            continue;
        }
        // Each entry stays as typed: only the whole text was trimmed.
        entries.append(text.sliced(lineStart, i - lineStart).toString());
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++i;
        }
        lineStart = i + 1;
    }
    entries.append(text.sliced(lineStart).toString());
    return entries;
}

QStringList SplitIgnoredExtensions(const QString &text)
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
