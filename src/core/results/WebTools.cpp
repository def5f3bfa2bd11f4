#include "core/results/WebTools.h"

#include "core/collect/LinkResolver.h"

#include <array>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Which part of the target a tool appends.
enum class Value
{
    Target,
    WithoutScheme,
    Root,
    HostOfRoot
};

struct WebToolEntry
{
    WebTool tool;
    Value value;
    QStringView caption;
    QStringView objectName;
    QStringView before; // scheme, host and the fixed text before the value
    QStringView after;  // fixed text after the value
};

constexpr auto kWebTools = std::to_array<WebToolEntry>({
    {WebTool::Google, Value::Target, u"Google", u"Google1", u"https://www.google.com/search?q=site:", u""},
    {WebTool::Yahoo, Value::WithoutScheme, u"Yahoo", u"Yahoo1", u"https://search.yahoo.com/search?p=url:", u""},
    {WebTool::Bing, Value::Target, u"Bing", u"Bing1", u"https://www.bing.com/search?q=url:", u""},
    {WebTool::Yandex, Value::Target, u"Yandex", u"Yandex1", u"https://yandex.com/search/?text=url:", u""},
    {WebTool::GoogleWebCache, Value::Target, u"Google Web Cache", u"GoogleWebCache1",
     u"http://webcache.googleusercontent.com/search?q=cache:", u""},
    {WebTool::GooglePageSpeedInsights, Value::Target, u"Google PageSpeed Insights", u"GooglePageSpeedInsights1",
     u"https://developers.google.com/speed/pagespeed/insights/?url=", u""},
    {WebTool::GoogleStructuredDataTestingTool, Value::Target, u"Google Structured Data Testing Tool",
     u"GoogleStructuredDataTestingTool1", u"https://search.google.com/structured-data/testing-tool/u/0/#url=", u""},
    {WebTool::GoogleMobileFriendlyTest, Value::Target, u"Google Mobile Friendly Test", u"GoogleMobileFriendlyTest1",
     u"https://search.google.com/test/mobile-friendly?url=", u""},
    {WebTool::GoogleRichResultsTest, Value::Target, u"Google Rich Results Test", u"GoogleRichResultsTest1",
     u"https://search.google.com/test/rich-results?url=", u""},
    {WebTool::WaybackMachine, Value::Target, u"Wayback Machine", u"WaybackMachine1", u"http://web.archive.org/web/*/",
     u""},
    {WebTool::DomainIpList, Value::HostOfRoot, u"Domain IP List", u"OtherDomainsonIP1",
     u"https://www.virustotal.com/gui/domain/", u"/relations"},
    {WebTool::W3cValidator, Value::Target, u"Check HTML with W3C Validator", u"CheckHTMLwithW3CValidator1",
     u"http://validator.w3.org/check?uri=", u""},
    {WebTool::AmpValidator, Value::Target, u"AMP Validator", u"AMPValidator1",
     u"https://validator.ampproject.org/#url=", u""},
    {WebTool::RobotsTxt, Value::Root, u"Robots.txt", u"Robotstxt1", u"", u"/robots.txt"},
});

struct FixedToolEntry
{
    FixedTool tool;
    QStringView caption;
    QStringView objectName;
    QStringView address;
};

constexpr auto kFixedTools = std::to_array<FixedToolEntry>({
    {FixedTool::AhrefsBacklinkChecker, u"Ahrefs Backlink Checker", u"AhrefsBacklinkChecker1",
     u"https://ahrefs.com/backlink-checker"},
    {FixedTool::GoogleAdsKeywordPlanner, u"Google Ads Keyword Planner", u"GoogleAdsKeywordPlanner1",
     u"https://ads.google.com/home/tools/keyword-planner/"},
    {FixedTool::GoogleAnalytics, u"Google Analytics", u"GoogleAnalytics1", u"https://analytics.google.com"},
    {FixedTool::GoogleSearchConsole, u"Google Search Console", u"GoogleSearchConsole1",
     u"https://search.google.com/search-console"},
    {FixedTool::GoogleTrends, u"Google Trends", u"GoogleTrends1", u"https://trends.google.com"},
});

const WebToolEntry &entryOf(WebTool tool)
{
    for (const WebToolEntry &entry : kWebTools) {
        if (entry.tool == tool) {
            return entry;
        }
    }
    return kWebTools[0];
}

const FixedToolEntry &entryOf(FixedTool tool)
{
    for (const FixedToolEntry &entry : kFixedTools) {
        if (entry.tool == tool) {
            return entry;
        }
    }
    return kFixedTools[0];
}

QString valueOf(Value value, const QString &target)
{
    switch (value) {
    case Value::Target:
        return target;
    case Value::WithoutScheme:
        return StripScheme(target);
    case Value::Root:
        return SiteRoot(target);
    case Value::HostOfRoot:
        return StripScheme(SiteRoot(target));
    }
    return target;
}

} // namespace

QList<WebTool> webToolsInMenuOrder()
{
    QList<WebTool> tools;
    for (const WebToolEntry &entry : kWebTools) {
        tools.append(entry.tool);
    }
    return tools;
}

QList<WebTool> indexWebTools()
{
    return {WebTool::Google, WebTool::Yahoo, WebTool::Bing, WebTool::Yandex};
}

QString checkIndexCaption()
{
    return u"Check Index"_s;
}

QString allIndexCaption()
{
    return u"All"_s;
}

QString webToolCaption(WebTool tool)
{
    return entryOf(tool).caption.toString();
}

QString webToolObjectName(WebTool tool)
{
    return entryOf(tool).objectName.toString();
}

QString webToolAddress(WebTool tool, const QString &target)
{
    const WebToolEntry &entry = entryOf(tool);
    QString address = entry.before.toString();
    address.append(valueOf(entry.value, target));
    address.append(entry.after);
    return address;
}

QList<FixedTool> fixedToolsInMenuOrder()
{
    QList<FixedTool> tools;
    for (const FixedToolEntry &entry : kFixedTools) {
        tools.append(entry.tool);
    }
    return tools;
}

QString fixedToolCaption(FixedTool tool)
{
    return entryOf(tool).caption.toString();
}

QString fixedToolObjectName(FixedTool tool)
{
    return entryOf(tool).objectName.toString();
}

QString fixedToolAddress(FixedTool tool)
{
    return entryOf(tool).address.toString();
}

std::optional<QString> rowTargetOf(const QString &popupSource, const std::optional<QString> &selectedRowLink,
                                   const QString &urlBoxText)
{
    if (popupSource == u"List") {
        return selectedRowLink;
    }
    if (popupSource == u"Button") {
        return urlBoxText;
    }
    return std::nullopt;
}

} // namespace quorvel
