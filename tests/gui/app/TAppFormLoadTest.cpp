#include "core/results/ParallelChecks.h"
#include "gui/app/AppFormDriver.h"
#include "support/LoopbackServer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>

using namespace Qt::StringLiterals;

// The main window under load: a run of 200,000 links and a check pass of 5,000, stopped and closed
// while they go. Closing is measured in a process of its own, from the close to the process's end.

namespace quorvel::test {

namespace {

constexpr int kWaitMs = 120'000;
constexpr int kRunLinks = 200'000;
constexpr int kPassLinks = 5'000;
// Enough rows answered that the pass is well under way, and far from its end.
constexpr int kMidway = 300;
// The variable that makes the disabled test below play the child's part.
constexpr char kScenarioVariable[] = "QUORVEL_CLOSE_SCENARIO";
const QString kClosingMark = u"closing-at-ms "_s;

qint64 steadyMs()
{
    // CLOCK_MONOTONIC: the same clock in the parent and in the child process.
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A site whose every link answers after a short wait, so a pass of thousands of links takes
// seconds: /p/N answers 200, and every seventh one 404.
class SlowSite final
{
public:
    SlowSite()
    {
        m_server.server().Get(R"(/p/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const int n = std::stoi(req.matches[1].str());
            res.status = n % 7 == 6 ? 404 : 200;
            res.set_content("x", "text/plain");
        });
        if (!m_server.start()) {
            throw std::runtime_error("the loopback server did not start");
        }
    }

    QString url(const QString &path) const { return m_server.url(path); }

private:
    LoopbackServer m_server;
};

// The window, shown, on the sandbox's folders.
std::unique_ptr<TAppForm> openWindow(Sandbox &sandbox)
{
    std::unique_ptr<TAppForm> form = sandbox.open();
    form->show();
    return form;
}

// A page of count anchors, href(i) each; returns its file:/// address.
template <typename Href> QString bigPage(const Sandbox &sandbox, int count, Href href)
{
    QString html = u"<html><body>\n"_s;
    html.reserve(count * 64);
    for (int i = 0; i < count; ++i) {
        html += u"<a href=\""_s + href(i) + u"\">Link "_s + QString::number(i) + u"</a>\n"_s;
    }
    html += u"</body></html>\n"_s;
    return sandbox.page(u"load.html"_s, html);
}

QToolButton &checkButton(TAppForm &form)
{
    return child<QToolButton>(form, u"BitBtn1"_s);
}

QPushButton &brokenButton(TAppForm &form)
{
    return child<QPushButton>(form, u"Button2"_s);
}

bool runGoing(TAppForm &form)
{
    return checkButton(form).text() == u"STOP"_s;
}

bool passGoing(TAppForm &form)
{
    return brokenButton(form).text() == u"STOP"_s;
}

bool waitFor(const std::function<bool()> &condition)
{
    return QTest::qWaitFor(condition, kWaitMs);
}

void startRun(TAppForm &form, const QString &address)
{
    child<QComboBox>(form, u"Edit1"_s).setEditText(address);
    checkButton(form).click();
}

int answeredRows(const TAppForm &form)
{
    const LinkRows &rows = form.resultsModel()->rows();
    return static_cast<int>(
        std::count_if(rows.begin(), rows.end(), [](const LinkRow &row) { return !row.response.isEmpty(); }));
}

// Collects a page of kPassLinks links to the slow site and starts the check pass over them.
void startPass(TAppForm &form, const Sandbox &sandbox, const SlowSite &site)
{
    startRun(form, bigPage(sandbox, kPassLinks, [&site](int i) { return site.url(u"/p/"_s + QString::number(i)); }));
    ASSERT_TRUE(waitFor([&form] { return !runGoing(form) && checkButton(form).isEnabled(); }));
    ASSERT_EQ(form.resultsModel()->rowCount(), kPassLinks);
    brokenButton(form).click();
    ASSERT_TRUE(passGoing(form));
}

} // namespace

// STOP half-way through a pass of 5,000 links: the pass ends at once, the rows answered keep their
// results, the rest stay blank, and the window is ready for the next pass.
TEST(TAppFormUnderLoad, StopHalfWayThroughALongPass)
{
    SlowSite site;
    Sandbox sandbox;
    const std::unique_ptr<TAppForm> form = openWindow(sandbox);
    ASSERT_NO_FATAL_FAILURE(startPass(*form, sandbox, site));
    ASSERT_TRUE(waitFor([&form] { return answeredRows(*form) >= kMidway; }));

    brokenButton(*form).click();
    ASSERT_TRUE(waitFor([&form] { return !passGoing(*form); }));
    const int answered = answeredRows(*form);
    EXPECT_GE(answered, kMidway);
    EXPECT_LT(answered, kPassLinks) << "STOP came late enough to let the whole pass run";
    // The requests in flight at STOP end with their time and no status line; the rows never
    // started stay blank.
    int cutOff = 0;
    int blank = 0;
    for (const LinkRow &row : form->resultsModel()->rows()) {
        if (row.response.isEmpty()) {
            EXPECT_EQ(row.icon, kIconNone);
            ++(row.responseTime.isEmpty() ? blank : cutOff);
        } else {
            EXPECT_TRUE(row.icon == kIconOk || row.icon == kIconBroken) << row.response.toStdString();
        }
    }
    EXPECT_LE(cutOff, kDefaultParallelChecksOption);
    EXPECT_EQ(answered + cutOff + blank, kPassLinks);
    EXPECT_GT(blank, 0);
    // Nothing of the stopped pass arrives later.
    QTest::qWait(200);
    EXPECT_EQ(answeredRows(*form), answered);
    EXPECT_TRUE(checkButton(*form).isEnabled());
    EXPECT_TRUE(form->close());
}

// The child's part of the test below: the window under load, closed while it works. Run only by
// that test, in a process of its own.
TEST(TAppFormUnderLoad, DISABLED_CloseUnderLoad)
{
    const QByteArray scenario = qgetenv(kScenarioVariable);
    SlowSite site;
    Sandbox sandbox;
    const std::unique_ptr<TAppForm> form = openWindow(sandbox);
    if (scenario == "run") {
        startRun(*form, bigPage(sandbox, kRunLinks,
                                [](int i) { return u"http://site%1.example/page/%2.html"_s.arg(i % 97).arg(i); }));
        ASSERT_TRUE(waitFor([&form] { return form->resultsModel()->rowCount() > 0; }));
        ASSERT_TRUE(runGoing(*form)) << "the run ended before the close";
    } else if (scenario == "pass") {
        ASSERT_NO_FATAL_FAILURE(startPass(*form, sandbox, site));
        ASSERT_TRUE(waitFor([&form] { return answeredRows(*form) >= kMidway; }));
        ASSERT_TRUE(passGoing(*form)) << "the pass ended before the close";
    } else {
        FAIL() << "unknown scenario " << scenario.toStdString();
    }
    std::printf("%s%lld\n", qPrintable(kClosingMark), static_cast<long long>(steadyMs()));
    std::fflush(stdout);
    EXPECT_TRUE(form->close());
}

// Closing the window during a 200,000-link run, and during a 5,000-link check pass: the process
// ends cleanly (no sanitizer or leak report, which would fail its exit code) and soon after the
// close. The close-to-exit time is printed; the bound below only catches a hang.
TEST(TAppFormUnderLoad, ProcessEndsSoonAfterCloseUnderLoad)
{
    for (const char *scenario : {"run", "pass"}) {
        SCOPED_TRACE(scenario);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kScenarioVariable), QString::fromLatin1(scenario));
        child.setProcessEnvironment(environment);
        child.start(
            QCoreApplication::applicationFilePath(),
            {u"--gtest_also_run_disabled_tests"_s, u"--gtest_filter=TAppFormUnderLoad.DISABLED_CloseUnderLoad"_s});
        ASSERT_TRUE(child.waitForStarted());
        ASSERT_TRUE(child.waitForFinished(kWaitMs)) << "the process did not end";
        const qint64 endedAt = steadyMs();
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(child.readAllStandardError());
        ASSERT_EQ(child.exitStatus(), QProcess::NormalExit) << err.toStdString();
        ASSERT_EQ(child.exitCode(), 0) << out.toStdString() << err.toStdString();
        ASSERT_TRUE(out.contains(u"[  PASSED  ] 1 test"_s)) << out.toStdString();

        static const QRegularExpression mark(u"closing-at-ms (\\d+)"_s);
        const QRegularExpressionMatch closing = mark.match(out);
        ASSERT_TRUE(closing.hasMatch()) << out.toStdString();
        const qint64 closeToExitMs = endedAt - closing.captured(1).toLongLong();
        std::printf("close during the %s: the process ended %lld ms after the close\n", scenario,
                    static_cast<long long>(closeToExitMs));
        ::testing::Test::RecordProperty(std::string("close_to_exit_ms_") + scenario, static_cast<int>(closeToExitMs));
        // A hang guard, not a timing: alone it takes well under a second (3 s under ASan), but a
        // ThreadSanitizer build sharing two cores with another build once took 34 s.
        EXPECT_LT(closeToExitMs, 90'000);
    }
}

} // namespace quorvel::test
