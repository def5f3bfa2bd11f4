#include "core/model/LinkRow.h"
#include "gui/app/AppFormDriver.h"
#include "gui/app/CheckSite.h"
#include "gui/app/TAppForm.h"
#include "gui/results/ResultsModel.h"
#include "support/Fixtures.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
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

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

bool isWholeMs(const QString &time)
{
    static const QRegularExpression digits(u"^[0-9]+$"_s);
    return digits.match(time).hasMatch();
}

} // namespace

class TAppFormOptionsLoopback : public ::testing::Test
{
protected:
    // Collects a local page whose anchors point at the site, in this order (opening the window
    // unless the test did).
    void collectLinks(const QStringList &hrefs)
    {
        QString html = u"<html><body>\n"_s;
        for (const QString &href : hrefs) {
            html += u"<a href=\"%1\">link</a>\n"_s.arg(href);
        }
        html += u"</body></html>\n"_s;
        if (!m_form) {
            m_form = m_sandbox.open();
        }
        ASSERT_TRUE(collect(*m_form, m_sandbox.page(u"links.html"_s, html)));
        ASSERT_EQ(linksOf(*m_form->resultsModel()), hrefs);
        m_sandbox.beeps = 0;
    }

    bool passRunning() const { return brokenButton().text() == u"STOP"_s; }

    ::testing::AssertionResult waitForPassEnd()
    {
        if (!QTest::qWaitFor([this] { return brokenButton().text() == u"Check Broken Links"_s; }, kRunWaitMs)) {
            return ::testing::AssertionFailure() << "the pass did not end";
        }
        return ::testing::AssertionSuccess();
    }

    QPushButton &brokenButton() const { return child<QPushButton>(*m_form, u"Button2"_s); }

    QToolButton &checkButton() const { return child<QToolButton>(*m_form, u"BitBtn1"_s); }

    QString activity() const { return child<QLabel>(*m_form, u"StatusPanel1"_s).text(); }

    bool progressShown() const { return child<QProgressBar>(*m_form, u"CheckProgress"_s).isVisibleTo(m_form.get()); }

    const LinkRows &rows() const { return m_form->resultsModel()->rows(); }

    CheckSite m_site;
    Sandbox m_sandbox;
    std::unique_ptr<TAppForm> m_form;
};

// A pass over an empty list ends at once, with the beep.
TEST_F(TAppFormOptionsLoopback, EmptyListPassEndsAtOnce)
{
    m_form = m_sandbox.open();
    brokenButton().click();
    EXPECT_TRUE(passRunning());
    ASSERT_TRUE(waitForPassEnd());
    EXPECT_TRUE(checkButton().isEnabled());
    EXPECT_FALSE(progressShown());
    EXPECT_EQ(activity(), QString());
    EXPECT_EQ(m_sandbox.beeps, 1);
    EXPECT_TRUE(m_site.requests().empty());
}

// Enter in the URL box while a run waits for its page stops it, like the STOP button.
TEST_F(TAppFormOptionsLoopback, EnterDuringARunStopsIt)
{
    m_form = m_sandbox.open();
    auto &urlBox = child<QComboBox>(*m_form, u"Edit1"_s);
    urlBox.setEditText(m_site.url(u"/slow"_s));
    checkButton().click();
    ASSERT_EQ(checkButton().text(), u"STOP"_s);
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_site.slowEntered.load(); }, kRunWaitMs));

    QTest::keyClick(&urlBox, Qt::Key_Return); // where typed keys arrive: the combo box
    EXPECT_EQ(checkButton().text(), u"Stopping..."_s);
    EXPECT_FALSE(checkButton().isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([this] { return checkButton().text() == u"Check"_s; }, kRunWaitMs));
    EXPECT_TRUE(checkButton().isEnabled());
    EXPECT_EQ(m_sandbox.beeps, 1);
    EXPECT_EQ(m_site.hits("/slow"), 1) << "Enter did not start another run";
}

