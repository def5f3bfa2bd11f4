#include "gui/results/ResultsModel.h"

#include "core/crawl/CrawlTypes.h"
#include "core/results/LinkChecker.h"
#include "gui/common/Icons.h"
#include "support/Fixtures.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QItemSelectionModel>
#include <QPalette>
#include <QSignalSpy>
#include <QStringList>
#include <QTableView>

#include <gtest/gtest.h>

#include <iostream>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

LinkRow row(const QString &link, const QString &anchor = QString(), const QString &time = QString())
{
    return LinkRow{link, u"dofollow"_s, u"Internal"_s, anchor, QString(), time, kIconCollected};
}

QStringList linksOf(const LinkRows &rows)
{
    QStringList links;
    for (const LinkRow &r : rows) {
        links.append(r.link);
    }
    return links;
}

// Checks every signal of the model against its contents while a test runs.
class CheckedModel
{
public:
    CheckedModel()
        : m_tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal)
    {}

    ResultsModel model;

private:
    QAbstractItemModelTester m_tester;
};

// A large table like a real run's: distinct links and anchor texts, repeated follow and type.
LinkRows bigRows(int count)
{
    LinkRows rows;
    rows.reserve(count);
    quint32 state = 2024;
    for (int i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        rows.append(LinkRow{u"https://www.example.com/section-%1/page-%2.html"_s.arg(state % 97).arg(state >> 8),
                            (state & 1) ? u"dofollow"_s : u"NOFOLLOW"_s, (state & 2) ? u"Internal"_s : u"External"_s,
                            u"Anchor text number %1"_s.arg(i), QString(), QString(), kIconCollected});
    }
    return rows;
}

qint64 residentBytes()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4096 : 0;
}

} // namespace

TEST(ResultsModel, ColumnsCaptionsAndCells)
{
    CheckedModel checked;
    ResultsModel &model = checked.model;
    EXPECT_EQ(model.columnCount(), 7);
    QStringList captions;
    for (int column = 0; column < model.columnCount(); ++column) {
        captions.append(model.headerData(column, Qt::Horizontal).toString());
    }
    EXPECT_EQ(captions, (QStringList{u"Link"_s, u"Follow"_s, u"Type"_s, u"Anchor Text"_s, u"HTTP Response"_s,
                                     u"Response Time (ms)"_s, u"Verdict"_s}));
    EXPECT_EQ(
        (std::vector<int>{ResultsModel::columnWidth(0), ResultsModel::columnWidth(1), ResultsModel::columnWidth(2),
                          ResultsModel::columnWidth(3), ResultsModel::columnWidth(4), ResultsModel::columnWidth(5),
                          ResultsModel::columnWidth(6)}),
        (std::vector<int>{0, 100, 100, 0, 120, 120, 110}));

    const LinkRow full{u"http://a.com/"_s,   u"NOFOLLOW"_s, u"External"_s, u"text"_s,
                       u"HTTP/1.1 200 OK"_s, u"35"_s,       kIconOk};
    model.appendRows({full});
    QStringList cells;
    for (int column = 0; column < 6; ++column) {
        cells.append(model.data(model.index(0, column)).toString());
    }
    EXPECT_EQ(cells, (QStringList{u"http://a.com/"_s, u"NOFOLLOW"_s, u"External"_s, u"text"_s, u"HTTP/1.1 200 OK"_s,
                                  u"35"_s}));
    EXPECT_FALSE(model.data(model.index(0, 1), Qt::DecorationRole).isValid()) << "icons only beside the link";
    EXPECT_FALSE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));
}

