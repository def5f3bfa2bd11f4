#include "core/report/CrawlFigures.h"

#include "core/collect/LinkResolver.h"

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
    ProblemHosts hosts;
    hosts.add(problemRows);
    return hosts.top(limit);
}

void ProblemHosts::add(const QList<CrawlRow> &problemRows)
{
    for (const CrawlRow &row : problemRows) {
        ++m_counts[hostNameOf(row.row.link).toLower()];
    }
}

QList<std::pair<QString, qint64>> ProblemHosts::top(int limit) const
{
    QList<std::pair<QString, qint64>> hosts;
    hosts.reserve(m_counts.size());
    for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it) {
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
