#include "gui/results/ResultsTable.h"

#include "core/model/LinkRow.h"
#include "gui/results/ResultsDelegate.h"
#include "gui/results/ResultsModel.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

const QString kHeader = u"Link\tFollow\tType\tAnchor Text\tHTTP Response\tResponse Time (ms)\tVerdict"_s;

LinkRow row(const QString &link, const QString &anchor, const QString &response = QString(),
            const QString &time = QString())
{
    return LinkRow{link, u"dofollow"_s, u"Internal"_s, anchor, response, time, kIconCollected};
}

// A results list as the window has it: the model in a shown table view with its view behaviour.
class Table
{
public:
    explicit Table(const LinkRows &rows, QSize size = QSize(900, 300))
    {
        view.setModel(&model);
        table = new ResultsTable(&view, &model);
        for (const auto &[column, width] : {std::pair{0, 220}, {1, 80}, {2, 80}, {3, 120}, {4, 120}, {5, 90}}) {
            view.horizontalHeader()->resizeSection(column, width);
        }
        view.resize(size);
        model.appendRows(rows);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    void select(const std::vector<int> &rows)
    {
        view.clearSelection();
        for (int r : rows) {
            view.selectionModel()->select(model.index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    ResultsModel model;
    QTableView view;
    ResultsTable *table = nullptr; // the view's child
};

} // namespace

// Ctrl+C copies the selected rows the user sees, with a header line, in the list's order.
TEST(ResultsTable, CopiesRowsAsTabSeparatedText)
{
    const LinkRows rows = {
        row(u"http://b.test/"_s, u"Bee"_s, u"HTTP/1.1 200 OK"_s, u"95"_s),
        row(u"http://a.test/"_s, u"two\tparts\non two lines"_s),
        row(u"http://c.test/"_s, u"Sea"_s, u"HTTP/1.1 404 Not Found"_s, u"1000"_s),
    };
    const QString b = u"http://b.test/\tdofollow\tInternal\tBee\tHTTP/1.1 200 OK\t95\t"_s;
    const QString a = u"http://a.test/\tdofollow\tInternal\ttwo parts on two lines\t\t\t"_s;
    const QString c = u"http://c.test/\tdofollow\tInternal\tSea\tHTTP/1.1 404 Not Found\t1000\t"_s;

    struct Case
    {
        const char *name;
        std::vector<int> selected; // model rows, in any order
        int hiddenRow;             // -1: none
        int sortColumn;            // -1: arrival order
        QString expected;          // empty: the clipboard keeps what it had
    };

    const std::vector<Case> cases = {
        {"one row", {1}, -1, -1, kHeader + u'\n' + a + u'\n'},
        {"rows come in the list's order, not the selection's", {2, 0}, -1, -1, kHeader + u'\n' + b + u'\n' + c + u'\n'},
        {"a sorted list copies in its new order",
         {0, 1, 2},
         -1,
         0,
         kHeader + u'\n' + a + u'\n' + b + u'\n' + c + u'\n'},
        {"a hidden row is not copied", {0, 1, 2}, 1, -1, kHeader + u'\n' + b + u'\n' + c + u'\n'},
        {"nothing selected leaves the clipboard alone", {}, -1, -1, QString()},
    };
    for (const Case &cs : cases) {
        SCOPED_TRACE(cs.name);
        Table t(rows);
        if (cs.sortColumn >= 0) {
            t.model.headerClicked(cs.sortColumn);
            t.model.headerClicked(cs.sortColumn); // the first click on Link sorts descending
        }
        if (cs.hiddenRow >= 0) {
            t.view.setRowHidden(cs.hiddenRow, true);
        }
        t.select(cs.selected);
        QGuiApplication::clipboard()->setText(u"before"_s);
        t.view.setFocus();
        QTest::keyClick(&t.view, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), cs.expected.isEmpty() ? u"before"_s : cs.expected);
    }

    // Copy All takes every row shown, selected or not.
    Table t(rows);
    t.view.setRowHidden(0, true);
    t.select({1});
    t.table->copyAllRows();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), kHeader + u'\n' + a + u'\n' + c + u'\n');
}

// The row a one-row command acts on: the current one when it is selected and shown.
TEST(ResultsTable, CurrentRowOfASelection)
{
    struct Case
    {
        const char *name;
        std::vector<int> selected;
        int current;
        int hidden;
        std::optional<int> expected;
    };

    const std::vector<Case> cases = {
        {"no selection", {}, 1, -1, std::nullopt},
        {"the current row among several", {0, 1, 2}, 2, -1, 2},
        {"a current row not selected gives the first selected", {0, 2}, 1, -1, 0},
        {"a hidden current row gives the first selected shown", {1, 2}, 1, 1, 2},
    };
    for (const Case &cs : cases) {
        SCOPED_TRACE(cs.name);
        Table t({row(u"http://a.test/"_s, u"A"_s), row(u"http://b.test/"_s, u"B"_s), row(u"http://c.test/"_s, u"C"_s)});
        t.view.selectionModel()->setCurrentIndex(t.model.index(cs.current, 0), QItemSelectionModel::NoUpdate);
        t.select(cs.selected);
        if (cs.hidden >= 0) {
            t.view.setRowHidden(cs.hidden, true);
        }
        EXPECT_EQ(t.table->currentRow(), cs.expected);
    }
}

