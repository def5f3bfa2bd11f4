#include "core/model/LinkRow.h"
#include "gui/analyze/TAnalyzeForm.h"
#include "gui/app/AppFormDriver.h"
#include "gui/results/ResultsModel.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
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

#include <atomic>

using namespace Qt::StringLiterals;

namespace quorvel::test {

// Analyze URL... takes its address by the row-target rule and opens a new window per analysis.
TEST(TAppFormOptions, AnalyzeOpensAWindowForTheTarget)
{
    Sandbox sandbox;
    const QString address =
        sandbox.page(u"a.html"_s, u"<title>Hello  page</title><h1>One</h1><h2></h2><img src=\"p.png\" alt=\"P\">"_s);
    const auto form = sandbox.open();
    child<QComboBox>(*form, u"Edit1"_s).setEditText(address);
    auto analyze = [&form](QMenu *menu, const QString &item) {
        for (QAction *action : menu->actions()) {
            if (action->objectName() == item) {
                action->trigger();
            }
        }
    };

    // The list's menu with no selected row does not fall back to the URL box.
    Q_EMIT child<QTableView>(*form, u"ListBox1"_s).customContextMenuRequested(QPoint(2, 2));
    form->listMenu()->hide();
    analyze(form->listMenu(), u"MenuItem5"_s);
    EXPECT_EQ(form->analysesRunning(), 0);
    EXPECT_TRUE(form->findChildren<TAnalyzeForm *>().isEmpty());

    form->checkMenu()->popup(form->mapToGlobal(QPoint(0, 0)));
    form->checkMenu()->hide();
    analyze(form->checkMenu(), u"AnalyzeURL1"_s);
    ASSERT_TRUE(QTest::qWaitFor([&form] { return !form->findChildren<TAnalyzeForm *>().isEmpty(); }, 10'000));
    const TAnalyzeForm *window = form->findChildren<TAnalyzeForm *>().constFirst();
    EXPECT_EQ(window->windowTitle(), u"Analyze URL"_s);
    EXPECT_EQ(child<QLineEdit>(*window, u"Edit1"_s).text(), address);
    EXPECT_EQ(child<QLabel>(*window, u"Label8"_s).text(), QString::number(address.size()));
    EXPECT_EQ(child<QLineEdit>(*window, u"Edit2"_s).text(), u"Hello page"_s);
    EXPECT_EQ(child<QLabel>(*window, u"Label11"_s).text(), u"5"_s);
    EXPECT_EQ(child<QLabel>(*window, u"Label13"_s).text(), u"2"_s);
    EXPECT_EQ(child<QTableWidget>(*window, u"ListView1"_s).rowCount(), 1);
    EXPECT_EQ(form->analysesRunning(), 0);
}

// Closing the main window while an analysis waits for its page: the analysis is stopped and its
// thread joined by the time the close returns, and no analysis window opens afterwards.
TEST(TAppFormOptions, ClosingDuringAnAnalysisStopsAndJoinsIt)
{
    std::atomic<bool> asked = false;
    RawServer silent([&asked](RawServer::Connection &c) {
        c.readRequestHead();
        asked = true;
        c.waitForShutdown();
    });
    ASSERT_TRUE(silent.start());
    Sandbox sandbox;
    const auto form = sandbox.open();
    child<QComboBox>(*form, u"Edit1"_s).setEditText(silent.url(u"/page"_s));
    form->checkMenu()->popup(form->mapToGlobal(QPoint(0, 0)));
    form->checkMenu()->hide();
    for (QAction *action : form->checkMenu()->actions()) {
        if (action->objectName() == u"AnalyzeURL1"_s) {
            action->trigger();
        }
    }
    ASSERT_EQ(form->analysesRunning(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&asked] { return asked.load(); }, 10'000));

    EXPECT_TRUE(form->close());
    EXPECT_EQ(form->analysesRunning(), 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(form->findChildren<TAnalyzeForm *>().isEmpty());
}

} // namespace quorvel::test
