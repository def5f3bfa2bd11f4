#include "core/collect/Collector.h"

#include "core/collect/AnchorScanner.h"
#include "core/collect/LinkResolver.h"

using namespace Qt::StringLiterals;

namespace quorvel {

QString FixUpAddress(const QString &boxText)
{
    if (boxText.startsWith(u"http"_s) || boxText.startsWith(u"file:///"_s)) {
        return boxText;
    }
    return u"http://"_s + boxText;
}

LinkRows CollectLinks(const QString &pageText, const QString &base, const RunOptions &options)
{
    LinkRows rows;
    ScanAnchors(pageText, base,
                [&](const QString &href, const QString &linkBase, const QString &follow, const QString &anchorText) {
                    if (std::optional<LinkRow> row = AddLink(href, linkBase, follow, anchorText, options)) {
                        rows.append(std::move(*row));
                    }
                });
    return rows;
}

} // namespace quorvel
