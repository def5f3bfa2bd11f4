#include "gui/app/TAppForm.h"

#include "core/app/MakerSite.h"
#include "core/model/LinkRow.h"
#include "gui/results/ResultsModel.h"
#include "support/Fixtures.h"
#include "support/Gate.h"
#include "support/LoopbackServer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

constexpr int kWaitMs = 10'000;

// Three absolute links, so the same page gives the same rows from disk and from the server.
const std::string kPage = "<html><body>\n"
                          "<a href=\"http://site.example/one.html\">One</a>\n"
                          "<a href=\"http://site.example/two.html\">Two</a>\n"
                          "<a href=\"http://other.example/three.html\">Three</a>\n"
                          "</body></html>\n";
const QStringList kPageLinks = {u"http://site.example/one.html"_s, u"http://site.example/two.html"_s,
                                u"http://other.example/three.html"_s};

// Four links that differ in every column the sort and find cases read.
const std::string kMixedPage = "<html><body>\n"
                               "<a href=\"/b.html\">Beta</a>\n"
                               "<a rel=\"ugc\" href=\"http://zeta.example/\">Zeta</a>\n"
                               "<a rel=\"nofollow\" href=\"/a.html\">alpha</a>\n"
                               "<a rel=\"sponsored\" href=\"http://apex.example/\">Apex</a>\n"
                               "</body></html>\n";

// The loopback site the window collects from: plain pages, a redirect, and a page whose body stalls
// after its first link until the test ends.
class TestSite final
{
public:
    TestSite()
    {
        httplib::Server &s = m_server.server();
        s.Get("/page.html",
              [](const httplib::Request &, httplib::Response &res) { res.set_content(kPage, "text/html"); });
        s.Get("/mixed.html",
              [](const httplib::Request &, httplib::Response &res) { res.set_content(kMixedPage, "text/html"); });
        s.Get("/old.html", [](const httplib::Request &, httplib::Response &res) {
            res.status = 301;
            res.set_header("Location", "/page.html");
        });
        s.Get("/to-slow.html", [this](const httplib::Request &, httplib::Response &res) {
            ++toSlowRequests;
            res.status = 301;
            res.set_header("Location", "/slow.html");
        });
        s.Get("/slow.html", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content_provider(100'000, "text/html", [this](size_t, size_t, httplib::DataSink &sink) {
                const std::string head = "<a href=\"/stale.html\">stale</a>\n";
                sink.write(head.data(), head.size());
                ++slowRequests;
                m_gate.wait();
                return false;
            });
        });
    }

    ~TestSite()
    {
        m_gate.open();
        m_server.stop();
    }

    TestSite(const TestSite &) = delete;
    TestSite &operator=(const TestSite &) = delete;

    bool start() { return m_server.start(); }

    QString url(const QString &path) const { return m_server.url(path); }

    int port() const { return m_server.port(); }

    std::atomic<int> slowRequests = 0;   // bodies of /slow.html under way
    std::atomic<int> toSlowRequests = 0; // answers of /to-slow.html

private:
    Gate m_gate{std::chrono::seconds(5)}; // the slow body waits for the test's end, 5 s at most
    LoopbackServer m_server;
};

// Handles the next modal dialog from inside the event loop its exec() runs.
class ModalHandler final
{
public:
    explicit ModalHandler(std::function<void(QWidget *)> handle)
        : m_handle(std::move(handle))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal == nullptr) {
                return;
            }
            if (m_handled) {
                // The handling did not close it, or another one came up: close it, so that the
                // test fails instead of hanging in exec().
                ADD_FAILURE() << "a modal " << modal->metaObject()->className() << " is still open";
                if (auto *dialog = qobject_cast<QDialog *>(modal)) {
                    dialog->reject();
                } else {
                    modal->close();
                }
                return;
            }
            m_handled = true;
            m_handle(modal);
        });
        m_timer.start();
    }

    bool handled() const { return m_handled; }

private:
    std::function<void(QWidget *)> m_handle;
    QTimer m_timer;
    bool m_handled = false;
};

class TAppFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.start());
        ASSERT_TRUE(programDir.isValid());
        ASSERT_TRUE(configDir.isValid());
        ASSERT_TRUE(pagesDir.isValid());
    }

    void TearDown() override
    {
        // As in the program: the window is closed before it goes.
        if (window) {
            window->close();
        }
        window.reset();
    }

    // A fresh main window on the test's folders, shown offscreen.
    void openWindow(const QString &makerHost = QString(), const QString &programFolder = QString(),
                    const QString &configHome = QString())
    {
        if (window) {
            window->close();
        }
        window.reset();
        beeps = 0;
        opened.clear();
        AppEnvironment environment;
        environment.programFile = QCoreApplication::applicationFilePath();
        environment.programFolder = programFolder.isEmpty() ? programDir.path() : programFolder;
        environment.configHome = configHome.isEmpty() ? configDir.path() : configHome;
        environment.makerHost = makerHost;
        environment.openAddress = [this](const QString &address) {
            opened.append(address);
        };
        environment.beep = [this] {
            ++beeps;
        };
        window = std::make_unique<TAppForm>(std::move(environment));
        window->show();
    }

    template <typename T> T *child(const QString &name) const
    {
        T *found = window->findChild<T *>(name);
        if (found == nullptr) {
            ADD_FAILURE() << "no control " << name.toStdString();
        }
        return found;
    }

    QComboBox *urlBox() const { return child<QComboBox>(u"Edit1"_s); }

    QToolButton *checkButton() const { return child<QToolButton>(u"BitBtn1"_s); }

    QTableView *list() const { return child<QTableView>(u"ListBox1"_s); }

    QString statusPanel(int index) const { return child<QLabel>(u"StatusPanel"_s + QString::number(index))->text(); }

    // How many of the five option rows are enabled (all or none, outside a change of state).
    int enabledOptionRows() const
    {
        int enabled = 0;
        for (const QString &name : {u"Panel2"_s, u"Panel4"_s, u"Panel5"_s, u"Panel6"_s, u"Panel7"_s}) {
            enabled += child<QWidget>(name)->isEnabled() ? 1 : 0;
        }
        return enabled;
    }

    bool idle() const { return checkButton()->text() == u"Check"_s && checkButton()->isEnabled(); }

    QStringList column(int index) const
    {
        QStringList cells;
        for (const LinkRow &row : window->resultsModel()->rows()) {
            cells.append(row.cell(index));
        }
        return cells;
    }

    int selectedRow() const
    {
        const QModelIndexList rows = list()->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }

    void selectRow(int row) const
    {
        list()->clearSelection();
        if (row >= 0) {
            list()->selectRow(row);
        }
    }

    // Opens and closes a command menu the way the user does; this sets which one was opened last.
    void openListMenu() const
    {
        Q_EMIT list()->customContextMenuRequested(QPoint(2, 2));
        window->listMenu()->hide();
    }

    void openButtonMenu() const
    {
        window->checkMenu()->popup(window->mapToGlobal(QPoint(0, 0)));
        window->checkMenu()->hide();
    }

    static QAction *menuAction(QMenu *menu, const QString &name)
    {
        QAction *action = menu->findChild<QAction *>(name);
        if (action == nullptr) {
            ADD_FAILURE() << "no menu item " << name.toStdString();
        }
        return action;
    }

    void clickHeader(int column) const { Q_EMIT list()->horizontalHeader()->sectionClicked(column); }

    bool waitFor(const std::function<bool()> &condition) const { return QTest::qWaitFor(condition, kWaitMs); }

    // Checks address and waits for the run to end with its beep.
    bool collect(const QString &address)
    {
        urlBox()->setEditText(address);
        const int before = beeps;
        checkButton()->click();
        return waitFor([&] { return beeps > before && idle(); });
    }

    QString writePage(const QString &name, const std::string &html) const
    {
        const QString path = pagesDir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(html.data(), static_cast<qint64>(html.size())) != static_cast<qint64>(html.size())) {
            ADD_FAILURE() << "cannot write " << path.toStdString();
        }
        return path;
    }

    static QString localAddress(const QString &path) { return u"file://"_s + path; }

    TestSite site;
    QTemporaryDir programDir;
    QTemporaryDir configDir;
    QTemporaryDir pagesDir;
    QStringList opened;
    int beeps = 0;
    std::unique_ptr<TAppForm> window; // last, so it goes before the site it may still be fetching from
};

} // namespace