// A pass fills every row with its status line, time and icon, and shows that it runs.
TEST_F(TAppFormOptionsLoopback, FillsEveryRow)
{
    const QString ok = m_site.url(u"/ok"_s);
    const QString mail = u"mailto:someone@example.test"_s;
    m_form = m_sandbox.open();
    child<QComboBox>(*m_form, u"ComboBox1"_s).setEditText(u"Quorvel-Agent/1"_s);
    ASSERT_NO_FATAL_FAILURE(collectLinks({ok, m_site.url(u"/gone"_s), m_site.url(u"/moved"_s), mail, ok}));
    // The pass sends the agent of the last collection, not what the box says now.
    child<QComboBox>(*m_form, u"ComboBox1"_s).setEditText(u"Changed/2"_s);

    brokenButton().click();
    EXPECT_TRUE(passRunning());
    EXPECT_EQ(activity(), u"Checking Broken Links..."_s);
    EXPECT_FALSE(checkButton().isEnabled());
    // The pass took HEAD and Per host as they were; they wait for its end.
    EXPECT_FALSE(child<QCheckBox>(*m_form, u"CheckBox3"_s).isEnabled());
    EXPECT_FALSE(child<QSpinBox>(*m_form, u"PerHost"_s).isEnabled());
    EXPECT_TRUE(progressShown());
    ASSERT_TRUE(waitForPassEnd());
    EXPECT_TRUE(child<QCheckBox>(*m_form, u"CheckBox3"_s).isEnabled());
    EXPECT_TRUE(child<QSpinBox>(*m_form, u"PerHost"_s).isEnabled());

    struct Expected
    {
        const char *name;
        QString response;
        int icon;
        bool timed;
    };

    const std::vector<Expected> expected = {
        {"200", u"HTTP/1.1 200 OK"_s, kIconOk, true},
        {"404", u"HTTP/1.1 404 Not Found"_s, kIconBroken, true},
        {"301: the cell keeps the first answer", u"HTTP/1.1 301 Moved Permanently"_s, kIconRedirect, true},
        {"mail link", u"EMAIL"_s, kIconNone, false},
        {"repeat of the first row", u"HTTP/1.1 200 OK"_s, kIconOk, true},
    };
    ASSERT_EQ(rows().size(), static_cast<qsizetype>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        const LinkRow &row = rows().at(static_cast<qsizetype>(i));
        EXPECT_EQ(row.response, expected[i].response);
        EXPECT_EQ(row.icon, expected[i].icon);
        if (expected[i].timed) {
            EXPECT_TRUE(isWholeMs(row.responseTime)) << row.responseTime.toStdString();
        } else {
            EXPECT_EQ(row.responseTime, QString());
        }
    }
    EXPECT_EQ(rows().at(4).responseTime, rows().at(0).responseTime) << "a repeat copies its first occurrence";

    EXPECT_EQ(brokenButton().text(), u"Check Broken Links"_s);
    EXPECT_TRUE(checkButton().isEnabled());
    EXPECT_FALSE(progressShown());
    EXPECT_EQ(activity(), QString());
    EXPECT_EQ(m_sandbox.beeps, 1);

    EXPECT_EQ(m_site.hits("/ok"), 1) << "one request per distinct link";
    EXPECT_EQ(m_site.hits("/target"), 1) << "a redirect is followed to its end";
    for (const CheckSite::Request &request : m_site.requests()) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.agent, "Quorvel-Agent/1");
    }
}

