#include "core/model/Verdict.h"

#include <array>
#include <utility>

namespace quorvel {

namespace {

constexpr auto kNames = std::to_array<std::pair<Verdict, QStringView>>({
    {Verdict::Ok, u"ok"},
    {Verdict::Redirected, u"redirected"},
    {Verdict::Broken, u"broken"},
    {Verdict::Blocked, u"blocked"},
    {Verdict::RateLimited, u"rate-limited"},
    {Verdict::Timeout, u"timeout"},
    {Verdict::Unreachable, u"unreachable"},
    {Verdict::FragmentMissing, u"fragment-missing"},
    {Verdict::Skipped, u"skipped"},
});

} // namespace

QStringView verdictWord(Verdict verdict)
{
    for (const auto &[value, name] : kNames) {
        if (value == verdict) {
            return name;
        }
    }
    return {};
}

QString verdictName(Verdict verdict)
{
    return verdictWord(verdict).toString();
}

std::optional<Verdict> verdictNamed(QStringView name)
{
    for (const auto &[value, word] : kNames) {
        if (word == name) {
            return value;
        }
    }
    return std::nullopt;
}

} // namespace quorvel
