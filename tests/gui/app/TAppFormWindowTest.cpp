// The main window as a whole: the update notice at start-up, where it opens, why a run or a check
// row came back empty, and what the keyboard and the mouse reach while a pass runs.

#include "core/collect/LocalPage.h"
#include "core/collect/PageFetcher.h"
#include "gui/app/AppFormDriver.h"
#include "gui/app/CheckSite.h"
#include "gui/app/TAppForm.h"
#include "gui/results/ResultsModel.h"
#include "gui/windows/TNewVer.h"
#include "support/LoopbackServer.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

QString statusPanel(const TAppForm &form, int index)
{
    return child<QLabel>(form, u"StatusPanel"_s + QString::number(index)).text();
}

// An address on 127.0.0.1 where nothing listens: the port of a server that has stopped again.
QString refusedAddress()
{
    LoopbackServer closed;
    if (!closed.start()) {
        throw std::runtime_error("no loopback port");
    }
    const QString address = closed.url(u"/"_s);
    closed.stop();
    return address;
}

// A page whose links are the given addresses, in order.
QString linkPage(Sandbox &sandbox, const QStringList &hrefs)
{
    QString html = u"<html><body>\n"_s;
    for (const QString &href : hrefs) {
        html += u"<a href=\"%1\">link</a>\n"_s.arg(href);
    }
    return sandbox.page(u"links.html"_s, html + u"</body></html>\n"_s);
}

bool passRunning(const TAppForm &form)
{
    return child<QPushButton>(form, u"Button2"_s).text() == u"STOP"_s;
}

::testing::AssertionResult waitForPassEnd(const TAppForm &form)
{
    if (!QTest::qWaitFor([&form] { return !passRunning(form); }, kRunWaitMs)) {
        return ::testing::AssertionFailure() << "the pass did not end";
    }
    return ::testing::AssertionSuccess();
}

} // namespace

// The window started as the program starts it asks the update service for its own product and
// announces a newer version with its name and number.
TEST(TAppFormWindow, UpdateNoticeAppearsForANewerVersion)
{
    LoopbackServer service(LoopbackServer::Scheme::Https);
    std::mutex mutex;
    std::vector<std::string> asked;
    service.server().Get(".*", [&](const httplib::Request &req, httplib::Response &res) {
        {
            const std::lock_guard lock(mutex);
            asked.push_back(req.path);
        }
        if (req.path == "/update/quorvel.json") {
            res.set_content(R"({"version": "2.3", "download": "https://example.test/q.tgz"})", "application/json");
        } else {
            res.status = 404;
        }
    });
    ASSERT_TRUE(service.start());

    Sandbox sandbox;
    sandbox.makerHost = u"127.0.0.1:"_s + QString::number(service.port());
    const auto form = sandbox.open();
    ASSERT_EQ(form->appVersion(), u"2.2"_s) << "the version block of this test program";
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->startUpdateCheck();

    ASSERT_TRUE(QTest::qWaitFor([&form] { return form->findChild<TNewVer *>() != nullptr; }, kRunWaitMs))
        << "no update popup";
    const TNewVer &popup = *form->findChild<TNewVer *>();
    EXPECT_EQ(child<QLabel>(popup, u"Label2"_s).text(), u"Click to download Quorvel 2.3"_s);
    EXPECT_EQ(popup.downloadTarget(), u"https://example.test/q.tgz"_s);
    const std::lock_guard lock(mutex);
    EXPECT_EQ(asked, std::vector<std::string>{"/update/quorvel.json"});
}

// The restored window stands in the middle of the screen's free area, at its minimum size of
// 800 x 600 (larger than the described 729 x 455, where captions would be cut).
TEST(TAppFormWindow, RestoredSizeIsCentredOnTheScreen)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    const QRect screen = form->screen()->availableGeometry();
    // A screen no larger than the window (the offscreen one is 800 x 600) moves it by its frame so
    // that the frame stays on the screen: that much off the middle is allowed.
    int slack = 1;
    const auto expectCentred = [&screen, &slack](const QRect &geometry) {
        EXPECT_EQ(geometry.size(), QSize(800, 600));
        EXPECT_LE(std::abs(geometry.center().x() - screen.center().x()), slack) << geometry.x();
        EXPECT_LE(std::abs(geometry.center().y() - screen.center().y()), slack) << geometry.y();
    };
    {
        SCOPED_TRACE("built");
        expectCentred(form->geometry());
    }
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    {
        SCOPED_TRACE("shown");
        const QMargins frame = form->windowHandle()->frameMargins();
        if (form->frameGeometry().width() > screen.width() || form->frameGeometry().height() > screen.height()) {
            slack += std::max({frame.left(), frame.right(), frame.top(), frame.bottom()});
        }
        expectCentred(form->normalGeometry());
    }
}

