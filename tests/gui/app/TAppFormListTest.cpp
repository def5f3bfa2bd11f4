#include "core/model/LinkRow.h"
#include "gui/app/TAppFormFixture.h"
#include "gui/results/ResultsModel.h"
#include "support/Fixtures.h"

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
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST_F(TAppFormTest, HeaderClicksSortTheList)
{
    enum class Then
    {
        Nothing,
        ClickDuringRun, // a click on Type while a run goes and while it stops
        NewRun
    };

    struct Case
    {
        const char *name;
        std::vector<int> clicks;
        Then then;
        int column;
        QStringList expected;
    };

    const QString a = site.url(u"/a.html"_s);
    const QString b = site.url(u"/b.html"_s);
    const QString apex = u"http://apex.example/"_s;
    const QString zeta = u"http://zeta.example/"_s;
    const QString in = u"Internal"_s;
    const QString ex = u"External"_s;
    const std::vector<Case> cases = {
        {"page order before any click", {}, Then::Nothing, 0, {b, zeta, a, apex}},
        {"Link first sorts descending", {0}, Then::Nothing, 0, {zeta, apex, b, a}},
        {"Link twice sorts ascending", {0, 0}, Then::Nothing, 0, {a, b, apex, zeta}},
        {"Type once sorts ascending", {2}, Then::Nothing, 2, {ex, ex, in, in}},
        {"Type twice reverses", {2, 2}, Then::Nothing, 2, {in, in, ex, ex}},
        {"Type then Link sorts ascending by link", {2, 0}, Then::Nothing, 0, {a, b, apex, zeta}},
        {"Follow folds ASCII case", {1}, Then::Nothing, 1, {u"dofollow"_s, u"NOFOLLOW"_s, u"SPONSORED"_s, u"UGC"_s}},
        {"Anchor Text folds ASCII case", {3}, Then::Nothing, 3, {u"alpha"_s, u"Apex"_s, u"Beta"_s, u"Zeta"_s}},
        {"a click during a run is ignored", {}, Then::ClickDuringRun, 0, {b, zeta, a, apex}},
        {"a new run after Follow descending arrives by link descending", {1, 1}, Then::NewRun, 0, {zeta, apex, b, a}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        // By subdomain the loopback host's own links are internal, the other hosts' external.
        child<QRadioButton>(u"RadioButton2"_s)->setChecked(true);
        ASSERT_TRUE(collect(site.url(u"/mixed.html"_s)));
        for (const int clicked : c.clicks) {
            clickHeader(clicked);
        }
        if (c.then == Then::ClickDuringRun) {
            const SortState before = window->resultsModel()->sortState();
            const int slowBefore = site.slowRequests;
            urlBox()->setEditText(site.url(u"/slow.html"_s));
            checkButton()->click();
            ASSERT_TRUE(waitFor([&] { return site.slowRequests > slowBefore; }));
            clickHeader(2);
            checkButton()->click(); // STOP
            clickHeader(2);
            ASSERT_TRUE(waitFor([&] { return idle(); }));
            EXPECT_EQ(window->resultsModel()->sortState(), before);
        }
        if (c.then != Then::Nothing) {
            ASSERT_TRUE(collect(site.url(u"/mixed.html"_s)));
        }
        EXPECT_EQ(column(c.column), c.expected);
    }
}

TEST_F(TAppFormTest, FindSearchesLinksAndAnchorTexts)
{
    enum class Step
    {
        Press,
        ReopenFromTheMenu
    };

    struct Action
    {
        Step step;
        int expectedRow; // after a press: the row selected, -1 for no match (a beep)
    };

    struct Case
    {
        const char *name;
        QString needle;
        std::vector<Action> actions;
    };

    // Rows in page order: 0 /b.html "Beta", 1 zeta "Zeta", 2 /a.html "alpha", 3 apex "Apex".
    const std::vector<Case> cases = {
        {"capitals find a link in small letters", u"A.HTML"_s, {{Step::Press, 2}}},
        {"the anchor text is searched", u"beta"_s, {{Step::Press, 0}}},
        {"text only in the Type column is not found", u"internal"_s, {{Step::Press, -1}}},
        {"text only in the Follow column is not found", u"ugc"_s, {{Step::Press, -1}}},
        {"an empty text never matches", QString(), {{Step::Press, -1}}},
        {"after the last match a press beeps and the next starts at the top",
         u"127.0.0.1"_s,
         {{Step::Press, 0}, {Step::Press, 2}, {Step::Press, -1}, {Step::Press, 0}}},
        // Past the last row the next press starts at the top at once.
        {"a match in the last row goes on at the top",
         u".example"_s,
         {{Step::Press, 1}, {Step::Press, 3}, {Step::Press, 1}}},
        {"reopening starts from the first row again",
         u".example"_s,
         {{Step::Press, 1}, {Step::ReopenFromTheMenu, 0}, {Step::Press, 1}}},
    };
    openWindow();
    ASSERT_TRUE(collect(site.url(u"/mixed.html"_s)));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        selectRow(-1);
        child<QPushButton>(u"Button1"_s)->click();
        auto *dialog = child<QDialog>(u"FindDialog1"_s);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->pos(), window->frameGeometry().topLeft() + QPoint(100, 150));
        dialog->findChild<QLineEdit *>(u"FindText"_s)->setText(c.needle);
        auto *findNext = dialog->findChild<QPushButton *>(u"FindNext"_s);
        for (const Action &action : c.actions) {
            if (action.step == Step::ReopenFromTheMenu) {
                child<QAction>(u"Search1"_s)->trigger();
                EXPECT_TRUE(dialog->isVisible());
                continue;
            }
            const int beepsBefore = beeps;
            findNext->click();
            if (action.expectedRow < 0) {
                // No match: a beep, no row selected (an earlier match must not look like the answer)
                // and the reason in the status bar.
                EXPECT_EQ(beeps, beepsBefore + 1);
                EXPECT_EQ(selectedRow(), -1);
                EXPECT_EQ(statusPanel(1), u"Not found"_s);
            } else {
                EXPECT_EQ(beeps, beepsBefore);
                EXPECT_EQ(selectedRow(), action.expectedRow);
                EXPECT_EQ(statusPanel(1), QString());
            }
        }
        dialog->hide();
    }
}

} // namespace quorvel::test
