#include "core/results/WebTools.h"

#include "core/collect/LinkResolver.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// Yahoo, Domain IP List and Robots.txt take their value from SiteRoot and StripScheme.
bool addressRoutinesAvailable()
{
    return SiteRoot(u"http://a.com/x"_s) == u"http://a.com"_s && StripScheme(u"HTTP://a.com"_s) == u"a.com"_s;
}

} // namespace

TEST(WebTools, MenusInOrderWithTheirCaptions)
{
    const QList<WebTool> tools = webToolsInMenuOrder();
    QStringList captions;
    QStringList objectNames;
    for (const WebTool tool : tools) {
        captions.append(webToolCaption(tool));
        objectNames.append(webToolObjectName(tool));
    }
    EXPECT_EQ(captions, (QStringList{u"Google"_s, u"Yahoo"_s, u"Bing"_s, u"Yandex"_s, u"Google Web Cache"_s,
                                     u"Google PageSpeed Insights"_s, u"Google Structured Data Testing Tool"_s,
                                     u"Google Mobile Friendly Test"_s, u"Google Rich Results Test"_s,
                                     u"Wayback Machine"_s, u"Domain IP List"_s, u"Check HTML with W3C Validator"_s,
                                     u"AMP Validator"_s, u"Robots.txt"_s}));
    EXPECT_EQ(objectNames.first(), u"Google1"_s);
    EXPECT_EQ(objectNames[10], u"OtherDomainsonIP1"_s);
    EXPECT_EQ(objectNames.last(), u"Robotstxt1"_s);
    EXPECT_EQ(indexWebTools(), (QList<WebTool>{WebTool::Google, WebTool::Yahoo, WebTool::Bing, WebTool::Yandex}));
    EXPECT_EQ(checkIndexCaption(), u"Check Index"_s);
    EXPECT_EQ(allIndexCaption(), u"All"_s);

    QStringList fixed;
    for (const FixedTool tool : fixedToolsInMenuOrder()) {
        fixed.append(fixedToolCaption(tool) + u" -> "_s + fixedToolAddress(tool));
    }
    EXPECT_EQ(fixed, (QStringList{
                         u"Ahrefs Backlink Checker -> https://ahrefs.com/backlink-checker"_s,
                         u"Google Ads Keyword Planner -> https://ads.google.com/home/tools/keyword-planner/"_s,
                         u"Google Analytics -> https://analytics.google.com"_s,
                         u"Google Search Console -> https://search.google.com/search-console"_s,
                         u"Google Trends -> https://trends.google.com"_s,
                     }));
    EXPECT_EQ(fixedToolObjectName(FixedTool::GoogleTrends), u"GoogleTrends1"_s);
}

TEST(WebTools, TargetIsAppendedRaw)
{
    // Blanks, ampersands, number signs and non-ASCII characters are not encoded.
    const QString target = u"https://Www.A.com/p a/x.html?q=1&r=\u00E9#frag"_s;

    struct Case
    {
        WebTool tool;
        QString address;
    };

    const std::vector<Case> cases = {
        {WebTool::Google, u"https://www.google.com/search?q=site:"_s + target},
        {WebTool::Bing, u"https://www.bing.com/search?q=url:"_s + target},
        {WebTool::Yandex, u"https://yandex.com/search/?text=url:"_s + target},
        {WebTool::GoogleWebCache, u"http://webcache.googleusercontent.com/search?q=cache:"_s + target},
        {WebTool::GooglePageSpeedInsights, u"https://developers.google.com/speed/pagespeed/insights/?url="_s + target},
        {WebTool::GoogleStructuredDataTestingTool,
         u"https://search.google.com/structured-data/testing-tool/u/0/#url="_s + target},
        {WebTool::GoogleMobileFriendlyTest, u"https://search.google.com/test/mobile-friendly?url="_s + target},
        {WebTool::GoogleRichResultsTest, u"https://search.google.com/test/rich-results?url="_s + target},
        {WebTool::WaybackMachine, u"http://web.archive.org/web/*/"_s + target},
        {WebTool::W3cValidator, u"http://validator.w3.org/check?uri="_s + target},
        {WebTool::AmpValidator, u"https://validator.ampproject.org/#url="_s + target},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(webToolCaption(c.tool).toStdString());
        EXPECT_EQ(webToolAddress(c.tool, target), c.address);
        // Any text at all is taken as the target, the empty one and a capitalised scheme included.
        EXPECT_EQ(webToolAddress(c.tool, u"HTTP://a b&c"_s), c.address.chopped(target.size()) + u"HTTP://a b&c"_s);
        EXPECT_EQ(webToolAddress(c.tool, QString()), c.address.chopped(target.size()));
    }
}

