#include "core/results/CheckResult.h"

#include "core/results/LinkChecker.h"

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

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

QString checkSummary(const LinkRows &rows, SummaryParts parts)
{
    static constexpr auto kOrder = std::to_array<Verdict>(
        {Verdict::Ok, Verdict::Redirected, Verdict::Broken, Verdict::Blocked, Verdict::RateLimited, Verdict::Timeout,
         Verdict::Unreachable, Verdict::FragmentMissing, Verdict::Skipped});
    std::array<qsizetype, kOrder.size()> counts{};
    qsizetype checked = 0;
    for (const LinkRow &row : rows) {
        const auto *at = std::find(kOrder.cbegin(), kOrder.cend(), row.verdict);
        if (at != kOrder.cend()) {
            ++counts[size_t(at - kOrder.cbegin())];
            ++checked;
        }
    }
    QStringList named;
    for (size_t i = 0; i < kOrder.size(); ++i) {
        if (parts == SummaryParts::Every || counts[i] > 0) {
            named << u"%1 %2"_s.arg(counts[i]).arg(verdictName(kOrder[i]));
        }
    }
    return u"Checked %1 links: %2"_s.arg(checked).arg(named.join(u", "_s));
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
