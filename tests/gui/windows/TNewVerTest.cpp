#include "gui/windows/TNewVer.h"

#include "core/common/Http.h"
#include "gui/windows/CapturedContext.h"
#include "gui/windows/UpdateNotifier.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

constexpr QRect kScreen1920(0, 0, 1920, 1080);

template <typename T> T *child(const QObject &parent, const QString &name)
{
    T *object = parent.findChild<T *>(name);
    EXPECT_NE(object, nullptr) << name.toStdString();
    return object;
}

// Quick timers: shows at once, no effect, one count every countMs.
NewVerTimings quickTimings(int countMs)
{
    NewVerTimings timings;
    timings.startMs = 1;
    timings.closeMs = countMs;
    timings.linkMs = 1;
    timings.animationMs = 0;
    return timings;
}

bool waitUntilShown(const TNewVer &popup)
{
    return QTest::qWaitFor([&] { return popup.isVisible() && popup.geometry() == popup.placement(); }, 5000);
}

void sendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, QPoint global)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(widget->mapFromGlobal(global)), QPointF(global),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

TEST(NewVer, SitsInTheTopRightCornerAndNamesTheVersion)
{
    auto captured = std::make_shared<Captured>();
    TNewVer popup(capturedContext(captured, u"maker.test"_s), u"2.3"_s, QString(), nullptr, quickTimings(1000),
                  kScreen1920);
    EXPECT_FALSE(popup.isVisible()) << "it shows on its first start tick";
    EXPECT_EQ(popup.placement(), QRect(1595, 5, 320, 68));
    EXPECT_TRUE(popup.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(popup.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_TRUE(waitUntilShown(popup));
    EXPECT_EQ(popup.geometry(), QRect(1595, 5, 320, 68));

    auto *title = child<QLabel>(popup, u"Label1"_s);
    EXPECT_EQ(title->text(), u"UPDATE AVAILABLE"_s);
    EXPECT_TRUE(title->font().bold());
    EXPECT_EQ(title->font().pixelSize(), 13);
    auto *link = child<QLabel>(popup, u"Label2"_s);
    EXPECT_EQ(link->text(), u"Click to download Quorvel 2.3"_s);
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(child<QPushButton>(popup, u"Button1"_s)->size(), QSize(22, 22));
    EXPECT_EQ(child<QLabel>(popup, u"Image1"_s)->size(), QSize(60, 60));
}

TEST(NewVer, ClosesWhenTheCountdownRunsOut)
{
    TNewVer popup(capturedContext(std::make_shared<Captured>(), u"maker.test"_s), u"2.3"_s, QString(), nullptr,
                  quickTimings(5), kScreen1920);
    EXPECT_EQ(popup.closeCountdown(), 11);
    ASSERT_TRUE(waitUntilShown(popup));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !popup.isVisible(); }, 5000));
    EXPECT_EQ(popup.closeCountdown(), 0);
    // Closing only hides it; it keeps its place.
    EXPECT_EQ(popup.geometry(), popup.placement());
}