TEST_F(TAppFormTest, StartUpValuesAndDataFolder)
{
    struct Case
    {
        const char *name;
        bool chkTmpThere;
        bool readOnly;
        bool fallback;
    };

    const std::vector<Case> cases = {
        {"writable program folder", false, false, false},
        {"a chk.tmp already in the program folder", true, false, true},
        {"read-only program folder", false, true, true},
    };
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = programDir.filePath(u"program"_s + QString::number(index));
        const QString configHome = configDir.filePath(u"config"_s + QString::number(index));
        ++index;
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QDir().mkpath(configHome));
        const QString probe = folder + u"/chk.tmp"_s;
        if (c.chkTmpThere) {
            QFile file(probe);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("mine");
        }
        if (c.readOnly) {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            QFile canary(folder + u"/canary"_s);
            if (canary.open(QIODevice::WriteOnly)) {
                canary.remove(); // running with rights that ignore the mode: nothing to see here
                QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
                continue;
            }
        }

        openWindow(QString(), folder, configHome);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        EXPECT_EQ(window->startupError(), QString());
        EXPECT_EQ(window->windowTitle(), u"BRELLAN - Quorvel"_s);
        EXPECT_EQ(window->appTitle(), u"BRELLAN - Quorvel"_s);
        EXPECT_EQ(window->appProductName(), u"Quorvel"_s);
        EXPECT_EQ(window->appVersion(), u"2.2"_s);
        EXPECT_EQ(window->popupSource(), QString());
        EXPECT_EQ(checkButton()->text(), u"Check"_s);
        EXPECT_TRUE(checkButton()->isEnabled());
        EXPECT_EQ(window->resultsModel()->rowCount(), 0);
        const QString fallbackFolder = configHome + u"/BRELLAN/Quorvel/"_s;
        if (c.fallback) {
            EXPECT_EQ(window->dataFolder(), fallbackFolder);
            EXPECT_TRUE(QFileInfo(fallbackFolder).isDir());
        } else {
            EXPECT_EQ(window->dataFolder(), folder + u'/');
            EXPECT_FALSE(QFileInfo::exists(configHome + u"/BRELLAN"_s));
        }
        // The probe removes its own file and leaves one it did not make.
        EXPECT_EQ(QFileInfo::exists(probe), c.chkTmpThere);
        if (c.chkTmpThere) {
            QFile file(probe);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), "mine");
        }
    }
}

TEST_F(TAppFormTest, CheckCollectsThePageAndReturnsToIdle)
{
    enum class Trigger
    {
        Button,
        Enter,
        ButtonMenu
    };

    struct Case
    {
        const char *name;
        QString address;
        Trigger trigger;
    };

    const QString local = localAddress(writePage(u"page.html"_s, kPage));
    const std::vector<Case> cases = {
        {"button on a local file", local, Trigger::Button},
        {"button on a loopback page", site.url(u"/page.html"_s), Trigger::Button},
        {"Enter in the URL box", site.url(u"/page.html"_s), Trigger::Enter},
        {"Check in the button's menu", local, Trigger::ButtonMenu},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        urlBox()->setEditText(c.address);
        switch (c.trigger) {
        case Trigger::Button:
            checkButton()->click();
            break;
        case Trigger::Enter:
            // To the combo box, which has the focus and hands keys on to its line edit.
            QTest::keyClick(urlBox(), Qt::Key_Return);
            break;
        case Trigger::ButtonMenu:
            openButtonMenu();
            menuAction(window->checkMenu(), u"Check1"_s)->trigger();
            break;
        }
        EXPECT_EQ(checkButton()->text(), u"STOP"_s);
        EXPECT_EQ(enabledOptionRows(), 0);
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);

        ASSERT_TRUE(waitFor([&] { return beeps == 1 && idle(); }));
        EXPECT_EQ(column(0), kPageLinks);
        EXPECT_EQ(list()->model()->rowCount(), 3);
        EXPECT_EQ(statusPanel(0), u"Total Links: 3"_s);
        EXPECT_EQ(statusPanel(1), QString());
        EXPECT_EQ(urlBox()->currentText(), c.address);
        EXPECT_EQ(enabledOptionRows(), 5);
        EXPECT_TRUE(child<QPushButton>(u"Button2"_s)->isEnabled());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(beeps, 1) << "one beep per run";
    }
}

