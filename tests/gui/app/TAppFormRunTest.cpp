#include "core/model/LinkRow.h"
#include "gui/ModalAnswerer.h"
#include "gui/app/TAppFormFixture.h"
#include "gui/results/ResultsModel.h"
#include "support/Fixtures.h"

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

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

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
        ModalAnswerer answerer;
        answerer.answerWith([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            ASSERT_NE(box, nullptr);
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        checkButton()->click();

        EXPECT_EQ(answerer.seen().size(), 1U);
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
