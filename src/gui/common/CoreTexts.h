#pragma once

#include "core/model/LinkRow.h"
#include "core/model/Verdict.h"
#include "core/results/CheckResult.h"

#include <QString>

#include <functional>

namespace quorvel {

// The texts the core makes that the window shows, in the user's language. The core keeps its
// English words for the command line and for files (exports, reports); the window translates them
// here, at display. Without a translation each returns exactly the core's text.

// The verdict's word ("broken", ...); empty for None.
QString shownVerdict(Verdict verdict);

// The check summary line ("Checked N links: ..."), shaped as checkSummary().
QString shownCheckSummary(const LinkRows &rows, SummaryParts parts = SummaryParts::Every);
QString shownCheckSummaryOf(const std::function<qint64(Verdict)> &count, SummaryParts parts = SummaryParts::Every);

// A web tool's menu caption (webToolCaption(), checkIndexCaption(), ...): descriptions are
// translated, the names of services ("Google", "Wayback Machine") stay.
QString shownWebToolCaption(const QString &caption);

} // namespace quorvel
