#include "core/collect/LinkResolver.h"

namespace quorvel {

std::optional<LinkRow> AddLink(const QString &, const QString &, const QString &, const QString &,
                               const RunOptions &)
{
    return std::nullopt;
}

QString SiteRoot(const QString &)
{
    return {};
}

QString StripScheme(const QString &text)
{
    return text;
}

QString ResolveParentPath(const QString &, const QString &)
{
    return {};
}

QString DomainOf(const QString &)
{
    return {};
}

} // namespace quorvel
