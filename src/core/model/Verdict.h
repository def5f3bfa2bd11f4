#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace quorvel {

// What a checked link's answers mean for the user: the word a user can act on.
enum class Verdict
{
    None,            // not checked (yet)
    Ok,              // a 2xx, no redirect followed
    Redirected,      // a 2xx at the end of redirects
    Broken,          // a final 4xx/5xx, or a redirect that cannot be followed
    Blocked,         // a bot wall answered, not the page
    RateLimited,     // still 429 after the retries
    Timeout,         // no answer within the time-outs
    Unreachable,     // the name, the connection or TLS failed
    FragmentMissing, // the page is there, the "#name" in it is not
    Skipped,         // not requested: mail links, addresses without http/https
};

// The verdict's word as the CLI writes it ("ok", "rate-limited", ...); empty for None.
QString verdictName(Verdict verdict);
// The same word as a view of a text that lives as long as the program (a sort key).
QStringView verdictWord(Verdict verdict);
// The verdict a word names, or nothing for a word that names none.
std::optional<Verdict> verdictNamed(QStringView name);

// One answer of a redirect chain: its status (0 when nothing answered) and the address asked.
struct RedirectHop
{
    int status = 0;
    QString address;

    friend bool operator==(const RedirectHop &, const RedirectHop &) = default;
};

} // namespace quorvel
