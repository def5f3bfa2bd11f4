#include "core/collect/RunOptions.h"

namespace quorvel {

RunOptions RunOptions::make(const QString &, const QString &, bool removeAnchors, UrlBaseMode urlBase,
                            const QString &pageAddress)
{
    RunOptions o;
    o.removeAnchors = removeAnchors;
    o.urlBase = urlBase;
    o.pageAddress = pageAddress;
    return o;
}

QStringList SplitIgnoreUrls(const QString &)
{
    return {};
}

QStringList SplitIgnoredExtensions(const QString &)
{
    return {};
}

} // namespace quorvel