// A page that could not be loaded says why in the activity panel, beside "Total Links: 0", until
// the next run.
TEST(TAppFormWindow, APageThatCannotBeLoadedSaysWhy)
{
    struct Case
    {
        const char *name;
        QString address;
        QString reason; // what the engine reports for it
    };

    Sandbox sandbox;
    const QString refused = refusedAddress();
    const QString missing = u"file://"_s + sandbox.programFolder() + u"/no-such-page.html"_s;
    const std::vector<Case> cases = {
        {"refused connection", refused, FetchPage(refused, FetchOptions{}).error},
        {"missing local file", missing, readLocalPage(missing).error},
    };
    const QString good = sandbox.page(u"good.html"_s, u"<a href=\"http://h.test/1\">one</a>"_s);
    const auto form = sandbox.open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.reason.isEmpty());
        ASSERT_TRUE(collect(*form, c.address));
        EXPECT_EQ(statusPanel(*form, 0), u"Total Links: 0"_s);
        // curl says how long the refusal took ("after 0 ms"), which differs from run to run.
        static const QRegularExpression elapsed(u"after [0-9]+ ms"_s);
        EXPECT_EQ(statusPanel(*form, 1).replace(elapsed, u"after t ms"_s),
                  QString(u"Could not load: "_s + c.reason).replace(elapsed, u"after t ms"_s));

        // The next run starts without it.
        ASSERT_TRUE(collect(*form, good));
        EXPECT_EQ(statusPanel(*form, 0), u"Total Links: 1"_s);
        EXPECT_EQ(statusPanel(*form, 1), QString());
    }
}

// A check row that got no answer says why as the tooltip of its HTTP Response cell.
TEST(TAppFormWindow, ACheckRowWithoutAnswerSaysWhyInItsTooltip)
{
    CheckSite site;
    Sandbox sandbox;
    const QString refused = refusedAddress();
    const QString ok = site.url(u"/ok"_s);
    const auto form = sandbox.open();
    ASSERT_TRUE(collect(*form, linkPage(sandbox, {refused, ok})));
    child<QPushButton>(*form, u"Button2"_s).click();
    ASSERT_TRUE(waitForPassEnd(*form));

    const ResultsModel &model = *form->resultsModel();
    ASSERT_EQ(model.rowCount(), 2);
    const QString tooltip = model.data(model.index(0, 4), Qt::ToolTipRole).toString();
    EXPECT_EQ(model.rows().at(0).response, QString()) << "the cell itself stays empty";
    EXPECT_FALSE(tooltip.isEmpty());
    EXPECT_EQ(tooltip, model.rows().at(0).checkError);
    EXPECT_EQ(model.rows().at(1).response, u"HTTP/1.1 200 OK"_s);
    EXPECT_FALSE(model.data(model.index(1, 4), Qt::ToolTipRole).isValid()) << "an answered row has none";
}