TEST(ResultsModel, RowIconsComeFromTheResources)
{
    struct Case
    {
        const char *name;
        int index;
        QString picture;
    };

    const std::vector<Case> cases = {
        {"collected", kIconCollected, u"html"_s},
        {"status 200", kIconOk, u"check-icon"_s},
        {"redirect", kIconRedirect, u"redirection"_s},
        {"broken", kIconBroken, u"exclamation"_s},
        {"none", kIconNone, QString()},
        {"unknown index", 7, QString()},
    };
    ResultsModel model;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        model.clear();
        LinkRow r = row(u"http://a.com/"_s);
        r.icon = c.index;
        model.appendRows({r});
        const QVariant decoration = model.data(model.index(0, 0), Qt::DecorationRole);
        EXPECT_EQ(rowIconName(c.index), c.picture);
        // A row without a picture gets a blank one of the same size, so its link starts where the
        // links of the other rows start.
        const QIcon icon = qvariant_cast<QIcon>(decoration);
        ASSERT_FALSE(icon.isNull());
        for (int size : {16, 32}) {
            const QImage shown = icon.pixmap(size, size).toImage();
            EXPECT_EQ(shown.size(), QSize(size, size));
            if (c.picture.isEmpty()) {
                QImage blank(size, size, QImage::Format_ARGB32_Premultiplied);
                blank.fill(Qt::transparent);
                EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied), blank);
                continue;
            }
            EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                      QImage(u":/icons/%1/%2.png"_s.arg(size).arg(c.picture))
                          .convertToFormat(QImage::Format_ARGB32_Premultiplied));
        }
    }
    for (const QString &name : {u"link_break"_s, u"search"_s, u"document-save"_s, u"feedback"_s, u"about"_s}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(namedIcon(name).availableSizes(), (QList<QSize>{QSize(16, 16), QSize(32, 32)}));
    }
    EXPECT_TRUE(namedIcon(u"no-such-picture"_s).isNull());
}

TEST(ResultsModel, AppendsBatchesAtTheEndUntilSorted)
{
    CheckedModel checked;
    ResultsModel &model = checked.model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.appendRows({row(u"http://c.com/"_s), row(u"http://a.com/"_s)});
    model.appendRows({});
    model.appendRows({row(u"http://b.com/"_s)});
    EXPECT_EQ(linksOf(model.rows()), (QStringList{u"http://c.com/"_s, u"http://a.com/"_s, u"http://b.com/"_s}));
    ASSERT_EQ(inserted.size(), 2);
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 1);
    EXPECT_EQ(inserted[1][1].toInt(), 2);
    EXPECT_EQ(inserted[1][2].toInt(), 2);

    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.sortState(), SortState());
}