// The header's arrow shows the sort in effect, and nothing before the first sort.
TEST(ResultsTable, SortArrowFollowsTheModel)
{
    Table t({row(u"http://a.test/"_s, u"A"_s)});
    QHeaderView *header = t.view.horizontalHeader();
    EXPECT_FALSE(header->isSortIndicatorShown());

    struct Step
    {
        const char *name;
        std::function<void(ResultsModel &)> act;
        int section;
        Qt::SortOrder order;
    };

    const std::vector<Step> steps = {
        {"first click on a column: ascending", [](ResultsModel &m) { m.headerClicked(5); }, 5, Qt::AscendingOrder},
        {"same column again: descending", [](ResultsModel &m) { m.headerClicked(5); }, 5, Qt::DescendingOrder},
        {"a run start goes back to Link, direction kept", [](ResultsModel &m) { m.runStarted(); }, 0,
         Qt::DescendingOrder},
        {"a remembered state",
         [](ResultsModel &m) {
             m.setSortState({3, false, true});
         },
         3, Qt::AscendingOrder},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.act(t.model);
        EXPECT_TRUE(header->isSortIndicatorShown());
        EXPECT_EQ(header->sortIndicatorSection(), step.section);
        EXPECT_EQ(header->sortIndicatorOrder(), step.order);
    }

    // A click the window lets through nowhere (a run going) leaves the arrow as the model has it.
    Q_EMIT header->sectionClicked(1);
    EXPECT_EQ(header->sortIndicatorSection(), 3);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
}

// A cell shows its text whole in a tooltip only when the text does not fit; the model's own
// tooltips (a check's reason, a verdict's chain) stay.
TEST(ResultsTable, TooltipOnlyForACutCell)
{
    const QString longLink = u"http://example.test/"_s + QString(300, u'x') + u"/end.html"_s;
    const QString longAnchor = QString(80, u'w');
    const QString longStatus = u"HTTP/1.1 200 A status line that goes on well past its column"_s;
    LinkRows rows = {
        row(longLink, u"short"_s),
        row(u"http://a.test/"_s, longAnchor, longStatus),
        row(u"http://b.test/"_s, u"b"_s),
    };
    Table t(rows);
    t.model.setCheckResult(2, QString(), QString(), kIconNone, u"Could not connect to server"_s);
    t.view.horizontalHeader()->resizeSection(4, 120);
    auto *delegate = t.table->delegate();

    struct Case
    {
        const char *name;
        int row;
        int column;
        QString expected;
    };

    const std::vector<Case> cases = {
        {"a cut link", 0, 0, longLink},
        {"a link that fits", 1, 0, QString()},
        {"a short anchor text", 0, 3, QString()},
        {"a cut anchor text", 1, 3, longAnchor},
        {"a cut status line", 1, 4, longStatus},
        {"a reason for no answer in a cell that fits", 2, 4, u"Could not connect to server"_s},
        {"the type cell fits", 0, 2, QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(delegate->cellToolTip(t.view, t.model.index(c.row, c.column)), c.expected);
    }

    // Widened until it fits, the status line has no tooltip of its own any more.
    t.view.horizontalHeader()->resizeSection(4, 600);
    EXPECT_EQ(delegate->cellToolTip(t.view, t.model.index(1, 4)), QString());

    // The view asks the delegate when the mouse rests on a cell.
    for (const auto &[index, expected] : {std::pair{t.model.index(0, 2), QString()}, {t.model.index(0, 0), longLink}}) {
        SCOPED_TRACE(expected.isEmpty() ? "a cell that fits" : "a cut cell");
        QToolTip::hideText(); // it goes after a short fade
        ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        const QPoint at = t.view.visualRect(index).center();
        QHelpEvent help(QEvent::ToolTip, at, t.view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(t.view.viewport(), &help);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), expected);
    }
    QToolTip::hideText();
}

// A link is cut in the middle, so its host and its file name both stay in sight; other cells at
// the end.
TEST(ResultsTable, LinksAreCutInTheMiddle)
{
    Table t({row(u"http://a.test/"_s, u"A"_s)});
    for (int column = 0; column < LinkRow::kListColumnCount; ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(t.table->delegate()->cellOption(t.view, t.model.index(0, column)).textElideMode,
                  column == 0 ? Qt::ElideMiddle : Qt::ElideRight);
    }
}

// Rows with and without an icon start their link text at the same place.
TEST(ResultsTable, LinksLineUpWithAndWithoutIcon)
{
    Table t({row(u"http://a.test/"_s, u"A"_s), row(u"http://b.test/"_s, u"B"_s), row(u"http://c.test/"_s, u"C"_s)});
    t.model.setCheckResult(0, u"HTTP/1.1 200 OK"_s, u"5"_s, kIconOk);
    t.model.setCheckResult(1, QString(), QString(), kIconNone);
    const auto *delegate = t.table->delegate();
    const int withIcon = delegate->textRect(t.view, t.model.index(0, 0)).left();
    EXPECT_GT(withIcon, t.view.visualRect(t.model.index(0, 0)).left()) << "the icon takes room";
    EXPECT_EQ(delegate->textRect(t.view, t.model.index(1, 0)).left(), withIcon) << "no icon";
    EXPECT_EQ(delegate->textRect(t.view, t.model.index(2, 0)).left(), withIcon) << "collected";
}

} // namespace quorvel::test
