#include "core/app/SettingsStore.h"
#include "core/model/LinkRow.h"
#include "gui/ModalAnswerer.h"
#include "gui/app/AppFormDriver.h"
#include "gui/app/TAppFormFixture.h"
#include "gui/results/ResultsModel.h"
#include "support/Fixtures.h"

#include <QAbstractButton>
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
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
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
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

const QByteArray kBom = QByteArrayLiteral("\xEF\xBB\xBF");

} // namespace

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
        ModalAnswerer answerer;
        answerer.answerWith([&](QWidget *modal) {
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
        EXPECT_EQ(answerer.seen().size(), 1U);
        EXPECT_EQ(filter, u"HTML File (*.htm*)"_s);
        EXPECT_EQ(urlBox()->currentText(), c.picked ? localAddress(*c.picked) : before);
    }
    EXPECT_TRUE(idle()) << "loading a file never starts a run";
    EXPECT_EQ(beeps, 0);
}

// Each Check puts its address first in history.txt (UTF-8 with BOM, CR LF) and in the box's list,
// once.
TEST(TAppFormOptions, CheckKeepsEachAddressOnceMostRecentFirst)
{
    Sandbox sandbox;
    const QString a = sandbox.page(u"a.html"_s, u"<a href=\"http://h.test/1\">one</a>"_s);
    const QString b = sandbox.page(u"b.html"_s, u"<a href=\"http://h.test/2\">two</a>"_s);
    const auto form = sandbox.open();
    auto &urlBox = child<QComboBox>(*form, u"Edit1"_s);

    ASSERT_TRUE(collect(*form, a));
    EXPECT_EQ(fileBytes(sandbox.historyPath()), kBom + a.toUtf8() + "\r\n");
    EXPECT_EQ(itemsOf(urlBox), QStringList{a});
    EXPECT_EQ(linksOf(*form->resultsModel()), QStringList{u"http://h.test/1"_s});

    for (const QString &address : {b, a, a}) {
        ASSERT_TRUE(collect(*form, address));
    }
    EXPECT_EQ(fileBytes(sandbox.historyPath()), kBom + a.toUtf8() + "\r\n" + b.toUtf8() + "\r\n");
    EXPECT_EQ(itemsOf(urlBox), (QStringList{a, b}));
    EXPECT_EQ(urlBox.currentText(), a) << "replacing the list keeps the box's text";
    EXPECT_EQ(sandbox.beeps, 4);

    // Choosing an entry puts it into the box and stores it, and starts nothing.
    urlBox.setCurrentIndex(1);
    EXPECT_EQ(urlBox.currentText(), b);
    EXPECT_EQ(SettingsStore(sandbox.settingsPath()).read(u"StartURL"_s), b);
    EXPECT_EQ(child<QToolButton>(*form, u"BitBtn1"_s).text(), u"Check"_s);
    EXPECT_EQ(linksOf(*form->resultsModel()), QStringList{u"http://h.test/1"_s});
    EXPECT_TRUE(sandbox.dialogs.seen().empty());
}

// A history that cannot be written is reported and the run still happens.
TEST(TAppFormOptions, UnwritableHistoryIsReportedAndTheRunGoesOn)
{
    Sandbox sandbox;
    ASSERT_TRUE(QDir().mkpath(sandbox.historyPath()));
    const QString address = sandbox.page(u"a.html"_s, u"<a href=\"http://h.test/1\">one</a>"_s);
    const auto form = sandbox.open();
    EXPECT_TRUE(sandbox.dialogs.seen().empty()) << "an unreadable history is read silently";

    ASSERT_TRUE(collect(*form, address));
    ASSERT_EQ(sandbox.dialogs.seen().size(), 1u);
    EXPECT_TRUE(
        sandbox.dialogs.seen().front().text.startsWith(u"Cannot create file \""_s + sandbox.historyPath() + u"\". "_s))
        << sandbox.dialogs.seen().front().text.toStdString();
    EXPECT_EQ(linksOf(*form->resultsModel()), QStringList{u"http://h.test/1"_s});
    EXPECT_EQ(sandbox.beeps, 1);
    EXPECT_TRUE(QFileInfo(sandbox.historyPath()).isDir());
}

// Ctrl+V in the URL box pastes the clipboard as one line, in place of the selection.
TEST(TAppFormOptions, CtrlVPastesOneLine)
{
    struct Case
    {
        const char *name;
        QString boxText;
        int cursor; // -1: the whole text selected
        QString clipboard;
        QString expected;
    };

    const std::vector<Case> cases = {
        {"CR LF becomes one blank", QString(), 0, u"a\r\nb"_s, u"a b"_s},
        {"lone LF and CR become blanks", QString(), 0, u"a\nb\rc"_s, u"a b c"_s},
        {"a trailing line break leaves a trailing blank", QString(), 0, u"x\r\n"_s, u"x "_s},
        {"the paste replaces the selection", u"old text"_s, -1, u"a\r\nb"_s, u"a b"_s},
        {"without a selection it goes in at the caret", u"ab"_s, 1, u"\n"_s, u"a b"_s},
        {"an empty clipboard removes the selection", u"old"_s, -1, QString(), QString()},
    };
    Sandbox sandbox;
    const auto form = sandbox.open();
    QLineEdit &edit = *child<QComboBox>(*form, u"Edit1"_s).lineEdit();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        edit.setText(c.boxText);
        if (c.cursor < 0) {
            edit.selectAll();
        } else {
            edit.setCursorPosition(c.cursor);
        }
        QGuiApplication::clipboard()->setText(c.clipboard);
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit.text(), c.expected);
        EXPECT_EQ(SettingsStore(sandbox.settingsPath()).read(u"StartURL"_s), c.expected);
    }
    EXPECT_EQ(child<QToolButton>(*form, u"BitBtn1"_s).text(), u"Check"_s) << "a paste starts nothing";
}

// Enter in the URL box does what the Check button does.
TEST(TAppFormOptions, EnterStartsARun)
{
    Sandbox sandbox;
    const QString address = sandbox.page(u"a.html"_s, u"<a href=\"http://h.test/1\">one</a>"_s);
    const auto form = sandbox.open();
    auto &urlBox = child<QComboBox>(*form, u"Edit1"_s);
    auto &button = child<QToolButton>(*form, u"BitBtn1"_s);
    urlBox.setEditText(address);

    QTest::keyClick(&urlBox, Qt::Key_Return); // where typed keys arrive: the combo box
    EXPECT_EQ(button.text(), u"STOP"_s);
    ASSERT_TRUE(QTest::qWaitFor([&button] { return button.text() == u"Check"_s; }, kRunWaitMs));
    EXPECT_EQ(linksOf(*form->resultsModel()), QStringList{u"http://h.test/1"_s});
    EXPECT_EQ(itemsOf(urlBox), QStringList{address});
    EXPECT_EQ(urlBox.currentText(), address) << "Enter is swallowed";
    EXPECT_EQ(sandbox.beeps, 1);
}

} // namespace quorvel::test
