#include "gui/common/CoreTexts.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

constexpr const char *kVerdictContext = "Verdict";
constexpr const char *kWebToolContext = "WebTools";

// The core's verdict words (verdictName), marked for the translation.
constexpr auto kVerdictWords = std::to_array<std::pair<Verdict, const char *>>({
    {Verdict::Ok, QT_TRANSLATE_NOOP("Verdict", "ok")},
    {Verdict::Redirected, QT_TRANSLATE_NOOP("Verdict", "redirected")},
    {Verdict::Broken, QT_TRANSLATE_NOOP("Verdict", "broken")},
    {Verdict::Blocked, QT_TRANSLATE_NOOP("Verdict", "blocked")},
    {Verdict::RateLimited, QT_TRANSLATE_NOOP("Verdict", "rate-limited")},
    {Verdict::Timeout, QT_TRANSLATE_NOOP("Verdict", "timeout")},
    {Verdict::Unreachable, QT_TRANSLATE_NOOP("Verdict", "unreachable")},
    {Verdict::FragmentMissing, QT_TRANSLATE_NOOP("Verdict", "fragment-missing")},
    {Verdict::Skipped, QT_TRANSLATE_NOOP("Verdict", "skipped")},
});

// The web tool captions that describe rather than name a service (webToolCaption and friends).
constexpr auto kWebToolCaptions = std::to_array<const char *>({
    QT_TRANSLATE_NOOP("WebTools", "Check Index"),
    QT_TRANSLATE_NOOP("WebTools", "All"),
    QT_TRANSLATE_NOOP("WebTools", "Domain IP List"),
    QT_TRANSLATE_NOOP("WebTools", "Check HTML with W3C Validator"),
});

} // namespace

QString shownVerdict(Verdict verdict)
{
    for (const auto &[value, word] : kVerdictWords) {
        if (value == verdict) {
            return QCoreApplication::translate(kVerdictContext, word);
        }
    }
    return {};
}

QString shownCheckSummaryOf(const std::function<qint64(Verdict)> &count, SummaryParts parts)
{
    qint64 checked = 0;
    QStringList named;
    for (const Verdict verdict : checkSummaryOrder()) {
        const qint64 n = count(verdict);
        checked += n;
        if (parts == SummaryParts::Every || n > 0) {
            named << u"%1 %2"_s.arg(n).arg(shownVerdict(verdict));
        }
    }
    //: %1 is the number of checked links, %2 the list of "count word" parts.
    return QCoreApplication::translate("CheckSummary", "Checked %1 links: %2").arg(checked).arg(named.join(u", "_s));
}

QString shownCheckSummary(const LinkRows &rows, SummaryParts parts)
{
    return shownCheckSummaryOf(verdictCounter(rows), parts);
}

QString shownWebToolCaption(const QString &caption)
{
    const QByteArray key = caption.toUtf8();
    for (const char *marked : kWebToolCaptions) {
        if (key == marked) {
            return QCoreApplication::translate(kWebToolContext, marked);
        }
    }
    return caption;
}

} // namespace quorvel