// While a pass runs the status bar counts the rows done; at its end it sums up the verdicts.
// "Problems only" (the box above the list and the Results menu's item, kept in step) hides the rows
// checked and found fine or not requested, keeps "Total Links" whole and says how many it shows,
// and Find passes over the rows it hides.
TEST_F(TAppFormOptionsLoopback, ProblemsOnlyAndTheCheckCounts)
{
    m_form = m_sandbox.open();
    child<QSpinBox>(*m_form, u"ParallelChecks"_s).setValue(1);
    const QString gone = m_site.url(u"/gone"_s);
    ASSERT_NO_FATAL_FAILURE(collectLinks({m_site.url(u"/ok"_s), m_site.url(u"/slow"_s), gone, m_site.url(u"/moved"_s),
                                          u"mailto:someone@example.test"_s}));
    const auto &counts = child<QLabel>(*m_form, u"CheckCounts"_s);
    const auto &total = child<QLabel>(*m_form, u"StatusPanel0"_s);
    auto &problemsOnly = child<QCheckBox>(*m_form, u"ProblemsOnly"_s);
    auto &menuItem = child<QAction>(*m_form, u"ProblemsOnly1"_s);
    const auto &list = child<QTableView>(*m_form, u"ListBox1"_s);
    const auto shownRows = [&list] {
        QList<int> shown;
        for (int i = 0; i < list.model()->rowCount(); ++i) {
            if (!list.isRowHidden(i)) {
                shown << i;
            }
        }
        return shown;
    };
    EXPECT_EQ(total.text(), u"Total Links: 5"_s);

    brokenButton().click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_site.slowEntered.load(); }, kRunWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&counts] { return counts.text() == u"1/5 checked"_s; }, kRunWaitMs))
        << counts.text().toStdString();
    // Turned on during the pass: the fine row goes, the rows still to check stay.
    problemsOnly.click();
    EXPECT_TRUE(menuItem.isChecked());
    EXPECT_EQ(shownRows(), (QList<int>{1, 2, 3, 4}));
    EXPECT_EQ(total.text(), u"Total Links: 5 (showing 4)"_s);

    m_site.release();
    ASSERT_TRUE(waitForPassEnd());
    EXPECT_EQ(shownRows(), (QList<int>{2}));
    EXPECT_EQ(total.text(), u"Total Links: 5 (showing 1)"_s);
    EXPECT_EQ(counts.text(), u"Checked 5 links: 2 ok, 1 redirected, 1 broken, 1 skipped"_s);
    EXPECT_EQ(counts.toolTip(), u"Checked 5 links: 2 ok, 1 redirected, 1 broken, 0 blocked, 0 rate-limited, "
                                u"0 timeout, 0 unreachable, 0 fragment-missing, 1 skipped"_s);
    EXPECT_EQ(activity(), QString());

    // A sort moves the rows; the filter follows them.
    m_form->resultsModel()->headerClicked(LinkRow::kVerdictColumn);
    QList<int> shownAfterSort = shownRows();
    ASSERT_EQ(shownAfterSort.size(), 1);
    EXPECT_EQ(rows().at(shownAfterSort.front()).link, gone);

    // Find skips what is hidden: every http row matches, only the broken one is shown.
    child<QPushButton>(*m_form, u"Button1"_s).click();
    auto &find = child<QDialog>(*m_form, u"FindDialog1"_s);
    find.findChild<QLineEdit *>(u"FindText"_s)->setText(u"127.0.0.1"_s);
    find.findChild<QPushButton *>(u"FindNext"_s)->click();
    const QModelIndexList selected = list.selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(rows().at(selected.front().row()).link, gone);
    find.hide();

    // Off from the menu: every row again, and the plain total.
    menuItem.trigger();
    EXPECT_FALSE(problemsOnly.isChecked());
    EXPECT_EQ(shownRows().size(), 5);
    EXPECT_EQ(total.text(), u"Total Links: 5"_s);
}

// A second pass clears the first one's results at once, and takes the options as they are then.
TEST_F(TAppFormOptionsLoopback, SecondPassClearsTheFirstBeforeItsRequests)
{
    const QString ok = m_site.url(u"/ok"_s);
    ASSERT_NO_FATAL_FAILURE(collectLinks({ok, m_site.url(u"/gone"_s), ok}));
    brokenButton().click();
    ASSERT_TRUE(waitForPassEnd());
    ASSERT_EQ(rows().at(1).icon, kIconBroken);
    const size_t firstPassRequests = m_site.requests().size();

    child<QCheckBox>(*m_form, u"CheckBox3"_s).click(); // HEAD from now on
    brokenButton().click();
    // Nothing of the new pass has reached the window yet: every row is blank.
    for (const LinkRow &row : rows()) {
        EXPECT_EQ(row.response, QString());
        EXPECT_EQ(row.responseTime, QString());
        EXPECT_EQ(row.icon, kIconNone);
    }
    ASSERT_TRUE(waitForPassEnd());
    EXPECT_EQ(rows().at(0).response, u"HTTP/1.1 200 OK"_s);
    EXPECT_EQ(rows().at(1).response, u"HTTP/1.1 404 Not Found"_s);
    EXPECT_EQ(rows().at(2).icon, kIconOk);
    EXPECT_EQ(m_sandbox.beeps, 2);

    const std::vector<CheckSite::Request> requests = m_site.requests();
    ASSERT_EQ(requests.size(), firstPassRequests + 2) << "every distinct link is asked again, once";
    for (size_t i = firstPassRequests; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].method, "HEAD");
    }
}

