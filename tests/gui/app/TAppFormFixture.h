#pragma once

// The window on a loopback site of its own: the fixture of the run, list and menu tests.

#include "core/model/LinkRow.h"
#include "gui/app/TAppForm.h"
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
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace quorvel::test {

using namespace Qt::StringLiterals;

inline constexpr int kWaitMs = 10'000;

// Three absolute links, so the same page gives the same rows from disk and from the server.
inline const std::string kPage = "<html><body>\n"
                                 "<a href=\"http://site.example/one.html\">One</a>\n"
                                 "<a href=\"http://site.example/two.html\">Two</a>\n"
                                 "<a href=\"http://other.example/three.html\">Three</a>\n"
                                 "</body></html>\n";
inline const QStringList kPageLinks = {u"http://site.example/one.html"_s, u"http://site.example/two.html"_s,
                                       u"http://other.example/three.html"_s};

// Four links that differ in every column the sort and find cases read.
inline const std::string kMixedPage = "<html><body>\n"
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
        const QString layout = window ? window->layoutFile() : QString();
        window.reset();
        // Each case starts from the built-in layout unless it tests the remembered one.
        if (!keepLayout && !layout.isEmpty()) {
            QFile::remove(layout);
        }
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
    bool keepLayout = false;          // the next openWindow finds the layout the last window left
    std::unique_ptr<TAppForm> window; // last, so it goes before the site it may still be fetching from
};

} // namespace quorvel::test
