// The main window by keyboard: the shortcuts of the common commands, the access keys of the menus,
// Esc in the windows it opens, and the Check Broken Links button's width whatever its caption.

#include "core/analyze/RunAnalysis.h"
#include "gui/analyze/TAnalyzeForm.h"
#include "gui/app/AppFormDriver.h"
#include "gui/app/TAppForm.h"
#include "gui/results/ResultsModel.h"
#include "gui/results/TFindDialog.h"
#include "gui/windows/TAboutBox.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// A page of links to a port where nothing listens: a check pass over them ends at once, offline.
QString deadLinksPage(Sandbox &sandbox)
{
    QString html = u"<html><body>\n"_s;
    for (const QString &path : {u"/one"_s, u"/two"_s, u"/three"_s}) {
        html += u"<a href=\"http://127.0.0.1:9%1\">%1</a>\n"_s.arg(path);
    }
    return sandbox.page(u"dead.html"_s, html + u"</body></html>\n"_s);
}

bool idle(const TAppForm &form)
{
    return child<QToolButton>(form, u"BitBtn1"_s).text() == u"Check"_s &&
           child<QPushButton>(form, u"Button2"_s).text() == u"Check Broken Links"_s;
}

// Presses the keys on the window as the user would, with the window active.
void press(TAppForm &form, const QKeySequence &keys)
{
    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : &form;
    QTest::keySequence(target, keys);
}

} // namespace

