// The results list of the main window: copying rows, the numeric time sort, the filter box, Find
// on what is shown, and the layout the window remembers across a restart.

#include "core/model/LinkRow.h"
#include "gui/app/AppFormDriver.h"
#include "gui/app/TAppFormFixture.h"
#include "gui/results/ResultsModel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

const QString kHeaderLine = u"Link\tFollow\tType\tAnchor Text\tHTTP Response\tResponse Time (ms)\tVerdict"_s;

// A collected row (not checked) as Copy writes it: empty response, time and verdict.
QString copiedLine(const LinkRow &row)
{
    return row.link + u'\t' + row.follow + u'\t' + row.type + u'\t' + row.anchorText + u"\t\t\t"_s;
}

} // namespace

// Ctrl+C copies the selected rows, "Copy All" the whole list as shown; Copy URL and Copy Anchor
// Text still take one row, the current one.
TEST_F(TAppFormTest, CopyRowsFromTheList)
{
    enum class Command
    {
        CtrlC,
        CopyAll,
        CopyUrl,
        CopyAnchorText
    };

    struct Case
    {
        const char *name;
        Command command;
        std::vector<int> selected; // the last one is the current row
        QString filter;
        QStringList lines; // without the header; a single line is copied bare for the one-row commands
    };

    openWindow();
    ASSERT_TRUE(collect(site.url(u"/page.html"_s)));
    // Rows in page order: 0 one.html "One", 1 two.html "Two", 2 three.html "Three".
    const LinkRows &rows = window->resultsModel()->rows();
    ASSERT_EQ(rows.size(), 3);
    ASSERT_EQ(rows[2].anchorText, u"Three"_s);
    const QString one = copiedLine(rows[0]);
    const QString two = copiedLine(rows[1]);
    const QString three = copiedLine(rows[2]);
    const std::vector<Case> cases = {
        {"Ctrl+C on two rows", Command::CtrlC, {2, 0}, QString(), {one, three}},
        {"Ctrl+C on one row", Command::CtrlC, {1}, QString(), {two}},
        {"Ctrl+C leaves out rows the filter hides", Command::CtrlC, {0, 1, 2}, u"e.html"_s, {one, three}},
        {"Copy All without a selection", Command::CopyAll, {}, QString(), {one, two, three}},
        {"Copy All copies what the filter shows", Command::CopyAll, {0}, u"site.example"_s, {one, two}},
        {"Copy URL takes the current row", Command::CopyUrl, {0, 2}, QString(), {kPageLinks[2]}},
        {"Copy Anchor Text takes the current row", Command::CopyAnchorText, {2, 1}, QString(), {u"Two"_s}},
    };
    auto *filter = child<QLineEdit>(u"FilterEdit"_s);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        filter->setText(c.filter);
        list()->clearSelection();
        for (int row : c.selected) {
            list()->selectionModel()->setCurrentIndex(window->resultsModel()->index(row, 0),
                                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        QGuiApplication::clipboard()->setText(u"before"_s);
        switch (c.command) {
        case Command::CtrlC:
            list()->setFocus();
            QTest::keyClick(list(), Qt::Key_C, Qt::ControlModifier);
            break;
        case Command::CopyAll:
            openListMenu();
            menuAction(window->listMenu(), u"CopyAll1"_s)->trigger();
            break;
        case Command::CopyUrl:
            openListMenu();
            menuAction(window->listMenu(), u"CopyURL1"_s)->trigger();
            break;
        case Command::CopyAnchorText:
            openListMenu();
            menuAction(window->listMenu(), u"CopyAnchorText1"_s)->trigger();
            break;
        }
        const bool table = c.command == Command::CtrlC || c.command == Command::CopyAll;
        const QString expected = table ? kHeaderLine + u'\n' + c.lines.join(u'\n') + u'\n' : c.lines.join(u'\n');
        EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
    }
}

// Response Time sorts by number; a row without a time goes last whichever way.
TEST_F(TAppFormTest, ResponseTimeSortsByNumber)
{
    struct Case
    {
        const char *name;
        int clicks;
        QStringList times;
    };

    const std::vector<Case> cases = {
        {"ascending", 1, {u"95"_s, u"200"_s, u"1000"_s, QString()}},
        {"descending", 2, {u"1000"_s, u"200"_s, u"95"_s, QString()}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        ASSERT_TRUE(collect(site.url(u"/mixed.html"_s)));
        ResultsModel *model = window->resultsModel();
        const QStringList times = {u"200"_s, QString(), u"1000"_s, u"95"_s};
        for (int i = 0; i < times.size(); ++i) {
            if (!times[i].isEmpty()) {
                model->setCheckResult(i, u"HTTP/1.1 200 OK"_s, times[i], kIconOk);
            }
        }
        for (int i = 0; i < c.clicks; ++i) {
            clickHeader(5);
        }
        EXPECT_EQ(column(5), c.times);
        QHeaderView *header = list()->horizontalHeader();
        EXPECT_TRUE(header->isSortIndicatorShown());
        EXPECT_EQ(header->sortIndicatorSection(), 5);
        EXPECT_EQ(header->sortIndicatorOrder(), c.clicks == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
}

// Typing into the filter box hides the rows whose link and anchor text lack the text; Esc in the
// box shows them all again; the total panel says how many are shown.
TEST_F(TAppFormTest, FilterBoxHidesRows)
{
    struct Case
    {
        const char *name;
        QString typed;
        std::vector<bool> shown;
        QString total;
    };

    // Rows in page order: 0 /b.html "Beta", 1 zeta "Zeta", 2 /a.html "alpha", 3 apex "Apex".
    const std::vector<Case> cases = {
        {"part of a link, other capitals", u"ZETA.EX"_s, {false, true, false, false}, u"Total Links: 4 (showing 1)"_s},
        {"anchor text", u"alpha"_s, {false, false, true, false}, u"Total Links: 4 (showing 1)"_s},
        {"two links", u"ex"_s, {false, true, false, true}, u"Total Links: 4 (showing 2)"_s},
        {"the Follow column is not searched",
         u"nofollow"_s,
         {false, false, false, false},
         u"Total Links: 4 (showing 0)"_s},
        {"nothing typed", QString(), {true, true, true, true}, u"Total Links: 4"_s},
    };
    openWindow();
    ASSERT_TRUE(collect(site.url(u"/mixed.html"_s)));
    auto *filter = child<QLineEdit>(u"FilterEdit"_s);
    EXPECT_EQ(filter->placeholderText(), u"Filter"_s);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        filter->clear();
        QTest::keyClicks(filter, c.typed);
        std::vector<bool> shown;
        for (int i = 0; i < 4; ++i) {
            shown.push_back(!list()->isRowHidden(i));
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(statusPanel(0), c.total);
    }

    QTest::keyClicks(filter, u"beta"_s);
    ASSERT_TRUE(list()->isRowHidden(1));
    QTest::keyClick(filter, Qt::Key_Escape);
    EXPECT_EQ(filter->text(), QString());
    EXPECT_FALSE(list()->isRowHidden(1));
    EXPECT_EQ(statusPanel(0), u"Total Links: 4"_s);

    // Rows of a later run are filtered as they arrive.
    QTest::keyClicks(filter, u"apex"_s);
    ASSERT_TRUE(collect(site.url(u"/mixed.html"_s)));
    EXPECT_TRUE(list()->isRowHidden(0));
    EXPECT_FALSE(list()->isRowHidden(3));
    EXPECT_EQ(statusPanel(0), u"Total Links: 4 (showing 1)"_s);
}

// Find looks only at the rows shown; without a match it beeps and says so in the status bar.
TEST_F(TAppFormTest, FindActsOnTheRowsShown)
{
    struct Case
    {
        const char *name;
        QString filter;
        QString needle;
        int expectedRow; // -1: not found
    };

    // Rows in page order: 0 /b.html "Beta", 1 zeta "Zeta", 2 /a.html "alpha", 3 apex "Apex".
    const std::vector<Case> cases = {
        {"a shown row is found", QString(), u"zeta"_s, 1},
        {"a row the filter hides is passed over", u"a.html"_s, u"beta"_s, -1},
        {"the shown row after a hidden match", u"ex"_s, u"a"_s, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        ASSERT_TRUE(collect(site.url(u"/mixed.html"_s)));
        child<QLineEdit>(u"FilterEdit"_s)->setText(c.filter);
        const int beepsBefore = beeps;
        child<QPushButton>(u"Button1"_s)->click();
        auto *dialog = child<QDialog>(u"FindDialog1"_s);
        dialog->findChild<QLineEdit *>(u"FindText"_s)->setText(c.needle);
        dialog->findChild<QPushButton *>(u"FindNext"_s)->click();
        EXPECT_EQ(selectedRow(), c.expectedRow);
        EXPECT_EQ(statusPanel(1), c.expectedRow < 0 ? u"Not found"_s : QString());
        EXPECT_EQ(beeps - beepsBefore, c.expectedRow < 0 ? 1 : 0);
        dialog->close();
    }
}

// Column widths, the sort, the splitters and the window's size and maximised state come back after
// a restart; Reset to Defaults forgets them with the options.
TEST(TAppFormLayout, RememberedAcrossARestartUntilReset)
{
    struct Case
    {
        const char *name;
        bool maximised;
    };

    const std::vector<Case> cases = {{"a normal window", false}, {"a maximised window", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox sandbox;
        const QString page =
            sandbox.page(u"p.html"_s, u"<a href=\"http://a.test/\">A</a><a href=\"http://b.test/\">B</a>"_s);
        QSize size;
        QList<int> splitterSizes;
        QString layoutFile;
        {
            auto form = sandbox.open();
            layoutFile = form->layoutFile();
            form->showRemembered();
            EXPECT_TRUE(form->isMaximized()) << "the first start opens maximised";
            form->showNormal();
            // A size the screen holds, other than the built-in one.
            const QSize screen = form->screen()->availableGeometry().size();
            size = form->minimumSize().expandedTo(QSize(500, 350)).boundedTo(screen - QSize(40, 60));
            form->resize(size);
            // The options shown, so the splitter's first pane has a size of its own.
            child<QCheckBox>(*form, u"CheckBox1"_s).setChecked(true);
            form->setWindowState(c.maximised ? Qt::WindowMaximized : Qt::WindowNoState);
            ASSERT_TRUE(collect(*form, page));
            auto &header = *child<QTableView>(*form, u"ListBox1"_s).horizontalHeader();
            header.resizeSection(2, 157);
            Q_EMIT header.sectionClicked(3);
            Q_EMIT header.sectionClicked(3);
            auto *splitter = form->findChild<QSplitter *>();
            ASSERT_NE(splitter, nullptr);
            splitter->setSizes({90, 300});
            splitterSizes = splitter->sizes();
            if (!c.maximised) {
                size = form->size(); // as the window goes
                EXPECT_NE(size, QSize(729, 455)) << "a size other than the built-in one";
            }
        }
        ASSERT_TRUE(QFile::exists(layoutFile)) << "written when the window goes";

        auto form = sandbox.open();
        form->showRemembered();
        EXPECT_EQ(form->isMaximized(), c.maximised);
        if (!c.maximised) {
            EXPECT_EQ(form->size(), size);
        }
        EXPECT_EQ(form->resultsModel()->sortState(), (SortState{3, true, true}));
        auto &header = *child<QTableView>(*form, u"ListBox1"_s).horizontalHeader();
        EXPECT_EQ(header.sectionSize(2), 157);
        EXPECT_EQ(header.sortIndicatorSection(), 3);
        EXPECT_EQ(header.sortIndicatorOrder(), Qt::DescendingOrder);
        EXPECT_EQ(form->findChild<QSplitter *>()->sizes(), splitterSizes);
        // The next run's rows arrive sorted as remembered (by link, after the run reset).
        ASSERT_TRUE(collect(*form, page));
        EXPECT_EQ(linksOf(*form->resultsModel()), (QStringList{u"http://b.test/"_s, u"http://a.test/"_s}));

        sandbox.dialogs.answerWith(ModalAnswerer::press(u"Yes"_s));
        child<QAction>(*form, u"ResettoDefaults1"_s).trigger();
        EXPECT_FALSE(QFile::exists(layoutFile));
        form.reset();
        EXPECT_FALSE(QFile::exists(layoutFile)) << "the closing window does not write it again";

        auto fresh = sandbox.open();
        fresh->showRemembered();
        EXPECT_TRUE(fresh->isMaximized());
        EXPECT_EQ(fresh->resultsModel()->sortState(), SortState{});
        EXPECT_FALSE(child<QTableView>(*fresh, u"ListBox1"_s).horizontalHeader()->isSortIndicatorShown());
        EXPECT_EQ(child<QTableView>(*fresh, u"ListBox1"_s).horizontalHeader()->sectionSize(2), 100);
    }
}

// A damaged layout file gives the built-in layout and is replaced when the window goes.
TEST(TAppFormLayout, DamagedFileGivesTheBuiltInLayout)
{
    Sandbox sandbox;
    QString layoutFile;
    {
        auto form = sandbox.open();
        layoutFile = form->layoutFile();
    }
    QFile file(layoutFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[Window]\nGeometry=@ByteArray(garbage)\n[Headers]\nResults=@ByteArray(\\x1)\n"
               "[Results]\nSortColumn=99\nSorted=yes\n");
    file.close();

    auto form = sandbox.open();
    form->showRemembered();
    EXPECT_TRUE(form->isMaximized());
    EXPECT_EQ(form->resultsModel()->sortState(), SortState{});
    EXPECT_EQ(child<QTableView>(*form, u"ListBox1"_s).horizontalHeader()->sectionSize(1), 100);
}

} // namespace quorvel::test