TEST(NewVer, ClosedEarlyItStaysHidden)
{
    struct Case
    {
        const char *name;
        QString download;
        bool clickText; // else the close button
        QStringList opened;
    };

    const std::vector<Case> cases = {
        {"close button", u"https://example.test/q.tgz"_s, false, {}},
        {"text opens the download address", u"https://example.test/q.tgz"_s, true, {u"https://example.test/q.tgz"_s}},
        {"text without an address opens the home page", QString(), true, {u"http://maker.test"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto captured = std::make_shared<Captured>();
        TNewVer popup(capturedContext(captured, u"maker.test"_s), u"2.3"_s, c.download, nullptr, quickTimings(20),
                      kScreen1920);
        ASSERT_TRUE(waitUntilShown(popup));
        if (c.clickText) {
            QTest::mouseClick(child<QWidget>(popup, u"Label2"_s), Qt::LeftButton);
        } else {
            QTest::mouseClick(child<QWidget>(popup, u"Button1"_s), Qt::LeftButton);
        }
        EXPECT_FALSE(popup.isVisible());
        EXPECT_EQ(captured->opened, c.opened);
        // The countdown goes on to 0 and brings nothing back.
        EXPECT_TRUE(QTest::qWaitFor([&] { return popup.closeCountdown() == 0; }, 5000));
        EXPECT_FALSE(popup.isVisible());
    }
}

TEST(NewVer, DragsByItsBodyButNotByTheText)
{
    TNewVer popup(capturedContext(std::make_shared<Captured>(), u"maker.test"_s), u"2.3"_s, QString(), nullptr,
                  quickTimings(1000), kScreen1920);
    ASSERT_TRUE(waitUntilShown(popup));

    struct Case
    {
        const char *name;
        QString handle;
        Qt::MouseButton button;
        bool moves;
    };

    const std::vector<Case> cases = {
        {"left on the title", u"Label1"_s, Qt::LeftButton, true},
        {"left on the icon", u"Image1"_s, Qt::LeftButton, true},
        {"middle on the panel", u"Panel1"_s, Qt::MiddleButton, true},
        {"right on the title", u"Label1"_s, Qt::RightButton, false},
        {"left on the text", u"Label2"_s, Qt::LeftButton, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QWidget *handle = child<QWidget>(popup, c.handle);
        const QPoint before = popup.pos();
        const QPoint start = handle->mapToGlobal(QPoint(3, 3));
        sendMouse(handle, QEvent::MouseButtonPress, c.button, start);
        sendMouse(handle, QEvent::MouseMove, c.button, start + QPoint(-50, 30));
        // Release outside the text, so a press on it does not count as a click.
        sendMouse(handle, QEvent::MouseButtonRelease, c.button, start + QPoint(-500, 300));
        EXPECT_EQ(popup.pos(), c.moves ? before + QPoint(-50, 30) : before);
    }
    EXPECT_TRUE(popup.isVisible());
}

TEST(NewVer, TextTakesTheHighlightColourUnderThePointer)
{
    TNewVer popup(capturedContext(std::make_shared<Captured>(), u"maker.test"_s), u"2.3"_s, QString(), nullptr,
                  quickTimings(1000), kScreen1920);
    ASSERT_TRUE(waitUntilShown(popup));
    auto *link = child<QLabel>(popup, u"Label2"_s);
    const QPoint inside = link->mapToGlobal(link->rect().center());
    QCursor::setPos(inside);
    if (QCursor::pos() != inside) {
        GTEST_SKIP() << "this platform does not move the pointer";
    }
    const QPalette system = QApplication::palette();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return link->palette().color(QPalette::WindowText) == system.color(QPalette::Highlight); }, 5000));
    QCursor::setPos(QPoint(0, 0));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return link->palette().color(QPalette::WindowText) == system.color(QPalette::WindowText); }, 5000));
}

class UpdateNotifierTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_curl = std::make_unique<CurlGlobal>(); }

    static void TearDownTestSuite() { s_curl.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_service.server().Get("/update/quorvel.json", [this](const httplib::Request &, httplib::Response &res) {
            ++m_requests;
            res.status = m_status.load();
            res.set_content(m_reply, "application/json");
        });
        ASSERT_TRUE(m_service.start());
    }

    QString settingsFile() const { return m_dir.filePath(u"settings.ini"_s); }

    void storeShowUpdate(int value) const
    {
        QSettings(settingsFile(), QSettings::IniFormat).setValue(u"Settings/ShowUpdate"_s, value);
    }

    int storedShowUpdate() const
    {
        return QSettings(settingsFile(), QSettings::IniFormat).value(u"Settings/ShowUpdate"_s, -1).toInt();
    }

    // A main window with the Help menu's switch, and the notifier for the loopback service.
    struct Window
    {
        QMainWindow main;
        QAction *item = nullptr;
        UpdateNotifier *notifier = nullptr;
    };

    std::unique_ptr<Window> makeWindow(const std::shared_ptr<Captured> &captured)
    {
        auto window = std::make_unique<Window>();
        window->item = new QAction(u"Update Notifications"_s, &window->main);
        UpdateNotifier::Options options;
        options.check.connectTimeoutMs = 2000;
        options.check.responseTimeoutMs = 2000;
        options.popupTimings = quickTimings(1000);
        options.screenGeometry = kScreen1920;
        window->notifier =
            new UpdateNotifier(capturedContext(captured, u"127.0.0.1:"_s + QString::number(m_service.port())),
                               ShowUpdateSetting(settingsFile()), window->item, &window->main, options);
        return window;
    }

    static bool runCheck(Window &window)
    {
        QSignalSpy finished(window.notifier, &UpdateNotifier::checkFinished);
        window.notifier->start();
        return finished.wait(10000);
    }

    QTemporaryDir m_dir;
    LoopbackServer m_service{LoopbackServer::Scheme::Https};
    std::string m_reply;
    std::atomic<int> m_status{200};
    std::atomic<int> m_requests{0};
    static inline std::unique_ptr<CurlGlobal> s_curl;
};