// Each shortcut reaches its menu item (which shows it), and the item does its job.
TEST(TAppFormKeys, ShortcutsRunTheirCommands)
{
    struct Case
    {
        const char *name;
        QKeySequence keys;
        QString item; // the menu item the keys trigger
        std::function<::testing::AssertionResult(TAppForm &, Sandbox &)> happened;
    };
    const auto rowsCollected = [](TAppForm &form, Sandbox &) -> ::testing::AssertionResult {
        if (!QTest::qWaitFor([&form] { return idle(form) && form.resultsModel()->rowCount() == 3; }, kRunWaitMs)) {
            return ::testing::AssertionFailure() << "no run collected the page";
        }
        return ::testing::AssertionSuccess();
    };
    const auto sawDialog = [](TAppForm &, Sandbox &sandbox) -> ::testing::AssertionResult {
        if (sandbox.dialogs.seen().size() != 1) {
            return ::testing::AssertionFailure() << sandbox.dialogs.seen().size() << " dialogs";
        }
        return ::testing::AssertionSuccess();
    };
    const std::vector<Case> cases = {
        {"Ctrl+L selects the URL box's text", QKeySequence(u"Ctrl+L"_s), u"EnterURL1"_s,
         [](TAppForm &form, Sandbox &) -> ::testing::AssertionResult {
             const auto &box = child<QComboBox>(form, u"Edit1"_s);
             if (!box.hasFocus() && !box.lineEdit()->hasFocus()) {
                 return ::testing::AssertionFailure() << "the URL box has no focus";
             }
             if (box.lineEdit()->selectedText() != box.currentText()) {
                 return ::testing::AssertionFailure() << "selected: " << box.lineEdit()->selectedText().toStdString();
             }
             return ::testing::AssertionSuccess();
         }},
        {"F5 checks", QKeySequence(Qt::Key_F5), u"CheckUrl1"_s, rowsCollected},
        {"Ctrl+Enter checks", QKeySequence(Qt::CTRL | Qt::Key_Return), u"CheckUrl1"_s, rowsCollected},
        {"Ctrl+B checks the links", QKeySequence(u"Ctrl+B"_s), u"FindBrokenLinks1"_s,
         [](TAppForm &form, Sandbox &) -> ::testing::AssertionResult {
             const auto checked = [&form] {
                 const LinkRows &rows = form.resultsModel()->rows();
                 return !rows.isEmpty() && std::all_of(rows.begin(), rows.end(),
                                                       [](const LinkRow &row) { return row.verdict != Verdict::None; });
             };
             if (!QTest::qWaitFor([&] { return idle(form) && checked(); }, kRunWaitMs)) {
                 return ::testing::AssertionFailure() << "no pass checked the rows";
             }
             return ::testing::AssertionSuccess();
         }},
        {"Ctrl+O loads a file", QKeySequence(u"Ctrl+O"_s), u"LoadFile1"_s, sawDialog},
        {"Ctrl+S exports", QKeySequence(u"Ctrl+S"_s), u"ExporttoFile1"_s, sawDialog},
        {"Ctrl+F finds", QKeySequence(u"Ctrl+F"_s), u"Search1"_s,
         [](TAppForm &form, Sandbox &) -> ::testing::AssertionResult {
             const auto *find = form.findChild<TFindDialog *>();
             if (!find || !find->isVisible()) {
                 return ::testing::AssertionFailure() << "no Find window";
             }
             return ::testing::AssertionSuccess();
         }},
        {"Ctrl+Q exits", QKeySequence(u"Ctrl+Q"_s), u"Exit1"_s,
         [](TAppForm &, Sandbox &sandbox) -> ::testing::AssertionResult {
             if (sandbox.quits != 1) {
                 return ::testing::AssertionFailure() << sandbox.quits << " exits";
             }
             return ::testing::AssertionSuccess();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox sandbox;
        const auto form = sandbox.open();
        const QString page = deadLinksPage(sandbox);
        if (c.item == u"FindBrokenLinks1"_s || c.item == u"ExporttoFile1"_s) {
            form->setLocalFile(page.mid(int(u"file://"_s.size())));
            form->onCheckClicked();
            ASSERT_TRUE(
                QTest::qWaitFor([&form] { return idle(*form) && form->resultsModel()->rowCount() == 3; }, kRunWaitMs));
        }
        child<QComboBox>(*form, u"Edit1"_s).setEditText(page);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        child<QTableView>(*form, u"ListBox1"_s).setFocus();
        QSignalSpy triggered(&child<QAction>(*form, c.item), &QAction::triggered);
        press(*form, c.keys);
        EXPECT_EQ(triggered.count(), 1);
        EXPECT_TRUE(c.happened(*form, sandbox));
        if (auto *find = form->findChild<TFindDialog *>()) {
            find->close();
        }
    }
}

// F3 finds the Find box's text once more, from the row after the last match; with no text yet it
// opens Find.
TEST(TAppFormKeys, F3FindsTheNextMatch)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    form->setLocalFile(deadLinksPage(sandbox).mid(int(u"file://"_s.size())));
    form->onCheckClicked();
    ASSERT_TRUE(QTest::qWaitFor([&form] { return idle(*form) && form->resultsModel()->rowCount() == 3; }, kRunWaitMs));
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto &list = child<QTableView>(*form, u"ListBox1"_s);
    list.setFocus();
    const auto selected = [&list] {
        const QModelIndexList rows = list.selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    };

    press(*form, QKeySequence(Qt::Key_F3));
    auto *find = form->findChild<TFindDialog *>();
    ASSERT_NE(find, nullptr) << "F3 with nothing to find opens Find";
    EXPECT_TRUE(find->isVisible());
    find->textBox()->setText(u"127.0.0.1"_s);
    find->close();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    list.setFocus();

    for (const int expected : {0, 1, 2, 0}) {
        press(*form, QKeySequence(Qt::Key_F3));
        EXPECT_EQ(selected(), expected);
    }
}

// Every menu and menu item has an access key, and no two in one menu share it.
TEST(TAppFormKeys, MenusHaveDistinctAccessKeys)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    std::vector<std::pair<QString, QList<QAction *>>> menus = {{u"menu bar"_s, form->menuBar()->actions()},
                                                               {u"Check menu"_s, form->checkMenu()->actions()},
                                                               {u"list menu"_s, form->listMenu()->actions()}};
    for (QAction *title : form->menuBar()->actions()) {
        if (title->menu()) {
            menus.emplace_back(title->text(), title->menu()->actions());
        }
    }
    for (const auto &[menu, items] : menus) {
        SCOPED_TRACE(menu.toStdString());
        QSet<QKeySequence> keys;
        for (const QAction *item : items) {
            if (item->isSeparator()) {
                continue;
            }
            const QKeySequence key = QKeySequence::mnemonic(item->text());
            EXPECT_FALSE(key.isEmpty()) << "no access key: " << item->text().toStdString();
            EXPECT_FALSE(keys.contains(key)) << "taken twice: " << item->text().toStdString();
            keys.insert(key);
        }
    }
}