TEST_F(TAppFormTest, BlankUrlBoxWarnsAndChangesNothing)
{
    struct Case
    {
        const char *name;
        QString text;
    };

    const std::vector<Case> cases = {
        {"empty", QString()},
        {"blanks", u"   "_s},
        {"tabs and blanks", u"\t \t"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        urlBox()->setEditText(c.text);
        QString text;
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        ModalHandler handler([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            ASSERT_NE(box, nullptr);
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        checkButton()->click();

        EXPECT_TRUE(handler.handled());
        EXPECT_EQ(text, u"Please enter URL!"_s);
        EXPECT_EQ(title, u"Warning"_s);
        EXPECT_EQ(icon, QMessageBox::Warning);
        EXPECT_TRUE(idle());
        EXPECT_EQ(urlBox()->currentText(), c.text) << "no scheme is put in front";
        EXPECT_EQ(enabledOptionRows(), 5);
        EXPECT_EQ(statusPanel(0), QString());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(window->focusWidget() == urlBox() || window->focusWidget() == urlBox()->lineEdit());
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(beeps, 0);
        EXPECT_EQ(window->resultsModel()->rowCount(), 0);
    }
}

TEST_F(TAppFormTest, CheckPutsHttpInFrontOfAnAddressWithoutOne)
{
    struct Case
    {
        const char *name;
        QString typed;
        QString expectedBox;
        QStringList expectedLinks;
    };

    const QString hostAndPort = u"127.0.0.1:"_s + QString::number(site.port());
    const QString local = localAddress(writePage(u"page.html"_s, kPage));
    const std::vector<Case> cases = {
        {"host and port without a scheme", hostAndPort + u"/page.html"_s, site.url(u"/page.html"_s), kPageLinks},
        {"an http address stays", site.url(u"/page.html"_s), site.url(u"/page.html"_s), kPageLinks},
        {"a file address stays", local, local, kPageLinks},
        // The emptiness test trims, the prefix test does not: the prefix goes before the blank.
        {"a leading blank", u" "_s + hostAndPort + u"/page.html"_s, u"http:// "_s + hostAndPort + u"/page.html"_s, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        urlBox()->setEditText(c.typed);
        checkButton()->click();
        EXPECT_EQ(urlBox()->currentText(), c.expectedBox);
        ASSERT_TRUE(waitFor([&] { return beeps == 1 && idle(); }));
        EXPECT_EQ(urlBox()->currentText(), c.expectedBox);
        EXPECT_EQ(column(0), c.expectedLinks);
        EXPECT_EQ(statusPanel(0), u"Total Links: "_s + QString::number(c.expectedLinks.size()));
    }
}

TEST_F(TAppFormTest, StopDuringASlowFetchReturnsToIdleAndTheNextRunStartsClean)
{
    openWindow();
    const QString slow = site.url(u"/slow.html"_s);
    urlBox()->setEditText(slow);
    openButtonMenu();
    checkButton()->click();
    EXPECT_EQ(checkButton()->text(), u"STOP"_s);
    EXPECT_TRUE(checkButton()->isEnabled());
    EXPECT_EQ(enabledOptionRows(), 0);
    ASSERT_TRUE(waitFor([&] { return site.slowRequests == 1 && statusPanel(1) == u"Loading: "_s + slow; }));

    checkButton()->click();
    EXPECT_EQ(checkButton()->text(), u"Stopping..."_s);
    EXPECT_FALSE(checkButton()->isEnabled());
    EXPECT_EQ(enabledOptionRows(), 0);
    // Check from the button's menu while stopping does nothing.
    menuAction(window->checkMenu(), u"Check1"_s)->trigger();
    EXPECT_EQ(checkButton()->text(), u"Stopping..."_s);

    ASSERT_TRUE(waitFor([&] { return idle(); }));
    EXPECT_EQ(enabledOptionRows(), 5);
    EXPECT_EQ(statusPanel(1), QString());
    EXPECT_EQ(statusPanel(0), u"Total Links: 0"_s);
    EXPECT_EQ(window->resultsModel()->rowCount(), 0) << "the part of the page that came is never a page";
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // A new run once idle: only its own rows end in the list.
    ASSERT_TRUE(collect(localAddress(writePage(u"page.html"_s, kPage))));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(column(0), kPageLinks);
    EXPECT_EQ(statusPanel(0), u"Total Links: 3"_s);
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(site.slowRequests, 1);
}

TEST_F(TAppFormTest, RedirectAddsItsRowAndMovesTheUrlBox)
{
    openWindow();
    ASSERT_TRUE(collect(site.url(u"/old.html"_s)));

    const LinkRows &rows = window->resultsModel()->rows();
    ASSERT_EQ(rows.size(), 4);
    const QString redirect = u"*redirect*"_s;
    EXPECT_EQ(rows[0], (LinkRow{site.url(u"/old.html"_s), redirect, redirect, redirect, QString(), QString(), 51}));
    EXPECT_EQ(column(0).mid(1), kPageLinks);
    EXPECT_EQ(urlBox()->currentText(), site.url(u"/page.html"_s));
    EXPECT_EQ(statusPanel(0), u"Total Links: 4"_s);
    EXPECT_EQ(beeps, 1);
}

TEST_F(TAppFormTest, HeaderClicksSortTheList)
{
    enum class Then
    {
        Nothing,
        ClickDuringRun, // a click on Type while a run goes and while it stops
        NewRun
    };

    struct Case
    {
        const char *name;
        std::vector<int> clicks;
        Then then;
        int column;
        QStringList expected;
    };

    const QString a = site.url(u"/a.html"_s);
    const QString b = site.url(u"/b.html"_s);
    const QString apex = u"http://apex.example/"_s;
    const QString zeta = u"http://zeta.example/"_s;
    const QString in = u"Internal"_s;
    const QString ex = u"External"_s;
    const std::vector<Case> cases = {
        {"page order before any click", {}, Then::Nothing, 0, {b, zeta, a, apex}},
        {"Link first sorts descending", {0}, Then::Nothing, 0, {zeta, apex, b, a}},
        {"Link twice sorts ascending", {0, 0}, Then::Nothing, 0, {a, b, apex, zeta}},
        {"Type once sorts ascending", {2}, Then::Nothing, 2, {ex, ex, in, in}},
        {"Type twice reverses", {2, 2}, Then::Nothing, 2, {in, in, ex, ex}},
        {"Type then Link sorts ascending by link", {2, 0}, Then::Nothing, 0, {a, b, apex, zeta}},
        {"Follow folds ASCII case", {1}, Then::Nothing, 1, {u"dofollow"_s, u"NOFOLLOW"_s, u"SPONSORED"_s, u"UGC"_s}},
        {"Anchor Text folds ASCII case", {3}, Then::Nothing, 3, {u"alpha"_s, u"Apex"_s, u"Beta"_s, u"Zeta"_s}},
        {"a click during a run is ignored", {}, Then::ClickDuringRun, 0, {b, zeta, a, apex}},
        {"a new run after Follow descending arrives by link descending", {1, 1}, Then::NewRun, 0, {zeta, apex, b, a}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        // By subdomain the loopback host's own links are internal, the other hosts' external.
        child<QRadioButton>(u"RadioButton2"_s)->setChecked(true);
        ASSERT_TRUE(collect(site.url(u"/mixed.html"_s)));
        for (const int clicked : c.clicks) {
            clickHeader(clicked);
        }
        if (c.then == Then::ClickDuringRun) {
            const SortState before = window->resultsModel()->sortState();
            const int slowBefore = site.slowRequests;
            urlBox()->setEditText(site.url(u"/slow.html"_s));
            checkButton()->click();
            ASSERT_TRUE(waitFor([&] { return site.slowRequests > slowBefore; }));
            clickHeader(2);
            checkButton()->click(); // STOP
            clickHeader(2);
            ASSERT_TRUE(waitFor([&] { return idle(); }));
            EXPECT_EQ(window->resultsModel()->sortState(), before);
        }
        if (c.then != Then::Nothing) {
            ASSERT_TRUE(collect(site.url(u"/mixed.html"_s)));
        }
        EXPECT_EQ(column(c.column), c.expected);
    }
}

TEST_F(TAppFormTest, FindSearchesLinksAndAnchorTexts)
{
    enum class Step
    {
        Press,
        ReopenFromTheMenu
    };

    struct Action
    {
        Step step;
        int expectedRow; // after a press: the row selected, -1 for no match (a beep)
    };

    struct Case
    {
        const char *name;
        QString needle;
        std::vector<Action> actions;
    };

    // Rows in page order: 0 /b.html "Beta", 1 zeta "Zeta", 2 /a.html "alpha", 3 apex "Apex".
    const std::vector<Case> cases = {
        {"capitals find a link in small letters", u"A.HTML"_s, {{Step::Press, 2}}},
        {"the anchor text is searched", u"beta"_s, {{Step::Press, 0}}},
        {"text only in the Type column is not found", u"internal"_s, {{Step::Press, -1}}},
        {"text only in the Follow column is not found", u"ugc"_s, {{Step::Press, -1}}},
        {"an empty text never matches", QString(), {{Step::Press, -1}}},
        {"after the last match a press beeps and the next starts at the top",
         u"127.0.0.1"_s,
         {{Step::Press, 0}, {Step::Press, 2}, {Step::Press, -1}, {Step::Press, 0}}},
        // Past the last row the next press starts at the top at once.
        {"a match in the last row goes on at the top",
         u".example"_s,
         {{Step::Press, 1}, {Step::Press, 3}, {Step::Press, 1}}},
        {"reopening starts from the first row again",
         u".example"_s,
         {{Step::Press, 1}, {Step::ReopenFromTheMenu, 0}, {Step::Press, 1}}},
    };
    openWindow();
    ASSERT_TRUE(collect(site.url(u"/mixed.html"_s)));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        selectRow(-1);
        child<QPushButton>(u"Button1"_s)->click();
        auto *dialog = child<QDialog>(u"FindDialog1"_s);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->pos(), window->frameGeometry().topLeft() + QPoint(100, 150));
        dialog->findChild<QLineEdit *>(u"FindText"_s)->setText(c.needle);
        auto *findNext = dialog->findChild<QPushButton *>(u"FindNext"_s);
        for (const Action &action : c.actions) {
            if (action.step == Step::ReopenFromTheMenu) {
                child<QAction>(u"Search1"_s)->trigger();
                EXPECT_TRUE(dialog->isVisible());
                continue;
            }
            const int beepsBefore = beeps;
            findNext->click();
            if (action.expectedRow < 0) {
                // No match: a beep, no row selected (an earlier match must not look like the answer)
                // and the reason in the status bar.
                EXPECT_EQ(beeps, beepsBefore + 1);
                EXPECT_EQ(selectedRow(), -1);
                EXPECT_EQ(statusPanel(1), u"Not found"_s);
            } else {
                EXPECT_EQ(beeps, beepsBefore);
                EXPECT_EQ(selectedRow(), action.expectedRow);
                EXPECT_EQ(statusPanel(1), QString());
            }
        }
        dialog->hide();
    }
}

TEST_F(TAppFormTest, MenuCommandsFollowTheRowTargetRule)
{
    enum class Source
    {
        None,
        Button,
        List
    };
    enum class Effect
    {
        Clipboard,
        Opened
    };

    struct Case
    {
        const char *name;
        Source source;
        int selected;
        QString item;
        Effect effect;
        std::optional<QString> expected; // nullopt: the clipboard keeps its text, nothing is opened
    };

    // Rows after the redirect: 0 the redirect row (/old.html), 1 one.html "One", 2 two.html, 3 three.
    const QString old = site.url(u"/old.html"_s);
    const QString box = site.url(u"/page.html"_s);
    const QString copyUrl = u"CopyURL1"_s;
    const QString copyAnchor = u"CopyAnchorText1"_s;
    const QString gotoUrl = u"GotoURL1"_s;
    const std::vector<Case> cases = {
        {"Copy URL from the button's menu takes the URL box even with a row selected", Source::Button, 2, copyUrl,
         Effect::Clipboard, box},
        {"Copy URL from the list's menu takes the selected row", Source::List, 2, copyUrl, Effect::Clipboard,
         kPageLinks[1]},
        {"Copy URL from the list's menu without a selected row", Source::List, -1, copyUrl, Effect::Clipboard,
         std::nullopt},
        {"Copy URL before any menu was opened", Source::None, 2, copyUrl, Effect::Clipboard, std::nullopt},
        {"Copy Anchor Text of the redirect row", Source::List, 0, copyAnchor, Effect::Clipboard, u"*redirect*"_s},
        {"Copy Anchor Text of a link row", Source::List, 1, copyAnchor, Effect::Clipboard, u"One"_s},
        {"Copy Anchor Text without a selected row", Source::List, -1, copyAnchor, Effect::Clipboard, std::nullopt},
        {"Go to URL from the list's menu opens the selected row", Source::List, 0, gotoUrl, Effect::Opened, old},
        {"Go to URL from the button's menu opens the URL box", Source::Button, 1, gotoUrl, Effect::Opened, box},
        {"Go to URL from the list's menu without a selected row", Source::List, -1, gotoUrl, Effect::Opened,
         std::nullopt},
        {"Go to URL before any menu was opened", Source::None, 0, gotoUrl, Effect::Opened, std::nullopt},
    };
    const QString untouched = u"clipboard before the command"_s;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        ASSERT_TRUE(collect(old));
        ASSERT_EQ(urlBox()->currentText(), box);
        QGuiApplication::clipboard()->setText(untouched);
        selectRow(c.selected);
        if (c.source == Source::List) {
            openListMenu();
        } else if (c.source == Source::Button) {
            openButtonMenu();
        }
        EXPECT_EQ(window->popupSource(), c.source == Source::List     ? u"List"_s
                                         : c.source == Source::Button ? u"Button"_s
                                                                      : QString());
        EXPECT_EQ(selectedRow(), c.selected);
        QMenu *menu = c.item == copyAnchor || c.source == Source::List ? window->listMenu() : window->checkMenu();
        menuAction(menu, c.item)->trigger();
        if (c.effect == Effect::Clipboard) {
            EXPECT_EQ(QGuiApplication::clipboard()->text(), c.expected.value_or(untouched));
            EXPECT_TRUE(opened.isEmpty());
        } else {
            EXPECT_EQ(opened, c.expected ? QStringList{*c.expected} : QStringList());
            EXPECT_EQ(QGuiApplication::clipboard()->text(), untouched);
        }
        EXPECT_EQ(beeps, 1) << "no command starts a run";
    }
}

TEST_F(TAppFormTest, CheckFromTheListsMenu)
{
    struct Case
    {
        const char *name;
        QString address; // the run before the menu is used
        bool runEnds;    // false: the menu is used while the run still fetches
        int selected;
        QString captionAfter;
        QString boxAfter;
        int finalBeeps;
        QString finalBox;
        int finalRows;
    };

    const QString old = site.url(u"/old.html"_s);
    const QString page = site.url(u"/page.html"_s);
    const QString toSlow = site.url(u"/to-slow.html"_s);
    const std::vector<Case> cases = {
        {"idle with a row selected: the row's link is collected", old, true, 0, u"STOP"_s, old, 2, page, 4},
        {"idle without a selected row: nothing happens", old, true, -1, u"Check"_s, page, 1, page, 4},
        {"running with a row selected: the link goes to the URL box and the run stops, no new run", toSlow, false, 0,
         u"Stopping..."_s, toSlow, 1, toSlow, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow();
        const int toSlowBefore = site.toSlowRequests;
        if (c.runEnds) {
            ASSERT_TRUE(collect(c.address));
        } else {
            urlBox()->setEditText(c.address);
            checkButton()->click();
            // The redirect row is in, the target's body is under way.
            ASSERT_TRUE(waitFor([&] {
                return window->resultsModel()->rowCount() == 1 && urlBox()->currentText() == site.url(u"/slow.html"_s);
            }));
            EXPECT_EQ(checkButton()->text(), u"STOP"_s);
        }
        selectRow(c.selected);
        openListMenu();
        menuAction(window->listMenu(), u"MenuItem1"_s)->trigger();
        EXPECT_EQ(checkButton()->text(), c.captionAfter);
        EXPECT_EQ(urlBox()->currentText(), c.boxAfter);

        ASSERT_TRUE(waitFor([&] { return beeps == c.finalBeeps && idle(); }));
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(beeps, c.finalBeeps);
        EXPECT_EQ(urlBox()->currentText(), c.finalBox);
        EXPECT_EQ(window->resultsModel()->rowCount(), c.finalRows);
        if (!c.runEnds) {
            EXPECT_EQ(site.toSlowRequests, toSlowBefore + 1);
        }
    }
}

TEST_F(TAppFormTest, OnlineHelpOpensTheMakersHelpPage)
{
    struct Case
    {
        const char *name;
        QString makerHost;
        QString expected;
    };

    const std::vector<Case> cases = {
        {"the built-in host", QString(), u"http://"_s + MakerSiteHost() + u"/help/quorvel/"_s},
        {"the host given to the window", u"127.0.0.1:8080"_s, u"http://127.0.0.1:8080/help/quorvel/"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWindow(c.makerHost);
        child<QAction>(u"Help2"_s)->trigger();
        EXPECT_EQ(opened, QStringList{c.expected});
    }
}

TEST_F(TAppFormTest, DroppedFilesGoToTheUrlBox)
{
    struct Case
    {
        const char *name;
        QStringList paths;
        std::optional<QString> expected; // nullopt: the URL box keeps its text
    };

    const QString first = writePage(u"first.html"_s, kPage);
    const QString second = writePage(u"second.html"_s, kPage);
    const QString blanks = writePage(u"with blanks #1.html"_s, kPage);
    const QString folder = pagesDir.filePath(u"folder"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString missing = pagesDir.filePath(u"missing.html"_s);
    const std::vector<Case> cases = {
        {"two existing files: the second wins", {first, second}, localAddress(second)},
        {"a folder changes nothing", {folder}, std::nullopt},
        {"a file before a folder", {first, folder}, localAddress(first)},
        {"a missing file before an existing one", {missing, first}, localAddress(first)},
        {"a name with blanks and # is taken whole", {blanks}, localAddress(blanks)},
    };
    openWindow();
    // Dropped on the window's free space, and on the URL box itself, which must not take the
    // drag's text as typed text.
    const std::vector<std::pair<const char *, QWidget *>> targets = {{"on the window", window.get()},
                                                                     {"on the URL box", urlBox()->lineEdit()}};
    const QString before = u"http://before.example/"_s;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto &[where, target] : targets) {
            SCOPED_TRACE(where);
            urlBox()->setEditText(before);
            urlBox()->lineEdit()->setCursorPosition(3);
            QList<QUrl> urls;
            QStringList lines;
            for (const QString &path : c.paths) {
                urls.append(QUrl::fromLocalFile(path));
                lines.append(path);
            }
            // A file manager's drag carries the paths as plain text too.
            QMimeData mime;
            mime.setUrls(urls);
            mime.setText(lines.join(u'\n'));
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &enter);
            EXPECT_TRUE(enter.isAccepted());
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &drop);
            EXPECT_EQ(urlBox()->currentText(), c.expected.value_or(before));
        }
    }
    EXPECT_TRUE(idle()) << "a drop never starts a run";
    EXPECT_EQ(beeps, 0);
}

TEST_F(TAppFormTest, LoadFilePutsThePickedFileInTheUrlBox)
{
    struct Case
    {
        const char *name;
        std::optional<QString> picked; // nullopt: the dialog is cancelled
    };

    const QString page = writePage(u"picked.html"_s, kPage);
    const std::vector<Case> cases = {
        {"a picked file", page},
        {"cancel", std::nullopt},
    };
    openWindow();
    const QString before = u"http://before.example/"_s;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        urlBox()->setEditText(before);
        QString filter;
        ModalHandler handler([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            ASSERT_NE(dialog, nullptr);
            filter = dialog->selectedNameFilter();
            if (c.picked) {
                // Typed whole into the file name box: selectFile() waits for the folder to load.
                dialog->findChild<QLineEdit *>(u"fileNameEdit"_s)->setText(*c.picked);
                static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides its accept()
            } else {
                dialog->reject();
            }
        });
        child<QAction>(u"LoadFile1"_s)->trigger();
        EXPECT_TRUE(handler.handled());
        EXPECT_EQ(filter, u"HTML File (*.htm*)"_s);
        EXPECT_EQ(urlBox()->currentText(), c.picked ? localAddress(*c.picked) : before);
    }
    EXPECT_TRUE(idle()) << "loading a file never starts a run";
    EXPECT_EQ(beeps, 0);
}

TEST_F(TAppFormTest, ClosingDuringASlowRunEndsTheRun)
{
    openWindow();
    urlBox()->setEditText(site.url(u"/slow.html"_s));
    checkButton()->click();
    ASSERT_TRUE(waitFor([&] { return site.slowRequests == 1; }));

    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    // The worker was joined by the close: whatever it still sent is here now, and ignored.
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(window->resultsModel()->rowCount(), 0);
}

} // namespace quorvel::test
