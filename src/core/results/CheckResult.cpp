#include "core/results/CheckResult.h"

#include "core/results/LinkChecker.h"

namespace quorvel {

void applyCheckResult(LinkRow &row, const TURLStatus &status)
{
    row.response = status.MyMessage;
    row.responseTime = status.MyResponseTime;
    row.icon = iconForStatus(status.MyStatus);
    row.checkError = status.MyError;
    row.verdict = status.verdict;
    row.finalStatus = status.finalStatus;
    row.hops = status.hops;
    row.finalUrl = status.finalUrl;
    row.verdictError = status.reason;
    row.chain = status.chain;
}

QStringList linksOfRows(const LinkRows &rows)
{
    QStringList links;
    links.reserve(rows.size());
    for (const LinkRow &row : rows) {
        links.append(row.link);
    }
    return links;
}

} // namespace quorvel