// Esc closes the Find, About and Analyze windows.
TEST(TAppFormKeys, EscClosesTheSmallWindows)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    {
        SCOPED_TRACE("Find");
        child<QPushButton>(*form, u"Button1"_s).click();
        auto *find = form->findChild<TFindDialog *>();
        ASSERT_NE(find, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(find));
        QTest::keyClick(find->textBox(), Qt::Key_Escape);
        EXPECT_FALSE(find->isVisible());
    }
    {
        SCOPED_TRACE("About");
        // The About window is modal: the key goes in from inside its own event loop. A second call
        // means Esc left it open; then it is closed another way, so the test ends either way.
        int answers = 0;
        sandbox.dialogs.answerWith([&answers](QWidget *dialog) {
            if (++answers == 1) {
                QTest::keyClick(dialog, Qt::Key_Escape);
            } else {
                qobject_cast<QDialog *>(dialog)->done(QDialog::Rejected);
            }
        });
        child<QPushButton>(*form, u"Button5"_s).click();
        EXPECT_EQ(answers, 1) << "Esc did not close the About window";
        sandbox.dialogs.answerWith({});
    }
    {
        SCOPED_TRACE("Analyze");
        QPointer<TAnalyzeForm> analyze = new TAnalyzeForm(AnalysisResult{});
        analyze->show();
        analyze->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(analyze.data()));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : analyze.data(), Qt::Key_Escape);
        EXPECT_TRUE(QTest::qWaitFor([&analyze] { return analyze.isNull(); }, kRunWaitMs))
            << "Esc left the Analyze window open";
        delete analyze.data();
    }
}

// Check Broken Links keeps one width, that of its wider caption, in whatever font it is shown.
TEST(TAppFormKeys, BrokenLinksButtonFitsBothCaptionsInAnyFont)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    auto &button = child<QPushButton>(*form, u"Button2"_s);
    auto &check = child<QToolButton>(*form, u"BitBtn1"_s);
    for (const qreal points : {9.0, 14.0, 20.0}) {
        SCOPED_TRACE(points);
        QFont font = form->font();
        font.setPointSizeF(points);
        form->setFont(font);
        QCoreApplication::sendPostedEvents();
        const int width = button.minimumWidth();
        EXPECT_EQ(button.maximumWidth(), width);
        for (const QString &caption : {u"STOP"_s, u"Check Broken Links"_s}) {
            button.setText(caption);
            EXPECT_GE(width, button.sizeHint().width()) << caption.toStdString();
        }
        for (const QString &caption : {u"STOP"_s, u"Stopping..."_s, u"Check"_s}) {
            check.setText(caption);
            EXPECT_GE(check.minimumWidth(), check.sizeHint().width()) << caption.toStdString();
        }
        button.setText(u"Check Broken Links"_s);
        check.setText(u"Check"_s);
    }
}

// A translation whose "STOP" is longer than "Check Broken Links" widens the button as soon as it
// is loaded, so the translated caption fits too.
TEST(TAppFormKeys, BrokenLinksButtonFitsATranslatedStop)
{
    // Stands in for a loaded .qm file: only the two run captions are translated.
    class LongStop final : public QTranslator
    {
    public:
        QString translate(const char *context, const char *source, const char *, int) const override
        {
            if (QByteArrayView(context) == "TAppForm" && QByteArrayView(source) == "STOP") {
                return u"Stop the check of every link now"_s;
            }
            return {};
        }
        bool isEmpty() const override { return false; }
    };

    Sandbox sandbox;
    const auto form = sandbox.open();
    auto &button = child<QPushButton>(*form, u"Button2"_s);
    const int before = button.minimumWidth();
    LongStop translation;
    ASSERT_TRUE(QCoreApplication::installTranslator(&translation));
    // The language change reaches the windows through the event queue.
    EXPECT_TRUE(QTest::qWaitFor([&] { return button.minimumWidth() > before; }, kRunWaitMs));
    button.setText(u"Stop the check of every link now"_s);
    EXPECT_GE(button.minimumWidth(), button.sizeHint().width());
    button.setText(u"Check Broken Links"_s);
    QCoreApplication::removeTranslator(&translation);
    EXPECT_TRUE(QTest::qWaitFor([&] { return button.minimumWidth() == before; }, kRunWaitMs))
        << "the width follows the language back: " << button.minimumWidth() << " for " << before;
}

} // namespace quorvel::test
