#include "core/results/VerdictRules.h"

#include "core/collect/Collector.h"

#include <QLocale>
#include <QUrl>

#include <algorithm>
#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// An HTTP date in any of the three forms RFC 9110 accepts: IMF-fixdate, RFC 850, asctime. The day
// of the week is not read: a server that names the wrong day still means the date.
std::optional<QDateTime> httpDate(const QString &text)
{
    // The date's words and the clock apart: read as one local date and time, an hour that the local
    // zone skips (a change to summer time) would not exist.
    struct Form
    {
        QString date;
        std::array<int, 3> dateWords; // which words make the date, in the format's order
        int clockWord;
        qsizetype words;
    };

    static const auto forms = std::to_array<Form>({
        {u"d MMM yyyy"_s, {0, 1, 2}, 3, 5}, // Sun, 06 Nov 1994 08:49:37 GMT
        {u"d-MMM-yy"_s, {0, -1, -1}, 1, 3}, // Sunday, 06-Nov-94 08:49:37 GMT
        {u"MMM d yyyy"_s, {0, 1, 3}, 2, 4}, // Sun Nov  6 08:49:37 1994
    });
    const QString simplified = text.simplified();
    const qsizetype comma = simplified.indexOf(u',');
    const qsizetype blank = simplified.indexOf(u' ');
    const QString dated =
        comma >= 0 ? simplified.sliced(comma + 1).trimmed() : (blank >= 0 ? simplified.sliced(blank + 1) : simplified);
    const QStringList words = dated.split(u' ');
    const QLocale c = QLocale::c();
    for (const Form &form : forms) {
        if (words.size() != form.words || (form.words != 4 && words.last() != u"GMT")) {
            continue;
        }
        QStringList dateWords;
        for (const int at : form.dateWords) {
            if (at >= 0) {
                dateWords << words.at(at);
            }
        }
        QDate date = c.toDate(dateWords.join(u' '), form.date);
        const QTime clock = QTime::fromString(words.at(form.clockWord), u"HH:mm:ss"_s);
        if (!date.isValid() || !clock.isValid()) {
            continue;
        }
        if (form.date.endsWith(u"-yy"_s) && date.year() < 1970) {
            date = date.addYears(100); // a two-digit year below 70 is of this century
        }
        return QDateTime(date, clock, Qt::UTC);
    }
    return std::nullopt;
}

} // namespace

bool isRedirectStatus(int code)
{
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

bool isRetriedStatus(int code)
{
    return code == 429 || code == 503;
}

bool isBotWall(int code, QByteArrayView cfMitigated, const QString &title)
{
    if (code == 999) {
        return true;
    }
    if (code != 403 && code != 503) {
        return false;
    }
    if (QByteArrayView(cfMitigated.trimmed()).compare("challenge", Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QString shown = title.simplified();
    return shown == u"Just a moment..." || shown == u"Attention Required! | Cloudflare";
}

std::optional<qint64> retryAfterMs(QByteArrayView value, const QDateTime &now)
{
    const QByteArrayView trimmed = value.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    bool digits = true;
    for (const char c : trimmed) {
        digits = digits && c >= '0' && c <= '9';
    }
    if (digits) {
        // Anything beyond a day is as good as forever; the caller caps the wait anyway.
        if (trimmed.size() > 6) {
            return qint64(86'400'000);
        }
        return trimmed.toLongLong() * 1000;
    }
    const std::optional<QDateTime> when = httpDate(QString::fromLatin1(trimmed));
    if (!when) {
        return std::nullopt;
    }
    return std::max<qint64>(0, now.msecsTo(*when));
}

qint64 backoffMs(int attempt, qint64 capMs)
{
    const int doublings = std::clamp(attempt, 0, 30);
    return std::min<qint64>(qint64(1000) << doublings, std::max<qint64>(capMs, 0));
}

RedirectStep redirectStepOf(const QString &answered, QByteArrayView location)
{
    const QString written = QString::fromUtf8(location.trimmed());
    if (written.isEmpty()) {
        return {{}, u"Redirect to an invalid address"_s};
    }
    const QString address = RedirectTarget(answered, written);
    const QUrl target(address);
    const QString scheme = target.scheme().toLower();
    if (scheme != u"http" && scheme != u"https") {
        return {{}, u"Redirect to an unsupported scheme"_s};
    }
    if (!target.isValid() || target.host().isEmpty()) {
        return {{}, u"Redirect to an invalid address"_s};
    }
    return {address, {}};
}

std::optional<QString> fragmentOf(const QString &link)
{
    const qsizetype hash = link.indexOf(u'#');
    if (hash < 0) {
        return std::nullopt;
    }
    return QUrl::fromPercentEncoding(link.sliced(hash + 1).toUtf8());
}

bool isAlwaysPresentFragment(const QString &fragment)
{
    return fragment.isEmpty() || fragment.compare(u"top", Qt::CaseInsensitive) == 0;
}

} // namespace quorvel