TEST(ResultsModel, HeaderClicksSortTheTable)
{
    const LinkRows rows = {row(u"http://b.com/"_s, u"zeta"_s, u"95"_s), row(u"http://a.com/"_s, u"Alpha"_s, u"1000"_s),
                           row(u"http://c.com/"_s, u"alpha"_s, u"200"_s)};

    struct Case
    {
        const char *name;
        std::vector<int> clicks;
        QStringList links;
    };

    const std::vector<Case> cases = {
        {"Link first: descending", {0}, {u"http://c.com/"_s, u"http://b.com/"_s, u"http://a.com/"_s}},
        {"Anchor Text: Alpha and alpha equal", {3}, {u"http://a.com/"_s, u"http://c.com/"_s, u"http://b.com/"_s}},
        {"Anchor Text twice", {3, 3}, {u"http://b.com/"_s, u"http://a.com/"_s, u"http://c.com/"_s}},
        {"Anchor Text twice, then Link", {3, 3, 0}, {u"http://a.com/"_s, u"http://b.com/"_s, u"http://c.com/"_s}},
        {"times by number", {5}, {u"http://b.com/"_s, u"http://c.com/"_s, u"http://a.com/"_s}},
        {"times by number, descending", {5, 5}, {u"http://a.com/"_s, u"http://c.com/"_s, u"http://b.com/"_s}},
        {"out of range: no change", {7}, {u"http://b.com/"_s, u"http://a.com/"_s, u"http://c.com/"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CheckedModel checked;
        ResultsModel &model = checked.model;
        model.appendRows(rows);
        QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
        for (int column : c.clicks) {
            model.headerClicked(column);
        }
        EXPECT_EQ(linksOf(model.rows()), c.links);
        EXPECT_EQ(model.data(model.index(0, 0)).toString(), c.links.first());
        EXPECT_EQ(layout.size(), c.clicks.front() == 7 ? 0 : qsizetype(c.clicks.size()));
    }
}

TEST(ResultsModel, SortedModePlacesAppendedRows)
{
    // Batches of one row go in row by row, larger ones are merged: both must agree with a stable
    // sort of everything in arrival order.
    const LinkRows arrivals = {row(u"m"_s), row(u"B"_s), row(u"z"_s),
                               row(u"b"_s), row(u"a"_s), row(u"M"_s),
                               row(u"c"_s), row(u"y"_s), row(u"b"_s, u"second b"_s),
                               row(u"A"_s), row(u"n"_s)};

    struct Case
    {
        const char *name;
        std::vector<int> clicks;
        qsizetype batch;
    };

    const std::vector<Case> cases = {
        {"ascending, one row at a time", {1, 0}, 1}, {"ascending, small batches", {1, 0}, 3},
        {"ascending, large batches", {1, 0}, 5},     {"descending, one row at a time", {0}, 1},
        {"descending, one large batch", {0}, 11},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CheckedModel checked;
        ResultsModel &model = checked.model;
        for (int column : c.clicks) {
            model.headerClicked(column);
        }
        ASSERT_TRUE(model.sortState().sortedMode);
        for (qsizetype at = 0; at < arrivals.size(); at += c.batch) {
            model.appendRows(arrivals.mid(at, c.batch));
        }
        LinkRows expected = arrivals;
        sortRows(expected, 0, model.sortState().Descending1);
        EXPECT_EQ(model.rows(), expected);
    }
}

TEST(ResultsModel, SelectionFollowsItsRow)
{
    CheckedModel checked;
    ResultsModel &model = checked.model;
    QItemSelectionModel selection(&model);
    model.appendRows({row(u"http://b.com/"_s), row(u"http://a.com/"_s), row(u"http://c.com/"_s)});
    selection.select(model.index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    auto selectedLink = [&]() {
        const QModelIndexList rows = selection.selectedRows();
        return rows.size() == 1 ? model.data(rows.first()).toString() : u"<%1 selected>"_s.arg(rows.size());
    };
    model.headerClicked(0); // descending: c, b, a
    EXPECT_EQ(selectedLink(), u"http://b.com/"_s);
    EXPECT_EQ(selection.selectedRows().first().row(), 1);
    model.appendRows({row(u"http://bb.com/"_s)}); // row by row
    EXPECT_EQ(selectedLink(), u"http://b.com/"_s);
    model.appendRows(bigRows(50)); // merged
    EXPECT_EQ(selectedLink(), u"http://b.com/"_s);
    EXPECT_EQ(model.rows().at(selection.selectedRows().first().row()).link, u"http://b.com/"_s);
    model.headerClicked(3);
    EXPECT_EQ(selectedLink(), u"http://b.com/"_s);
}

TEST(ResultsModel, CheckCells)
{
    CheckedModel checked;
    ResultsModel &model = checked.model;
    model.appendRows({row(u"http://a.com/"_s), row(u"http://b.com/"_s), row(u"http://c.com/"_s)});
    model.headerClicked(4);
    model.headerClicked(4); // sorted by HTTP Response, descending
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);

    model.setCheckResult(0, u"HTTP/1.1 200 OK"_s, u"12"_s, kIconOk);
    model.setCheckResult(2, u"HTTP/1.1 404 Not Found"_s, u"7"_s, kIconBroken);
    model.setCheckResult(1, QString(), u"3"_s, kIconBroken, u"Could not connect to server"_s);
    model.setCheckResult(3, u"out of range"_s, u"1"_s, kIconOk);
    model.setCheckResult(-1, u"out of range"_s, u"1"_s, kIconOk);
    EXPECT_EQ(layout.size(), 0) << "check results never re-sort";
    ASSERT_EQ(changed.size(), 3);
    EXPECT_EQ(changed[1][0].value<QModelIndex>().row(), 2);
    EXPECT_TRUE(changed[2][2].value<QList<int>>().contains(Qt::ToolTipRole));
    EXPECT_EQ(model.rows()[0].response, u"HTTP/1.1 200 OK"_s);
    EXPECT_EQ(model.rows()[0].responseTime, u"12"_s);
    EXPECT_EQ(model.rows()[0].icon, kIconOk);
    EXPECT_EQ(model.data(model.index(2, 4)).toString(), u"HTTP/1.1 404 Not Found"_s);
    // A row that got no answer says why as the tooltip of its HTTP Response cell, and only there.
    EXPECT_EQ(model.rows()[1].response, QString());
    EXPECT_EQ(model.rows()[1].checkError, u"Could not connect to server"_s);
    EXPECT_EQ(model.data(model.index(1, 4), Qt::ToolTipRole).toString(), u"Could not connect to server"_s);
    for (int column : {0, 1, 2, 3, 5}) {
        SCOPED_TRACE(column);
        EXPECT_FALSE(model.data(model.index(1, column), Qt::ToolTipRole).isValid());
    }
    EXPECT_FALSE(model.data(model.index(0, 4), Qt::ToolTipRole).isValid()) << "an answered row has no tooltip";

    const LinkRows snapshot = model.rows(); // a check pass works on its own copy
    model.resetCheckCells();
    for (int i = 0; i < model.rowCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(model.rows()[i].response, QString());
        EXPECT_EQ(model.rows()[i].responseTime, QString());
        EXPECT_EQ(model.rows()[i].icon, kIconNone);
        EXPECT_EQ(model.rows()[i].checkError, QString());
        EXPECT_FALSE(model.data(model.index(i, 4), Qt::ToolTipRole).isValid());
    }
    EXPECT_EQ(linksOf(model.rows()), linksOf(snapshot));
    EXPECT_EQ(snapshot[0].icon, kIconOk) << "the copy keeps its values";
    EXPECT_EQ(changed.size(), 4);
}

// The Verdict column: the word in its colour, the chain and the reason in its tooltip, sortable
// like any other column; a long status line shows whole in its own tooltip.
TEST(ResultsModel, VerdictColumn)
{
    CheckedModel checked;
    ResultsModel &model = checked.model;
    model.appendRows({row(u"http://a.com/"_s), row(u"http://b.com/"_s), row(u"http://c.com/"_s)});

    TURLStatus moved(u"http://a.com/"_s, 301, u"5"_s, u"HTTP/1.1 301 Moved Permanently"_s, QString());
    moved.verdict = Verdict::Redirected;
    moved.finalUrl = u"http://a.com/new"_s;
    moved.finalStatus = 200;
    moved.hops = 1;
    moved.chain = {{301, u"http://a.com/"_s}, {200, u"http://a.com/new"_s}};
    TURLStatus refused(u"http://b.com/"_s, -1, u"1"_s, QString(), u"Failed to connect"_s);
    refused.verdict = Verdict::Unreachable;
    refused.reason = u"Connection refused"_s;
    refused.chain = {{0, u"http://b.com/"_s}};
    model.setCheckResult(0, moved);
    model.setCheckResult(1, refused);

    const int verdict = LinkRow::kVerdictColumn;
    EXPECT_EQ(model.data(model.index(0, verdict)).toString(), u"redirected"_s);
    EXPECT_EQ(model.data(model.index(1, verdict)).toString(), u"unreachable"_s);
    EXPECT_EQ(model.data(model.index(2, verdict)).toString(), QString()) << "not checked";
    EXPECT_EQ(model.data(model.index(0, verdict), Qt::ToolTipRole).toString(),
              u"301 http://a.com/\n200 http://a.com/new"_s);
    EXPECT_EQ(model.data(model.index(1, verdict), Qt::ToolTipRole).toString(),
              u"no answer http://b.com/\nConnection refused"_s);
    EXPECT_FALSE(model.data(model.index(2, verdict), Qt::ToolTipRole).isValid());
    const QColor ok = model.data(model.index(0, verdict), Qt::ForegroundRole).value<QColor>();
    const QColor failed = model.data(model.index(1, verdict), Qt::ForegroundRole).value<QColor>();
    EXPECT_TRUE(ok.isValid());
    EXPECT_NE(ok, failed) << "a working link and a failing one differ in colour";
    EXPECT_EQ(model.data(model.index(0, 4), Qt::ToolTipRole).toString(), u"HTTP/1.1 301 Moved Permanently"_s)
        << "a long status line shows whole";

    model.headerClicked(verdict);
    EXPECT_EQ(linksOf(model.rows()), (QStringList{u"http://c.com/"_s, u"http://a.com/"_s, u"http://b.com/"_s}))
        << "sorted by the verdict's word, the unchecked row first";

    model.resetCheckCells();
    for (int i = 0; i < model.rowCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(model.rows()[i].verdict, Verdict::None);
        EXPECT_TRUE(model.rows()[i].chain.isEmpty());
        EXPECT_EQ(model.data(model.index(i, verdict)).toString(), QString());
    }
}

TEST(ResultsModel, RunStartReturnsToTheLinkColumn)
{
    CheckedModel checked;
    ResultsModel &model = checked.model;
    model.appendRows({row(u"http://a.com/"_s, u"2"_s), row(u"http://b.com/"_s, u"1"_s)});
    model.headerClicked(3);
    model.headerClicked(3); // Anchor Text descending
    EXPECT_EQ(linksOf(model.rows()), (QStringList{u"http://a.com/"_s, u"http://b.com/"_s}));
    model.clear();
    model.runStarted();
    EXPECT_EQ(model.sortState(), (SortState{0, true, true}));
    model.appendRows({row(u"http://m.com/"_s)});
    model.appendRows({row(u"http://a.com/"_s), row(u"http://z.com/"_s), row(u"http://q.com/"_s),
                      row(u"http://k.com/"_s), row(u"http://x.com/"_s)});
    EXPECT_EQ(linksOf(model.rows()), (QStringList{u"http://z.com/"_s, u"http://x.com/"_s, u"http://q.com/"_s,
                                                  u"http://m.com/"_s, u"http://k.com/"_s, u"http://a.com/"_s}));

    // Rows left in the table are put in link order too, so later rows merge correctly.
    model.headerClicked(3);
    model.runStarted();
    LinkRows expected = model.rows();
    sortRows(expected, 0, model.sortState().Descending1);
    EXPECT_EQ(model.rows(), expected);
}

// Not a timed assertion: prints what 200,000 rows cost, for the report and for regressions seen
// by eye. The benchmark figures belong to an optimised build; this one may be a debug build.
TEST(ResultsModel, TwoHundredThousandRows)
{
    constexpr int kRows = 200000;
    const qint64 before = residentBytes();
    LinkRows rows = bigRows(kRows);
    const qint64 rowBytes = residentBytes() - before;

    // Shown in a table view as in the window, with a selected row, so the view's share of each
    // layout change is in the figures too.
    ResultsModel model;
    QTableView view;
    view.setModel(&model);
    view.resize(800, 600);
    view.show();
    QElapsedTimer timer;
    timer.start();
    model.appendRows(rows);
    view.selectRow(kRows / 2);
    const qint64 appendMs = timer.restart();
    model.headerClicked(3);
    const qint64 sortAnchorMs = timer.restart();
    model.headerClicked(0);
    const qint64 sortLinkMs = timer.restart();
    ASSERT_EQ(model.rowCount(), kRows);
    for (int i = 1; i < kRows; ++i) {
        ASSERT_LE(ListBox1Compare(model.rows()[i - 1], model.rows()[i], 0, false), 0) << "row " << i;
    }

    ResultsModel sortedModel;
    view.setModel(&sortedModel);
    sortedModel.headerClicked(1);
    timer.restart();
    for (qsizetype at = 0; at < rows.size(); at += 500) {
        sortedModel.appendRows(rows.mid(at, 500));
    }
    const qint64 sortedAppendMs = timer.restart();
    ASSERT_EQ(sortedModel.rowCount(), kRows);
    LinkRows expected = rows;
    sortRows(expected, 1, false);
    EXPECT_TRUE(sortedModel.rows() == expected);

    std::cout << "[ figures  ] " << kRows << " rows: " << rowBytes / kRows << " bytes of memory per row; append "
              << appendMs << " ms; sort by Anchor Text " << sortAnchorMs << " ms; sort by Link " << sortLinkMs
              << " ms; sorted-mode arrival in batches of 500 " << sortedAppendMs << " ms" << std::endl;
    RecordProperty("sort_ms", static_cast<int>(sortLinkMs));
}

} // namespace quorvel::test

namespace quorvel::test {

// Every verdict's colour stands out from the list's background, light or dark.
TEST(ResultsModel, VerdictColoursReadOnLightAndDarkBackgrounds)
{
    const QPalette before = QGuiApplication::palette();
    for (const QColor base : {QColor(Qt::white), QColor(0x2a, 0x2a, 0x2a)}) {
        SCOPED_TRACE(base.name().toStdString());
        QPalette palette = before;
        palette.setColor(QPalette::Base, base);
        QGuiApplication::setPalette(palette);
        for (int v = 0; v < kVerdictCount; ++v) {
            const QColor colour = ResultsModel::verdictColour(static_cast<Verdict>(v));
            EXPECT_GE(std::abs(colour.lightness() - base.lightness()), 80)
                << verdictName(static_cast<Verdict>(v)).toStdString();
        }
    }
    QGuiApplication::setPalette(before);
}

} // namespace quorvel::test