// Needs SiteRoot and StripScheme of the link resolver; skipped while those are still stubs.
TEST(WebTools, AddressesFromTheSiteRootAndWithoutScheme)
{
    if (!addressRoutinesAvailable()) {
        GTEST_SKIP() << "SiteRoot/StripScheme are not implemented on this branch yet";
    }

    struct Case
    {
        const char *name;
        WebTool tool;
        QString target;
        QString address;
    };

    const std::vector<Case> cases = {
        {"Yahoo strips https", WebTool::Yahoo, u"https://a.com/p a?q=1&r=2"_s,
         u"https://search.yahoo.com/search?p=url:a.com/p a?q=1&r=2"_s},
        {"Yahoo strips a capitalised scheme", WebTool::Yahoo, u"HTTP://A.com/x"_s,
         u"https://search.yahoo.com/search?p=url:A.com/x"_s},
        {"Yahoo keeps another scheme", WebTool::Yahoo, u"ftp://a.com/"_s,
         u"https://search.yahoo.com/search?p=url:ftp://a.com/"_s},
        {"Domain IP List takes the bare host", WebTool::DomainIpList, u"https://www.a.com/p/x.html?q=1&r=2"_s,
         u"https://www.virustotal.com/gui/domain/www.a.com/relations"_s},
        {"Domain IP List of a root with slash", WebTool::DomainIpList, u"http://a.com/"_s,
         u"https://www.virustotal.com/gui/domain/a.com/relations"_s},
        {"Domain IP List of a capitalised scheme", WebTool::DomainIpList, u"HTTPS://a.com/"_s,
         u"https://www.virustotal.com/gui/domain//relations"_s},
        {"Robots.txt with path and query", WebTool::RobotsTxt, u"https://a.com/p/x.html?q=1&r=2"_s,
         u"https://a.com/robots.txt"_s},
        {"Robots.txt of a root without slash", WebTool::RobotsTxt, u"http://a.com"_s, u"http://a.com/robots.txt"_s},
        {"Robots.txt of a root with slash", WebTool::RobotsTxt, u"http://a.com/"_s, u"http://a.com/robots.txt"_s},
        {"Robots.txt of a capitalised scheme", WebTool::RobotsTxt, u"HTTP://a.com/"_s, u"/robots.txt"_s},
        {"Robots.txt of another scheme", WebTool::RobotsTxt, u"ftp://a.com/"_s, u"/robots.txt"_s},
        {"Robots.txt of nothing", WebTool::RobotsTxt, u""_s, u"/robots.txt"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(webToolAddress(c.tool, c.target), c.address);
    }
}

TEST(WebTools, RowTargetFollowsThePopupSource)
{
    struct Case
    {
        const char *name;
        QString source;
        std::optional<QString> selected;
        QString box;
        std::optional<QString> target;
    };

    const std::vector<Case> cases = {
        {"list with a selected row", u"List"_s, u"http://row/"_s, u"http://box/"_s, u"http://row/"_s},
        {"list without a selected row", u"List"_s, std::nullopt, u"http://box/"_s, std::nullopt},
        {"button takes the box untrimmed", u"Button"_s, u"http://row/"_s, u" http://box/ "_s, u" http://box/ "_s},
        {"button with an empty box", u"Button"_s, std::nullopt, u""_s, u""_s},
        {"no menu opened yet", u""_s, u"http://row/"_s, u"http://box/"_s, std::nullopt},
        {"source compared exactly", u"list"_s, u"http://row/"_s, u"http://box/"_s, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rowTargetOf(c.source, c.selected, c.box), c.target);
    }
}

} // namespace quorvel::test
