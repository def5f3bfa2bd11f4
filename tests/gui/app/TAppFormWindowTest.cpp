// The main window as a whole: the update notice at start-up, where it opens, why a run or a check
// row came back empty, and what the keyboard and the mouse reach while a pass runs.

#include "core/collect/LocalPage.h"
#include "core/collect/PageFetcher.h"
#include "gui/app/AppFormDriver.h"
#include "gui/app/TAppForm.h"
#include "gui/results/ResultsModel.h"
#include "gui/windows/TNewVer.h"
#include "support/LoopbackServer.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

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

// The restored window (729 x 455) stands in the middle of the screen's free area.
TEST(TAppFormWindow, RestoredSizeIsCentredOnTheScreen)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    const QRect screen = form->screen()->availableGeometry();
    const auto expectCentred = [&screen](const QRect &geometry) {
        EXPECT_EQ(geometry.size(), QSize(729, 455));
        EXPECT_LE(std::abs(geometry.center().x() - screen.center().x()), 1) << geometry.x();
        EXPECT_LE(std::abs(geometry.center().y() - screen.center().y()), 1) << geometry.y();
    };
    {
        SCOPED_TRACE("built");
        expectCentred(form->geometry());
    }
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    {
        SCOPED_TRACE("shown");
        expectCentred(form->normalGeometry());
    }
}

} // namespace quorvel::test
