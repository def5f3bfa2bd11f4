#include "core/results/CheckResult.h"

#include "core/results/LinkChecker.h"

namespace quorvel {

void ApplyCheckResult(LinkRow &row, const TURLStatus &status)
{
    row.response = status.MyMessage;
    row.responseTime = status.MyResponseTime;
    row.icon = IconForStatus(status.MyStatus);
    row.checkError = status.MyError;
}

QStringList LinksOf(const LinkRows &rows)
{
    QStringList links;
    links.reserve(rows.size());
    for (const LinkRow &row : rows) {
        links.append(row.link);
    }
    return links;
}

} // namespace quorvel
