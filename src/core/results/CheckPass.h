#pragma once

#include "core/results/LinkChecker.h"

#include <functional>
#include <memory>

namespace quorvel {

class CheckPass;
class HttpSession;
struct HttpResult;

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

// Where requests wait their turn for politeness: "scheme://host:port", the host in lower case and
// the port spelt out.
QString hostKeyOf(const QString &address);

// A pass by the same rules that takes more links while it runs (the site crawl's): each link added
// is a row after the earlier ones, and an address asked by an earlier row is never asked again.
// Results are handed to the hooks only, not kept.
class CheckQueue
{
public:
    struct Hooks
    {
        // A row's result, as runCheckPass reports it.
        std::function<void(int row, const TURLStatus &status)> progress;
        // An address marked readsPage answered 2xx HTML in full: the address first asked, the one it
        // ended at after redirects, and the last answer with its body. Runs before the rows' progress.
        std::function<void(const QString &asked, const QString &finalAddress, const HttpResult &answer)> pageRead;
        // Runs once per turn of the loop, between requests: the one place where addLinks may be
        // called from inside run(). The pass ends when, after it, nothing is left to do.
        std::function<void()> turn;
    };

    CheckQueue(const LinkCheckOptions &options, HttpSession &session, int parallel, Hooks hooks);
    ~CheckQueue();
    CheckQueue(const CheckQueue &) = delete;
    CheckQueue &operator=(const CheckQueue &) = delete;

    // The rows' index of the first link added. readsPage, when given, is asked once for each address
    // not seen before: true asks it with GET and hands a 2xx HTML answer to the pageRead hook.
    int addLinks(const QStringList &links, const std::function<bool(const QString &address)> &readsPage = {});
    // Runs until every row has its result or shouldStop says so; true when stopped.
    bool run(const std::function<bool()> &shouldStop, int pollMs);

private:
    std::unique_ptr<CheckPass> m_pass;
};

} // namespace quorvel
