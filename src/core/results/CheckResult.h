#pragma once

#include "core/model/LinkRow.h"

#include <QStringList>

namespace quorvel {

struct TURLStatus;

// One result of the broken-link check put into its row, the same way in the window and the CLI:
// the "HTTP Response" and "Response Time (ms)" cells, the icon for the status code and why no
// answer came (empty when one came), and the verdict with its final answer, hops, chain and reason.
void applyCheckResult(LinkRow &row, const TURLStatus &status);

// The links of a table in row order: what a check pass requests, row i's result being result i.
QStringList linksOfRows(const LinkRows &rows);

} // namespace quorvel
