#pragma once

#include "core/model/LinkRow.h"

#include <QStringList>

#include <functional>
#include <span>

namespace quorvel {

struct TURLStatus;

// One result of the broken-link check put into its row, the same way in the window and the CLI:
// the "HTTP Response" and "Response Time (ms)" cells, the icon for the status code and why no
// answer came (empty when one came), and the verdict with its final answer, hops, chain and reason.
void applyCheckResult(LinkRow &row, const TURLStatus &status);

// How the summary names the verdicts: every one (the command line's fixed shape), or only those
// some row has (the window's status bar).
enum class SummaryParts
{
    Every,
    Present,
};

// "Checked N links: O ok, R redirected, B broken, ..." over the rows that got a verdict, the
// verdicts in a fixed order: ok, redirected, broken, blocked, rate-limited, timeout, unreachable,
// fragment-missing, skipped.
QString checkSummary(const LinkRows &rows, SummaryParts parts = SummaryParts::Every);
// The same line from counts known elsewhere (a crawl's summary): count gives each verdict's rows.
QString checkSummaryOf(const std::function<qint64(Verdict)> &count, SummaryParts parts = SummaryParts::Every);
// The verdicts the summary names, in its order.
std::span<const Verdict> checkSummaryOrder();
// How many of rows have each verdict, for checkSummaryOf.
std::function<qint64(Verdict)> verdictCounter(const LinkRows &rows);

// The links of a table in row order: what a check pass requests, row i's result being result i.
QStringList linksOfRows(const LinkRows &rows);

} // namespace quorvel