TEST_F(UpdateNotifierTest, ANewerVersionBringsThePopupOnceWhileNoticesAreOn)
{
    struct Case
    {
        const char *name;
        int status;
        std::string reply;
        int showUpdate; // -1: not stored
        bool popup;
        bool checked;
    };

    const std::vector<Case> cases = {
        {"newer version", 200, R"({"version": "2.3", "download": "https://example.test/q.tgz"})", -1, true, true},
        {"2.10 is newer than 2.2", 200, R"({"version": "2.10"})", 1, true, true},
        {"same version", 200, R"({"version": "2.2"})", -1, false, true},
        {"older version", 200, R"({"version": "1.9"})", -1, false, true},
        {"notices off", 200, R"({"version": "2.3"})", 0, false, false},
        {"service error", 500, R"({"version": "2.3"})", -1, false, true},
        {"reply not understood", 200, "<html>", -1, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(settingsFile());
        if (c.showUpdate >= 0) {
            storeShowUpdate(c.showUpdate);
        }
        m_status = c.status;
        m_reply = c.reply;
        m_requests = 0;
        auto captured = std::make_shared<Captured>();
        const auto window = makeWindow(captured);
        EXPECT_TRUE(window->item->isCheckable());
        EXPECT_TRUE(window->item->isChecked());
        EXPECT_FALSE(window->item->isEnabled()) << "disabled until the check has finished";

        ASSERT_TRUE(runCheck(*window));
        EXPECT_TRUE(window->item->isEnabled());
        EXPECT_EQ(window->item->isChecked(), c.checked);
        EXPECT_EQ(window->notifier->popup() != nullptr, c.popup);
        if (c.popup) {
            TNewVer *popup = window->notifier->popup();
            EXPECT_TRUE(waitUntilShown(*popup));
            EXPECT_EQ(popup->placement(), QRect(1595, 5, 320, 68));
        }
        // One check per run.
        window->notifier->start();
        EXPECT_EQ(m_requests.load(), 1);
        EXPECT_FALSE(window->notifier->isChecking());
    }
}

TEST_F(UpdateNotifierTest, TheMenuItemSwitchesTheNotices)
{
    m_reply = R"({"version": "2.2"})";
    const auto window = makeWindow(std::make_shared<Captured>());
    ASSERT_TRUE(runCheck(*window));
    EXPECT_EQ(storedShowUpdate(), -1) << "the check itself writes nothing";
    window->item->trigger();
    EXPECT_FALSE(window->item->isChecked());
    EXPECT_EQ(storedShowUpdate(), 0);
    window->item->trigger();
    EXPECT_TRUE(window->item->isChecked());
    EXPECT_EQ(storedShowUpdate(), 1);
}

TEST_F(UpdateNotifierTest, ClosingTheWindowDuringTheCheckIsSafe)
{
    // Nothing answers: the check is still waiting when the window goes.
    FullBacklogPort silent;
    if (!silent.isFull()) {
        GTEST_SKIP() << "could not fill a listen queue";
    }
    auto window = std::make_unique<Window>();
    window->item = new QAction(u"Update Notifications"_s, &window->main);
    UpdateNotifier::Options options;
    options.serviceAddress = silent.url(u"/update/quorvel.json"_s);
    window->notifier = new UpdateNotifier(capturedContext(std::make_shared<Captured>(), u"maker.test"_s),
                                          ShowUpdateSetting(settingsFile()), window->item, &window->main, options);
    window->notifier->start();
    EXPECT_TRUE(window->notifier->isChecking());
    window.reset();
    SUCCEED();
}

} // namespace quorvel::test
