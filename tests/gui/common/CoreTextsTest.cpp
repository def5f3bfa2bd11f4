#include "gui/common/CoreTexts.h"

#include "core/results/CheckResult.h"
#include "core/results/WebTools.h"
#include "gui/common/Translations.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

constexpr Verdict kEveryVerdict[] = {
    Verdict::None,        Verdict::Ok,      Verdict::Redirected,  Verdict::Broken,          Verdict::Blocked,
    Verdict::RateLimited, Verdict::Timeout, Verdict::Unreachable, Verdict::FragmentMissing, Verdict::Skipped};

} // namespace

// Without a translation the window shows exactly the core's words, so its copies of them cannot
// drift from what the command line prints.
TEST(CoreTexts, UntranslatedTheyAreTheCoresTexts)
{
    for (const Verdict verdict : kEveryVerdict) {
        SCOPED_TRACE(verdictName(verdict).toStdString());
        EXPECT_EQ(shownVerdict(verdict), verdictName(verdict));
    }

    const std::vector<std::pair<const char *, std::map<Verdict, qint64>>> counts = {
        {"nothing checked", {}},
        {"one of each",
         {{Verdict::Ok, 1},
          {Verdict::Redirected, 1},
          {Verdict::Broken, 1},
          {Verdict::Blocked, 1},
          {Verdict::RateLimited, 1},
          {Verdict::Timeout, 1},
          {Verdict::Unreachable, 1},
          {Verdict::FragmentMissing, 1},
          {Verdict::Skipped, 1}}},
        {"a few kinds, unchecked rows not counted", {{Verdict::Ok, 12}, {Verdict::Skipped, 3}, {Verdict::None, 5}}},
    };
    for (const auto &[name, table] : counts) {
        SCOPED_TRACE(name);
        LinkRows rows;
        for (const auto &[verdict, n] : table) {
            for (qint64 i = 0; i < n; ++i) {
                LinkRow row;
                row.verdict = verdict;
                rows.append(row);
            }
        }
        for (const SummaryParts parts : {SummaryParts::Every, SummaryParts::Present}) {
            EXPECT_EQ(shownCheckSummary(rows, parts), checkSummary(rows, parts));
        }
    }

    for (const WebTool tool : webToolsInMenuOrder()) {
        EXPECT_EQ(shownWebToolCaption(webToolCaption(tool)), webToolCaption(tool));
    }
}

// In German the window shows German words; the names of services stay.
TEST(CoreTexts, GermanWordsAtDisplay)
{
    const Translations translations{QLocale(u"de_DE"_s)};
    ASSERT_TRUE(translations.programTranslated());

    EXPECT_EQ(shownVerdict(Verdict::Broken), u"defekt"_s);
    EXPECT_EQ(shownVerdict(Verdict::None), QString());
    LinkRows rows(3);
    rows[0].verdict = Verdict::Ok;
    rows[1].verdict = Verdict::Ok;
    rows[2].verdict = Verdict::Timeout;
    EXPECT_EQ(shownCheckSummary(rows, SummaryParts::Present), u"Links geprüft: 3 (2 OK, 1 Zeitüberschreitung)"_s);
    // The core's own line, which the command line prints, stays English.
    EXPECT_EQ(checkSummary(rows, SummaryParts::Present), u"Checked 3 links: 2 ok, 1 timeout"_s);

    const std::vector<std::pair<QString, QString>> captions = {
        {checkIndexCaption(), u"Index prüfen"_s},
        {allIndexCaption(), u"Alle"_s},
        {webToolCaption(WebTool::W3cValidator), u"HTML mit dem W3C-Validator prüfen"_s},
        {webToolCaption(WebTool::DomainIpList), u"Domains auf derselben IP"_s},
        {webToolCaption(WebTool::Google), u"Google"_s},
        {webToolCaption(WebTool::WaybackMachine), u"Wayback Machine"_s},
    };
    for (const auto &[english, german] : captions) {
        SCOPED_TRACE(english.toStdString());
        EXPECT_EQ(shownWebToolCaption(english), german);
    }
}

} // namespace quorvel::test
