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

namespace {

constexpr auto kSummaryOrder =
    std::to_array<Verdict>({Verdict::Ok, Verdict::Redirected, Verdict::Broken, Verdict::Blocked, Verdict::RateLimited,
                            Verdict::Timeout, Verdict::Unreachable, Verdict::FragmentMissing, Verdict::Skipped});

} // namespace

std::span<const Verdict> checkSummaryOrder()
{
    return kSummaryOrder;
}

std::function<qint64(Verdict)> verdictCounter(const LinkRows &rows)
{
    std::array<qint64, kSummaryOrder.size()> counts{};
    for (const LinkRow &row : rows) {
        const auto *at = std::find(kSummaryOrder.cbegin(), kSummaryOrder.cend(), row.verdict);
        if (at != kSummaryOrder.cend()) {
            ++counts[size_t(at - kSummaryOrder.cbegin())];
        }
    }
    return [counts](Verdict verdict) -> qint64 {
        const auto *at = std::find(kSummaryOrder.cbegin(), kSummaryOrder.cend(), verdict);
        return at == kSummaryOrder.cend() ? 0 : counts[size_t(at - kSummaryOrder.cbegin())];
    };
}

QString checkSummaryOf(const std::function<qint64(Verdict)> &count, SummaryParts parts)
{
    qint64 checked = 0;
    QStringList named;
    for (const Verdict verdict : kSummaryOrder) {
        const qint64 n = count(verdict);
        checked += n;
        if (parts == SummaryParts::Every || n > 0) {
            named << u"%1 %2"_s.arg(n).arg(verdictName(verdict));
        }
    }
    return u"Checked %1 links: %2"_s.arg(checked).arg(named.join(u", "_s));
}

QString checkSummary(const LinkRows &rows, SummaryParts parts)
{
    return checkSummaryOf(verdictCounter(rows), parts);
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
