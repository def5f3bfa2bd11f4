#include "core/app/MakerSite.h"
#include "core/model/LinkRow.h"
#include "core/results/WebTools.h"
#include "gui/app/AppFormDriver.h"
#include "gui/app/TAppFormFixture.h"
#include "gui/results/ResultsModel.h"
#include "support/Fixtures.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST_F(TAppFormTest, MenuCommandsFollowTheRowTargetRule)
{
    enum class Source
    {
        None,
        Button,
        List
    };
    enum class Effect
    {
        Clipboard,
        Opened
    };

    struct Case
    {
        const char *name;
        Source source;
        int selected;
        QString item;
        Effect effect;
        std::optional<QString> expected; // nullopt: the clipboard keeps its text, nothing is opened
    };

    // Rows after the redirect: 0 the redirect row (/old.html), 1 one.html "One", 2 two.html, 3 three.
    const QString old = site.url(u"/old.html"_s);
    const QString box = site.url(u"/page.html"_s);
    const QString copyUrl = u"CopyURL1"_s;
    const QString copyAnchor = u"CopyAnchorText1"_s;
    const QString gotoUrl = u"GotoURL1"_s;
    const std::vector<Case> cases = {
        {"Copy URL from the button's menu takes the URL box even with a row selected", Source::Button, 2, copyUrl,
         Effect::Clipboard, box},
        {"Copy URL from the list's menu takes the selected row", Source::List, 2, copyUrl, Effect::Clipboard,
         kPageLinks[1]},
        {"Copy URL from the list's menu without a selected row", Source::List, -1, copyUrl, Effect::Clipboard,
         std::nullopt},
        {"Copy URL before any menu was opened", Source::None, 2, copyUrl, Effect::Clipboard, std::nullopt},
        {"Copy Anchor Text of the redirect row", Source::List, 0, copyAnchor, Effect::Clipboard, u"*redirect*"_s},
        {"Copy Anchor Text of a link row", Source::List, 1, copyAnchor, Effect::Clipboard, u"One"_s},
        {"Copy Anchor Text without a selected row", Source::List, -1, copyAnchor, Effect::Clipboard, std::nullopt},
        {"Go to URL from the list's menu opens the selected row", Source::List, 0, gotoUrl, Effect::Opened, old},
        {"Go to URL from the button's menu opens the URL box", Source::Button, 1, gotoUrl, Effect::Opened, box},
        {"Go to URL from the list's menu without a selected row", Source::List, -1, gotoUrl, Effect::Opened,
         std::nullopt},
        {"Go to URL before any menu was opened", Source::None, 0, gotoUrl, Effect::Opened, std::nullopt},
    };
    const QString untouched = u"clipboard before the command"_s;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        ASSERT_TRUE(collect(old));
        ASSERT_EQ(urlBox()->currentText(), box);
        QGuiApplication::clipboard()->setText(untouched);
        selectRow(c.selected);
        if (c.source == Source::List) {
            openListMenu();
        } else if (c.source == Source::Button) {
            openButtonMenu();
        }
        EXPECT_EQ(window->popupSource(), c.source == Source::List     ? u"List"_s
                                         : c.source == Source::Button ? u"Button"_s
                                                                      : QString());
        EXPECT_EQ(selectedRow(), c.selected);
        QMenu *menu = c.item == copyAnchor || c.source == Source::List ? window->listMenu() : window->checkMenu();
        menuAction(menu, c.item)->trigger();
        if (c.effect == Effect::Clipboard) {
            EXPECT_EQ(QGuiApplication::clipboard()->text(), c.expected.value_or(untouched));
            EXPECT_TRUE(opened.isEmpty());
        } else {
            EXPECT_EQ(opened, c.expected ? QStringList{*c.expected} : QStringList());
            EXPECT_EQ(QGuiApplication::clipboard()->text(), untouched);
        }
        EXPECT_EQ(beeps, 1) << "no command starts a run";
    }
}

