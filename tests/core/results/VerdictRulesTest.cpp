#include "core/results/VerdictRules.h"

#include "core/analyze/PageAnalysis.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(VerdictRules, NamesRoundTrip)
{
    for (const Verdict v : {Verdict::Ok, Verdict::Redirected, Verdict::Broken, Verdict::Blocked, Verdict::RateLimited,
                            Verdict::Timeout, Verdict::Unreachable, Verdict::FragmentMissing, Verdict::Skipped}) {
        SCOPED_TRACE(verdictName(v).toStdString());
        EXPECT_FALSE(verdictName(v).isEmpty());
        EXPECT_EQ(verdictNamed(verdictName(v)), v);
    }
    EXPECT_EQ(verdictName(Verdict::None), QString());
    EXPECT_EQ(verdictName(Verdict::RateLimited), u"rate-limited"_s);
    EXPECT_EQ(verdictNamed(u"OK"), std::nullopt);
}

TEST(VerdictRules, BotWallsAreToldFromBrokenPages)
{
    struct Case
    {
        const char *name;
        int code;
        QByteArray cfMitigated;
        QString title;
        bool wall;
    };

    const std::vector<Case> cases = {
        {"LinkedIn's 999", 999, {}, {}, true},
        {"403 with the challenge header", 403, "challenge", {}, true},
        {"503 with the challenge header, spaced and capitalised", 503, " Challenge ", {}, true},
        {"403 with the waiting page's title", 403, {}, u"Just a moment..."_s, true},
        {"403 with the block page's title, extra blanks", 403, {}, u"  Attention Required!  | Cloudflare "_s, true},
        {"a plain 403", 403, {}, u"Forbidden"_s, false},
        {"a 404 with the waiting title is still broken", 404, {}, u"Just a moment..."_s, false},
        {"another mitigation value", 403, "block", {}, false},
        {"a 200 is never a wall", 200, "challenge", u"Just a moment..."_s, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isBotWall(c.code, c.cfMitigated, c.title), c.wall);
    }
}

TEST(VerdictRules, RetryAfterReadsSecondsAndDates)
{
    const QDateTime now = QDateTime(QDate(2026, 12, 10), QTime(12, 0, 0), Qt::UTC);

    struct Case
    {
        const char *name;
        QByteArray value;
        std::optional<qint64> ms;
    };

    const std::vector<Case> cases = {
        {"seconds", "3", 3000},
        {"zero", "0", 0},
        {"blanks around", " 7 ", 7000},
        {"a very long number is a day", "99999999999999", 86'400'000},
        {"IMF date ahead", "Thu, 10 Dec 2026 12:00:05 GMT", 5000},
        {"RFC 850 date ahead", "Thursday, 10-Dec-26 12:00:02 GMT", 2000},
        {"asctime date ahead", "Thu Dec 10 12:00:04 2026", 4000},
        {"a date in the past waits nothing", "Thu, 10 Dec 2026 11:00:00 GMT", 0},
        {"negative", "-5", std::nullopt},
        {"words", "soon", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(retryAfterMs(c.value, now), c.ms);
    }
}

TEST(VerdictRules, BackoffDoublesUpToItsCap)
{
    EXPECT_EQ(backoffMs(0, 30'000), 1000);
    EXPECT_EQ(backoffMs(1, 30'000), 2000);
    EXPECT_EQ(backoffMs(2, 30'000), 4000);
    EXPECT_EQ(backoffMs(5, 30'000), 30'000);
    EXPECT_EQ(backoffMs(100, 30'000), 30'000);
    EXPECT_EQ(backoffMs(0, 500), 500);
}

TEST(VerdictRules, RedirectTargetsResolveAgainstTheAnsweringAddress)
{
    struct Case
    {
        const char *name;
        QString answered;
        QByteArray location;
        QString address;
        QString error;
    };

    const std::vector<Case> cases = {
        {"absolute", u"http://a.test/x/y"_s, "https://b.test/z", u"https://b.test/z"_s, {}},
        {"root-relative", u"http://a.test/x/y"_s, "/z?q=1", u"http://a.test/z?q=1"_s, {}},
        {"path-relative", u"http://a.test/x/y"_s, "z", u"http://a.test/x/z"_s, {}},
        {"dot segments", u"http://a.test/x/y/w"_s, "../z", u"http://a.test/x/z"_s, {}},
        {"scheme-relative", u"https://a.test/x"_s, "//c.test/p", u"https://c.test/p"_s, {}},
        {"query only", u"http://a.test/x?old"_s, "?new", u"http://a.test/x?new"_s, {}},
        {"ftp", u"http://a.test/x"_s, "ftp://a.test/f", {}, u"Redirect to an unsupported scheme"_s},
        {"javascript", u"http://a.test/x"_s, "javascript:alert(1)", {}, u"Redirect to an unsupported scheme"_s},
        {"blank", u"http://a.test/x"_s, "  ", {}, u"Redirect to an invalid address"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const RedirectStep target = redirectStepOf(c.answered, c.location);
        EXPECT_EQ(target.address, c.address);
        EXPECT_EQ(target.error, c.error);
    }
}

TEST(VerdictRules, FragmentsAreFoundByIdOrAnchorName)
{
    const QByteArray page = R"(<!doctype html><title>t</title>
        <h2 id="intro">Intro</h2><a name="old-style">x</a><div id="caf&#233;"></div>
        <span name="not-a-target"></span><p>id="in-text"</p>)";
    const QSet<QString> targets = fragmentTargetsOf(page);

    struct Case
    {
        const char *name;
        QString link;
        bool found;
    };

    const std::vector<Case> cases = {
        {"an id", u"http://a.test/p#intro"_s, true},
        {"an anchor's name", u"http://a.test/p#old-style"_s, true},
        {"a percent-encoded id", u"http://a.test/p#caf%C3%A9"_s, true},
        {"a name on another element", u"http://a.test/p#not-a-target"_s, false},
        {"text that looks like an id", u"http://a.test/p#in-text"_s, false},
        {"case matters", u"http://a.test/p#Intro"_s, false},
        {"# alone", u"http://a.test/p#"_s, true},
        {"#top", u"http://a.test/p#TOP"_s, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QString> fragment = fragmentOf(c.link);
        ASSERT_TRUE(fragment.has_value());
        EXPECT_EQ(isAlwaysPresentFragment(*fragment) || targets.contains(*fragment), c.found);
    }
    EXPECT_EQ(fragmentOf(u"http://a.test/p"_s), std::nullopt);
}

} // namespace quorvel::test
