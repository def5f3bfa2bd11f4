#pragma once

#include "core/results/LinkChecker.h"

#include <functional>

namespace quorvel {

class HttpSession;

struct PassOutcome
{
    LinkCheckResults results;
    bool stopped = false;
};

// One broken-link pass over links through session, on the calling thread.
//
// Rows are taken in table order. Each distinct address (fragment removed) is requested once, with
// at most `parallel` requests in flight and at most options.perHost to one host:port; a row whose
// host is busy waits while later rows of other hosts go ahead. A repeat of a link gets the first
// occurrence's outcome when it is known. An address's answers are followed to a verdict: a HEAD
// refused with 405/501 is asked again with GET, a 429/503 or a reset before any answer is repeated
// after the wait it asks for (other hosts go on meanwhile; a host that answers 429 gets half its
// bound), redirects are followed up to options.maxRedirects, and a 2xx HTML page is read for the
// fragments that point into it.
//
// progress runs once per row as its result is known (row order when parallel is 1). shouldStop is
// looked at between requests and every pollMs while waiting; once it is true the requests in
// flight end at once with what they received, and their repeats and the rows not started get
// nothing.
PassOutcome runCheckPass(const QStringList &links, const LinkCheckOptions &options, HttpSession &session, int parallel,
                         const std::function<bool()> &shouldStop, int pollMs,
                         const std::function<void(int, const TURLStatus &)> &progress);

} // namespace quorvel
