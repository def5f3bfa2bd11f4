#pragma once

#include "core/crawl/CrawlTypes.h"

#include <QHash>
#include <QList>
#include <QString>

#include <utility>

namespace quorvel {

// How many pages a crawl fetched at each depth, shallowest first; depths without pages are left out.
QList<std::pair<int, qint64>> pagesByDepth(const QList<CrawlPage> &pages);

// The hosts of the links of problem rows with the most such rows, most first (ties by host name),
// at most limit of them. A row without a host counts under "" .
QList<std::pair<QString, qint64>> hostsWithMostProblems(const QList<CrawlRow> &problemRows, int limit = 10);

// The same count kept as problem rows come in batches: each row is looked at once, and the ranking
// costs the hosts, not the rows.
class ProblemHosts
{
public:
    void add(const QList<CrawlRow> &problemRows);
    void clear() { m_counts.clear(); }
    // As hostsWithMostProblems for every row added since the last clear().
    QList<std::pair<QString, qint64>> top(int limit = 10) const;

private:
    QHash<QString, qint64> m_counts;
};

} // namespace quorvel
