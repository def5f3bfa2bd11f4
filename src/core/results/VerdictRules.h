#pragma once

#include "core/model/Verdict.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>

namespace quorvel {

// True for the status codes followed as redirects when they carry a Location.
bool isRedirectStatus(int code);

// True for the answers that ask to come back later: 429 and 503.
bool isRetriedStatus(int code);

// True when a 403/503 (or any 999) is a bot wall rather than the site's answer: LinkedIn's 999, a
// "cf-mitigated: challenge" header, or a challenge page's title.
bool isBotWall(int code, QByteArrayView cfMitigated, const QString &title);

// The wait a Retry-After value asks for, in milliseconds: whole seconds, or an HTTP date (against
// now; a date in the past waits 0). Nothing for a value that is neither.
std::optional<qint64> retryAfterMs(QByteArrayView value, const QDateTime &now);

// The wait before retry number `attempt` (0 for the first) when the answer named none: 1 s, 2 s,
// 4 s, ... capped at capMs.
qint64 backoffMs(int attempt, qint64 capMs);

// The next step of a redirect chain: the Location resolved against the address that answered, as
// RedirectTarget resolves it, and refused unless it leads to an http or https address.
struct RedirectStep
{
    QString address; // empty when the redirect cannot be followed
    QString error;   // why it cannot: "Redirect to an unsupported scheme", ...
};
RedirectStep redirectStepOf(const QString &answered, QByteArrayView location);

// The fragment of a link ("#name" -> "name", percent-decoded); nothing when it has none.
std::optional<QString> fragmentOf(const QString &link);
// True for fragments every page has: "" ("#" alone) and "top" (any ASCII case).
bool isAlwaysPresentFragment(const QString &fragment);

} // namespace quorvel