// "Check Broken Links" keeps its place and width as "STOP", so a second click where the first one
// went stops the pass; the HEAD box, which the pass has already read, is disabled meanwhile.
TEST(TAppFormWindow, StopIsWhereCheckBrokenLinksWas)
{
    CheckSite site;
    Sandbox sandbox;
    const auto form = sandbox.open();
    child<QSpinBox>(*form, u"ParallelChecks"_s).setValue(1);
    ASSERT_TRUE(collect(*form, linkPage(sandbox, {site.url(u"/slow"_s), site.url(u"/after"_s)})));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    auto &button = child<QPushButton>(*form, u"Button2"_s);
    auto &head = child<QCheckBox>(*form, u"CheckBox3"_s);
    const QRect idle = button.geometry();
    // Near the right end of the caption, where a narrower button would no longer be.
    const QPoint spot = button.mapTo(form.get(), QPoint(button.width() - 4, button.height() / 2));
    EXPECT_TRUE(head.isEnabled());

    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, spot);
    ASSERT_TRUE(passRunning(*form));
    ASSERT_TRUE(QTest::qWaitFor([&site] { return site.slowEntered.load(); }, kRunWaitMs));
    QCoreApplication::sendPostedEvents(); // the layout follows the new caption
    EXPECT_EQ(button.geometry(), idle);
    EXPECT_FALSE(head.isEnabled());

    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, spot);
    ASSERT_TRUE(waitForPassEnd(*form));
    EXPECT_EQ(site.hits("/after"), 0) << "the second click stopped the pass";
    EXPECT_EQ(form->resultsModel()->rows().at(1).response, QString());
    EXPECT_TRUE(head.isEnabled());
    EXPECT_EQ(button.geometry(), idle);
}

// Tab visits every control once, top to bottom, and leaves the results list after one step instead
// of walking its cells.
TEST(TAppFormWindow, TabLeavesTheListAndReachesEveryButton)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    ASSERT_TRUE(collect(*form, linkPage(sandbox, {u"http://h.test/1"_s, u"http://h.test/2"_s})));
    child<QCheckBox>(*form, u"CheckBox1"_s).setChecked(true);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto &urlBox = child<QComboBox>(*form, u"Edit1"_s);
    urlBox.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, kRunWaitMs));

    // The control that has the keyboard: a combo or spin box rather than its inner line edit.
    const auto focused = [] {
        QWidget *widget = QApplication::focusWidget();
        if (widget && widget->parentWidget() &&
            (qobject_cast<QComboBox *>(widget->parentWidget()) ||
             qobject_cast<QAbstractSpinBox *>(widget->parentWidget()))) {
            widget = widget->parentWidget();
        }
        return widget ? widget->objectName() : QString();
    };
    ASSERT_EQ(focused(), u"Edit1"_s);
    QStringList visited;
    for (int step = 0; step < 40; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const QString now = focused();
        if (now == u"Edit1"_s) {
            break;
        }
        visited.append(now);
    }
    // The radio buttons are one stop: Tab goes to the checked one, the arrow keys move between them.
    EXPECT_EQ(visited,
              (QStringList{u"BitBtn1"_s,        u"CheckBox1"_s, u"RadioButton1"_s, u"Edit3"_s,      u"Edit4"_s,
                           u"ParallelChecks"_s, u"PerHost"_s,   u"ComboBox1"_s,    u"Edit2"_s,      u"CheckBox2"_s,
                           u"CheckBox3"_s,      u"Memo1"_s,     u"ProblemsOnly"_s, u"FilterEdit"_s, u"ListBox1"_s,
                           u"Button1"_s,        u"Button3"_s,   u"Button2"_s,      u"Button4"_s,    u"Button5"_s}));

    // From inside the list, with a cell current, one Tab leaves it.
    auto &list = child<QTableView>(*form, u"ListBox1"_s);
    list.setFocus();
    list.setCurrentIndex(form->resultsModel()->index(0, 0));
    ASSERT_EQ(focused(), u"ListBox1"_s);
    QTest::keyClick(&list, Qt::Key_Tab);
    EXPECT_EQ(focused(), u"Button1"_s);
}

} // namespace quorvel::test