// STOP ends the pass: rows not started keep blank cells, the window goes back to idle.
TEST_F(TAppFormOptionsLoopback, StopLeavesLaterRowsBlank)
{
    m_form = m_sandbox.open();
    child<QSpinBox>(*m_form, u"ParallelChecks"_s).setValue(1);
    ASSERT_NO_FATAL_FAILURE(
        collectLinks({m_site.url(u"/ok"_s), m_site.url(u"/slow"_s), m_site.url(u"/after"_s), m_site.url(u"/gone"_s)}));

    brokenButton().click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_site.slowEntered.load(); }, kRunWaitMs));
    ASSERT_TRUE(passRunning());
    brokenButton().click();
    ASSERT_TRUE(waitForPassEnd());

    EXPECT_EQ(rows().at(0).response, u"HTTP/1.1 200 OK"_s);
    for (const qsizetype i : {2, 3}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows().at(i).response, QString());
        EXPECT_EQ(rows().at(i).responseTime, QString());
        EXPECT_EQ(rows().at(i).icon, kIconNone);
    }
    EXPECT_EQ(m_site.hits("/after"), 0);
    EXPECT_EQ(m_site.hits("/gone"), 0);
    EXPECT_TRUE(checkButton().isEnabled());
    EXPECT_EQ(checkButton().text(), u"Check"_s);
    EXPECT_FALSE(progressShown());
    EXPECT_EQ(activity(), QString());
    EXPECT_EQ(m_sandbox.beeps, 1);
}

// While a pass runs the Check button is disabled, and Enter in the URL box or the menus' Check
// item do no more than a click on it: no collection starts under the pass.
TEST_F(TAppFormOptionsLoopback, NoRunStartsDuringAPass)
{
    const QStringList links = {m_site.url(u"/slow"_s), m_site.url(u"/after"_s)};
    ASSERT_NO_FATAL_FAILURE(collectLinks(links));
    const QString other = m_sandbox.page(u"other.html"_s, u"<a href=\"http://h.test/1\">one</a>"_s);
    auto &urlBox = child<QComboBox>(*m_form, u"Edit1"_s);

    brokenButton().click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_site.slowEntered.load(); }, kRunWaitMs));
    urlBox.setEditText(other);
    QTest::keyClick(&urlBox, Qt::Key_Return); // where typed keys arrive: the combo box
    m_form->checkMenu()->popup(QPoint(0, 0));
    child<QAction>(*m_form->checkMenu(), u"Check1"_s).trigger();
    m_form->checkMenu()->close();

    EXPECT_EQ(checkButton().text(), u"Check"_s);
    EXPECT_FALSE(checkButton().isEnabled());
    EXPECT_TRUE(passRunning());
    EXPECT_TRUE(brokenButton().isEnabled()) << "the pass can still be stopped";
    EXPECT_EQ(linksOf(*m_form->resultsModel()), links);
    brokenButton().click();
    ASSERT_TRUE(waitForPassEnd());
    EXPECT_EQ(linksOf(*m_form->resultsModel()), links);
    EXPECT_EQ(itemsOf(urlBox).size(), 1) << "only the first collection is in the history";
}

// The table is not re-ordered under a running pass; once it ended a header click sorts.
TEST_F(TAppFormOptionsLoopback, HeaderClickDuringAPassIsIgnored)
{
    const QStringList links = {m_site.url(u"/slow"_s), m_site.url(u"/after"_s), m_site.url(u"/gone"_s)};
    ASSERT_NO_FATAL_FAILURE(collectLinks(links));
    m_form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    QHeaderView &header = *child<QTableView>(*m_form, u"ListBox1"_s).horizontalHeader();
    const auto clickLinkHeader = [&header] {
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                          QPoint(header.sectionViewportPosition(0) + 5, header.height() / 2));
    };
    const SortState before = m_form->resultsModel()->sortState();

    brokenButton().click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_site.slowEntered.load(); }, kRunWaitMs));
    clickLinkHeader();
    EXPECT_EQ(m_form->resultsModel()->sortState(), before);
    EXPECT_EQ(linksOf(*m_form->resultsModel()), links);
    brokenButton().click();
    ASSERT_TRUE(waitForPassEnd());

    clickLinkHeader();
    EXPECT_TRUE(m_form->resultsModel()->sortState().sortedMode) << "the same click sorts when idle";
}

} // namespace quorvel::test
