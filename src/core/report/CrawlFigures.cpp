#include "core/report/CrawlFigures.h"

#include "core/collect/LinkResolver.h"

#include <QHash>

#include <algorithm>
#include <map>

namespace quorvel {

QList<std::pair<int, qint64>> pagesByDepth(const QList<CrawlPage> &pages)
{
    std::map<int, qint64> counts;
    for (const CrawlPage &page : pages) {
        ++counts[page.depth];
    }
    return {counts.cbegin(), counts.cend()};
}

QList<std::pair<QString, qint64>> hostsWithMostProblems(const QList<CrawlRow> &problemRows, int limit)
{
    QHash<QString, qint64> counts;
    for (const CrawlRow &row : problemRows) {
        ++counts[hostNameOf(row.row.link).toLower()];
    }
    QList<std::pair<QString, qint64>> hosts;
    hosts.reserve(counts.size());
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        hosts.append({it.key(), it.value()});
    }
    std::sort(hosts.begin(), hosts.end(), [](const auto &a, const auto &b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    if (hosts.size() > limit) {
        hosts.resize(std::max(limit, 0));
    }
    return hosts;
}

} // namespace quorvel
