#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace quorvel {

// The commands of the two command menus (Check button drop-down and results list context menu)
// that open a public web tool for one link, in menu order: the four index checks of the
// "Check Index" submenu, then the others.
enum class WebTool
{
    Google,
    Yahoo,
    Bing,
    Yandex,
    GoogleWebCache,
    GooglePageSpeedInsights,
    GoogleStructuredDataTestingTool,
    GoogleMobileFriendlyTest,
    GoogleRichResultsTest,
    WaybackMachine,
    DomainIpList,
    W3cValidator,
    AmpValidator,
    RobotsTxt,
};

// The items of the main menu "Tools", in menu order: fixed pages that take no link.
enum class FixedTool
{
    AhrefsBacklinkChecker,
    GoogleAdsKeywordPlanner,
    GoogleAnalytics,
    GoogleSearchConsole,
    GoogleTrends,
};

// Every web tool in menu order.
QList<WebTool> webToolsInMenuOrder();

// What "All" runs, in this order: Google, Yahoo, Bing, Yandex.
QList<WebTool> indexWebTools();

// The captions of the submenu and of its "All" item.
QString checkIndexCaption();
QString allIndexCaption();

// The menu caption ("Google", "Domain IP List", "Robots.txt", ...).
QString webToolCaption(WebTool tool);

// The menu item's objectName, after its handler ("Google1", "OtherDomainsonIP1", "Robotstxt1").
QString webToolObjectName(WebTool tool);

// The address to open for target. The value (target, StripScheme(target), SiteRoot(target) or
// StripScheme(SiteRoot(target))) is appended raw: blanks, ampersands, number signs and non-ASCII
// characters are not encoded. A target that is not an http(s) link gives "/robots.txt" alone for
// Robots.txt; that address simply fails to open.
QString webToolAddress(WebTool tool, const QString &target);

// Every Tools menu item in menu order, with its caption, objectName and fixed address.
QList<FixedTool> fixedToolsInMenuOrder();
QString fixedToolCaption(FixedTool tool);
QString fixedToolObjectName(FixedTool tool);
QString fixedToolAddress(FixedTool tool);

// The row-target rule of the two command menus: with popupSource "List", the selected row's link
// (nothing when no row is selected); with "Button", the URL box text untrimmed; otherwise nothing.
std::optional<QString> rowTargetOf(const QString &popupSource, const std::optional<QString> &selectedRowLink,
                                   const QString &urlBoxText);

} // namespace quorvel