TEST_F(TAppFormTest, CheckFromTheListsMenu)
{
    struct Case
    {
        const char *name;
        QString address; // the run before the menu is used
        bool runEnds;    // false: the menu is used while the run still fetches
        int selected;
        QString captionAfter;
        QString boxAfter;
        int finalBeeps;
        QString finalBox;
        int finalRows;
    };

    const QString old = site.url(u"/old.html"_s);
    const QString page = site.url(u"/page.html"_s);
    const QString toSlow = site.url(u"/to-slow.html"_s);
    const std::vector<Case> cases = {
        {"idle with a row selected: the row's link is collected", old, true, 0, u"STOP"_s, old, 2, page, 4},
        {"idle without a selected row: nothing happens", old, true, -1, u"Check"_s, page, 1, page, 4},
        {"running with a row selected: the link goes to the URL box and the run stops, no new run", toSlow, false, 0,
         u"Stopping..."_s, toSlow, 1, toSlow, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        const int toSlowBefore = site.toSlowRequests;
        if (c.runEnds) {
            ASSERT_TRUE(collect(c.address));
        } else {
            urlBox()->setEditText(c.address);
            checkButton()->click();
            // The redirect row is in, the target's body is under way.
            ASSERT_TRUE(waitFor([&] {
                return window->resultsModel()->rowCount() == 1 && urlBox()->currentText() == site.url(u"/slow.html"_s);
            }));
            EXPECT_EQ(checkButton()->text(), u"STOP"_s);
        }
        selectRow(c.selected);
        openListMenu();
        menuAction(window->listMenu(), u"MenuItem1"_s)->trigger();
        EXPECT_EQ(checkButton()->text(), c.captionAfter);
        EXPECT_EQ(urlBox()->currentText(), c.boxAfter);

        ASSERT_TRUE(waitFor([&] { return beeps == c.finalBeeps && idle(); }));
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(beeps, c.finalBeeps);
        EXPECT_EQ(urlBox()->currentText(), c.finalBox);
        EXPECT_EQ(window->resultsModel()->rowCount(), c.finalRows);
        if (!c.runEnds) {
            EXPECT_EQ(site.toSlowRequests, toSlowBefore + 1);
        }
    }
}

TEST_F(TAppFormTest, OnlineHelpOpensTheMakersHelpPage)
{
    struct Case
    {
        const char *name;
        QString makerHost;
        QString expected;
    };

    const std::vector<Case> cases = {
        {"the built-in host", QString(), u"http://"_s + MakerSiteHost() + u"/help/quorvel/"_s},
        {"the host given to the window", u"127.0.0.1:8080"_s, u"http://127.0.0.1:8080/help/quorvel/"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow(c.makerHost);
        child<QAction>(u"Help2"_s)->trigger();
        EXPECT_EQ(opened, QStringList{c.expected});
    }
}

namespace {

// Opens a command menu the way the user does (which sets the menu's source), triggers one item
// and closes the menu again.
void triggerInMenu(QMenu &menu, const QString &actionName, const std::function<void()> &openMenu)
{
    openMenu();
    child<QAction>(menu, actionName).trigger();
    menu.close();
}

} // namespace

// From the Check button's menu every tool opens its address for the URL box text, taken raw.
TEST(TAppFormOptions, WebToolsOfTheCheckButtonUseTheUrlBoxText)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    // A path, a query, blanks (one at the end) and an ampersand: all of it goes out as typed.
    const QString target = u"https://www.h.test/a b/page.html?x=1&y=2 "_s;
    child<QComboBox>(*form, u"Edit1"_s).setEditText(target);
    QMenu &menu = *form->checkMenu();
    ASSERT_EQ(menu.objectName(), u"PopupMenu1"_s);
    const auto openMenu = [&menu] {
        menu.popup(QPoint(0, 0));
    };

    for (const WebTool tool : webToolsInMenuOrder()) {
        SCOPED_TRACE(webToolCaption(tool).toStdString());
        sandbox.opened.clear();
        triggerInMenu(menu, webToolObjectName(tool), openMenu);
        EXPECT_EQ(form->popupSource(), u"Button"_s);
        EXPECT_EQ(sandbox.opened, QStringList{webToolAddress(tool, target)});
    }
    sandbox.opened.clear();
    triggerInMenu(menu, webToolObjectName(WebTool::Google), openMenu);
    ASSERT_EQ(sandbox.opened.size(), 1);
    EXPECT_TRUE(sandbox.opened.front().endsWith(u"/search?q=site:"_s + target)) << "blank and ampersand stay";

    sandbox.opened.clear();
    triggerInMenu(menu, u"All1"_s, openMenu);
    QStringList all;
    for (const WebTool tool : indexWebTools()) {
        all.append(webToolAddress(tool, target));
    }
    EXPECT_EQ(sandbox.opened, all);
}

// From the list's menu the tools use the selected row's link, and nothing without a selection.
TEST(TAppFormOptions, WebToolsOfTheListUseTheSelectedRow)
{
    struct Case
    {
        const char *name;
        int selectedRow; // -1: none
        QString action;
        QList<WebTool> opened; // for the selected row's link
    };

    const std::vector<Case> cases = {
        {"no selected row: a tool opens nothing", -1, webToolObjectName(WebTool::RobotsTxt) + u"_2"_s, {}},
        {"no selected row: All opens nothing", -1, u"All1_2"_s, {}},
        {"second row: Robots.txt", 1, webToolObjectName(WebTool::RobotsTxt) + u"_2"_s, {WebTool::RobotsTxt}},
        {"second row: Domain IP List", 1, webToolObjectName(WebTool::DomainIpList) + u"_2"_s, {WebTool::DomainIpList}},
        {"first row: All", 0, u"All1_2"_s, indexWebTools()},
    };
    Sandbox sandbox;
    const QString page = sandbox.page(u"tools.html"_s, u"<a href=\"https://one.test/x?a=1\">1</a>"
                                                       "<a href=\"http://two.test/y/z.html\">2</a>"_s);
    const auto form = sandbox.open();
    ASSERT_TRUE(collect(*form, page));
    ASSERT_EQ(form->resultsModel()->rowCount(), 2);
    auto &list = child<QTableView>(*form, u"ListBox1"_s);
    QMenu &menu = *form->listMenu();
    ASSERT_EQ(menu.objectName(), u"PopupMenu2"_s);
    const auto openMenu = [&list] {
        Q_EMIT list.customContextMenuRequested(QPoint(2, 2));
    };

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        list.clearSelection();
        if (c.selectedRow >= 0) {
            list.selectRow(c.selectedRow);
        }
        sandbox.opened.clear();
        triggerInMenu(menu, c.action, openMenu);
        EXPECT_EQ(form->popupSource(), u"List"_s);
        QStringList expected;
        for (const WebTool tool : c.opened) {
            expected.append(webToolAddress(tool, form->resultsModel()->rows().at(c.selectedRow).link));
        }
        EXPECT_EQ(sandbox.opened, expected);
    }
}

// The Tools menu opens its fixed pages, with or without rows and whatever menu was opened last.
TEST(TAppFormOptions, ToolsMenuOpensFixedPages)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    ASSERT_EQ(form->resultsModel()->rowCount(), 0);
    QStringList expected;
    for (const FixedTool tool : fixedToolsInMenuOrder()) {
        child<QAction>(*form->menuBar(), fixedToolObjectName(tool)).trigger();
        expected.append(fixedToolAddress(tool));
    }
    EXPECT_EQ(sandbox.opened, expected);
    EXPECT_EQ(form->popupSource(), QString());
}

} // namespace quorvel::test
