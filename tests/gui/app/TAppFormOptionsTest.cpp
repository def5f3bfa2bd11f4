#include "core/app/OptionDefaults.h"
#include "core/app/SettingsStore.h"
#include "core/results/Export.h"
#include "core/model/LinkRow.h"
#include "core/results/WebTools.h"
#include "gui/analyze/TAnalyzeForm.h"
#include "gui/app/AppFormDriver.h"
#include "gui/app/CheckSite.h"
#include "gui/app/TAppForm.h"
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

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// What a control shows, as one text: a check box or radio button "1"/"0", a box its text, a row
// "shown"/"hidden" (as it would be once the window is on screen).
QString controlValue(const TAppForm &form, const QString &name)
{
    QWidget &widget = child<QWidget>(form, name);
    if (const auto *box = qobject_cast<QComboBox *>(&widget)) {
        return box->currentText();
    }
    if (const auto *button = qobject_cast<QAbstractButton *>(&widget)) {
        return button->isChecked() ? u"1"_s : u"0"_s;
    }
    if (const auto *edit = qobject_cast<QLineEdit *>(&widget)) {
        return edit->text();
    }
    if (const auto *memo = qobject_cast<QPlainTextEdit *>(&widget)) {
        return memo->toPlainText();
    }
    if (const auto *spin = qobject_cast<QSpinBox *>(&widget)) {
        return QString::number(spin->value());
    }
    return widget.isVisibleTo(&form) ? u"shown"_s : u"hidden"_s;
}

// The keys present in settings.ini, sorted.
QStringList storedKeys(const QString &path)
{
    QStringList keys;
    for (const QString &line : QString::fromUtf8(fileBytes(path)).split(u'\n')) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0) {
            keys.append(line.left(equals).trimmed());
        }
    }
    keys.sort();
    return keys;
}

bool isWholeMs(const QString &time)
{
    static const QRegularExpression digits(u"^[0-9]+$"_s);
    return digits.match(time).hasMatch();
}

const QByteArray kBom = QByteArrayLiteral("\xEF\xBB\xBF");

} // namespace

// A first start shows the defaults and writes neither file, also once its start-up timer has run.
TEST(TAppFormOptions, FirstStartWritesNothing)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    EXPECT_TRUE(form->startupError().isEmpty()) << form->startupError().toStdString();
    EXPECT_EQ(QDir(form->dataFolder()).absolutePath(), QDir(sandbox.programFolder()).absolutePath());
    auto &urlBox = child<QComboBox>(*form, u"Edit1"_s);
    ASSERT_TRUE(QTest::qWaitFor([&urlBox] { return urlBox.lineEdit()->hasSelectedText(); }, kRunWaitMs));
    EXPECT_EQ(urlBox.lineEdit()->selectedText(), DefaultStartUrl()) << "typing replaces the start address";
    EXPECT_EQ(urlBox.count(), 0);
    EXPECT_FALSE(QFile::exists(sandbox.settingsPath()));
    EXPECT_FALSE(QFile::exists(sandbox.historyPath()));
    EXPECT_TRUE(sandbox.dialogs.seen().empty());
}

// Every option control writes its own keys at once, and only those.
TEST(TAppFormOptions, EachControlWritesItsKeys)
{
    struct Case
    {
        const char *name;
        std::function<void(TAppForm &)> change;
        std::vector<std::pair<QString, QString>> written;
    };

    const auto click = [](const QString &name) {
        return [name](TAppForm &form) {
            child<QAbstractButton>(form, name).click();
        };
    };
    const std::vector<Case> cases = {
        {"typing into the URL box",
         [](TAppForm &form) { typeInto(*child<QComboBox>(form, u"Edit1"_s).lineEdit(), u"http://typed.test/"_s); },
         {{u"StartURL"_s, u"http://typed.test/"_s}}},
        {"Show Options checked", click(u"CheckBox1"_s), {{u"ShowOptions"_s, u"1"_s}}},
        {"Show Options checked and unchecked",
         [](TAppForm &form) {
             child<QCheckBox>(form, u"CheckBox1"_s).click();
             child<QCheckBox>(form, u"CheckBox1"_s).click();
         },
         {{u"ShowOptions"_s, u"0"_s}}},
        {"Subdomain Name", click(u"RadioButton2"_s), {{u"DomainOnly"_s, u"0"_s}, {u"SubDomainOnly"_s, u"1"_s}}},
        {"Domain Name again",
         [](TAppForm &form) {
             child<QRadioButton>(form, u"RadioButton2"_s).click();
             child<QRadioButton>(form, u"RadioButton1"_s).click();
         },
         {{u"DomainOnly"_s, u"1"_s}, {u"SubDomainOnly"_s, u"0"_s}}},
        {"Remove # Anchors unchecked", click(u"CheckBox2"_s), {{u"RemoveAnchors"_s, u"0"_s}}},
        {"HEAD checked", click(u"CheckBox3"_s), {{u"UseHEAD"_s, u"1"_s}}},
        {"connection timeout typed",
         [](TAppForm &form) { typeInto(child<QLineEdit>(form, u"Edit3"_s), u"250"_s); },
         {{u"ConnectionTimeout"_s, u"250"_s}}},
        {"response timeout typed",
         [](TAppForm &form) { typeInto(child<QLineEdit>(form, u"Edit4"_s), u"7000"_s); },
         {{u"ResponseTimeout"_s, u"7000"_s}}},
        {"agent chosen from the list",
         [](TAppForm &form) { child<QComboBox>(form, u"ComboBox1"_s).setCurrentIndex(3); },
         {{u"Agent"_s, AgentList().at(3)}}},
        {"agent typed",
         [](TAppForm &form) { typeInto(*child<QComboBox>(form, u"ComboBox1"_s).lineEdit(), u"Bot/2 (test)"_s); },
         {{u"Agent"_s, u"Bot/2 (test)"_s}}},
        {"parallel checks",
         [](TAppForm &form) { child<QSpinBox>(form, u"ParallelChecks"_s).setValue(4); },
         {{u"ParallelChecks"_s, u"4"_s}}},
        {"ignore extensions",
         [](TAppForm &form) { typeInto(child<QLineEdit>(form, u"Edit2"_s), u"png gif"_s); },
         {{u"IgnoreExtensions"_s, u"png gif"_s}}},
        {"ignore URLs",
         [](TAppForm &form) {
             child<QPlainTextEdit>(form, u"Memo1"_s).setPlainText(u"http://a.test/\nhttp://b.test/x"_s);
         },
         {{u"IgnoreURLs"_s, u"http://a.test/\nhttp://b.test/x"_s}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox sandbox;
        const auto form = sandbox.open();
        c.change(*form);
        const SettingsStore store(sandbox.settingsPath());
        QStringList keys;
        for (const auto &[key, value] : c.written) {
            EXPECT_EQ(store.read(key), value) << key.toStdString();
            keys.append(key);
        }
        keys.sort();
        EXPECT_EQ(storedKeys(sandbox.settingsPath()), keys);
        EXPECT_TRUE(sandbox.dialogs.seen().empty());
    }
}

// What a start makes of the stored values; applying them writes nothing.
TEST(TAppFormOptions, StoredValuesAreReadBack)
{
    struct Case
    {
        const char *name;
        std::vector<std::pair<QString, QString>> stored;
        std::vector<std::pair<QString, QString>> shown; // control -> controlValue
    };

    const std::vector<Case> cases = {
        {"no file: Domain Name", {}, {{u"RadioButton1"_s, u"1"_s}, {u"RadioButton2"_s, u"0"_s}}},
        {"both base keys 0 keep Domain Name",
         {{u"DomainOnly"_s, u"0"_s}, {u"SubDomainOnly"_s, u"0"_s}},
         {{u"RadioButton1"_s, u"1"_s}, {u"RadioButton2"_s, u"0"_s}}},
        {"SubDomainOnly 1 wins over DomainOnly 1",
         {{u"DomainOnly"_s, u"1"_s}, {u"SubDomainOnly"_s, u"1"_s}},
         {{u"RadioButton1"_s, u"0"_s}, {u"RadioButton2"_s, u"1"_s}}},
        {"SubDomainOnly 1 with DomainOnly 0",
         {{u"DomainOnly"_s, u"0"_s}, {u"SubDomainOnly"_s, u"1"_s}},
         {{u"RadioButton1"_s, u"0"_s}, {u"RadioButton2"_s, u"1"_s}}},
        {"SubDomainOnly other than 1 keeps Domain Name",
         {{u"SubDomainOnly"_s, u"yes"_s}},
         {{u"RadioButton1"_s, u"1"_s}, {u"RadioButton2"_s, u"0"_s}}},
        {"RemoveAnchors yes keeps the box checked", {{u"RemoveAnchors"_s, u"yes"_s}}, {{u"CheckBox2"_s, u"1"_s}}},
        {"RemoveAnchors 0 unchecks it", {{u"RemoveAnchors"_s, u"0"_s}}, {{u"CheckBox2"_s, u"0"_s}}},
        {"UseHEAD 1 checks it", {{u"UseHEAD"_s, u"1"_s}}, {{u"CheckBox3"_s, u"1"_s}}},
        {"UseHEAD yes leaves it unchecked", {{u"UseHEAD"_s, u"yes"_s}}, {{u"CheckBox3"_s, u"0"_s}}},
        {"empty Agent gives the list's first entry",
         {{u"Agent"_s, QString()}},
         {{u"ComboBox1"_s, u"Embarcadero URI Client/1.0"_s}}},
        {"stored Agent", {{u"Agent"_s, u"Bot/1"_s}}, {{u"ComboBox1"_s, u"Bot/1"_s}}},
        {"empty timeouts read as 5000",
         {{u"ConnectionTimeout"_s, QString()}, {u"ResponseTimeout"_s, QString()}},
         {{u"Edit3"_s, u"5000"_s}, {u"Edit4"_s, u"5000"_s}}},
        {"a stored timeout is shown as stored, digits or not",
         {{u"ConnectionTimeout"_s, u"12ab"_s}, {u"ResponseTimeout"_s, u"900"_s}},
         {{u"Edit3"_s, u"12ab"_s}, {u"Edit4"_s, u"900"_s}}},
        {"stored start address and extensions",
         {{u"StartURL"_s, u"https://start.test/a b"_s}, {u"IgnoreExtensions"_s, u"png"_s}},
         {{u"Edit1"_s, u"https://start.test/a b"_s}, {u"Edit2"_s, u"png"_s}}},
        {"ParallelChecks out of range gives 16", {{u"ParallelChecks"_s, u"99"_s}}, {{u"ParallelChecks"_s, u"16"_s}}},
        {"ShowOptions 1 shows the rows",
         {{u"ShowOptions"_s, u"1"_s}},
         {{u"CheckBox1"_s, u"1"_s},
          {u"Panel2"_s, u"shown"_s},
          {u"Panel4"_s, u"shown"_s},
          {u"Panel5"_s, u"shown"_s},
          {u"Panel6"_s, u"shown"_s},
          {u"Panel7"_s, u"shown"_s}}},
        {"ShowOptions yes leaves the rows hidden",
         {{u"ShowOptions"_s, u"yes"_s}},
         {{u"CheckBox1"_s, u"0"_s},
          {u"Panel2"_s, u"hidden"_s},
          {u"Panel4"_s, u"hidden"_s},
          {u"Panel5"_s, u"hidden"_s},
          {u"Panel6"_s, u"hidden"_s},
          {u"Panel7"_s, u"hidden"_s}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox sandbox;
        for (const auto &[key, value] : c.stored) {
            sandbox.store(key, value);
        }
        const QByteArray before = fileBytes(sandbox.settingsPath());
        const auto form = sandbox.open();
        QCoreApplication::processEvents();
        for (const auto &[control, value] : c.shown) {
            EXPECT_EQ(controlValue(*form, control), value) << control.toStdString();
        }
        EXPECT_EQ(fileBytes(sandbox.settingsPath()), before) << "a start-up writes nothing";
        EXPECT_EQ(QFile::exists(sandbox.settingsPath()), !c.stored.empty());
    }
}

// The values of one session are the controls of the next, the lines of Ignore URLs included.
TEST(TAppFormOptions, OptionsSurviveARestart)
{
    Sandbox sandbox;
    const QString ignoreUrls = u"http://a.test/\n\nhttps://b.test/path?q=1"_s;
    {
        const auto form = sandbox.open();
        child<QComboBox>(*form, u"Edit1"_s).setEditText(u"http://next.test/"_s);
        child<QCheckBox>(*form, u"CheckBox1"_s).click();
        for (const QString &row : {u"Panel2"_s, u"Panel4"_s, u"Panel5"_s, u"Panel6"_s, u"Panel7"_s}) {
            EXPECT_EQ(controlValue(*form, row), u"shown"_s) << row.toStdString();
        }
        child<QRadioButton>(*form, u"RadioButton2"_s).click();
        child<QCheckBox>(*form, u"CheckBox2"_s).click();
        child<QCheckBox>(*form, u"CheckBox3"_s).click();
        typeInto(child<QLineEdit>(*form, u"Edit3"_s), u"1500"_s);
        typeInto(*child<QComboBox>(*form, u"ComboBox1"_s).lineEdit(), u"Bot/3"_s);
        child<QSpinBox>(*form, u"ParallelChecks"_s).setValue(8);
        child<QPlainTextEdit>(*form, u"Memo1"_s).setPlainText(ignoreUrls);
    }
    const auto again = sandbox.open();
    const std::vector<std::pair<QString, QString>> shown = {
        {u"Edit1"_s, u"http://next.test/"_s},
        {u"CheckBox1"_s, u"1"_s},
        {u"Panel7"_s, u"shown"_s},
        {u"RadioButton2"_s, u"1"_s},
        {u"CheckBox2"_s, u"0"_s},
        {u"CheckBox3"_s, u"1"_s},
        {u"Edit3"_s, u"1500"_s},
        {u"Edit4"_s, u"5000"_s},
        {u"ComboBox1"_s, u"Bot/3"_s},
        {u"ParallelChecks"_s, u"8"_s},
        {u"Memo1"_s, ignoreUrls},
    };
    for (const auto &[control, value] : shown) {
        EXPECT_EQ(controlValue(*again, control), value) << control.toStdString();
    }
    EXPECT_TRUE(sandbox.dialogs.seen().empty());
}

// A refused write shows "Unable to write to <settings.ini>" each time; the control keeps its value
// and the window goes on.
TEST(TAppFormOptions, UnwritableSettingsAreReportedAndTheControlKeepsItsValue)
{
    Sandbox sandbox;
    // A folder where settings.ini should be: the data folder itself stays writable (the program
    // runs from it), but the file can never be replaced.
    ASSERT_TRUE(QDir().mkpath(sandbox.settingsPath()));
    const auto form = sandbox.open();
    EXPECT_TRUE(sandbox.dialogs.seen().empty()) << "reading a missing file is no error";

    typeInto(child<QLineEdit>(*form, u"Edit3"_s), u"9"_s);
    child<QCheckBox>(*form, u"CheckBox3"_s).click();

    const QString expected = u"Unable to write to "_s + sandbox.settingsPath();
    ASSERT_EQ(sandbox.dialogs.seen().size(), 2u);
    for (const SeenDialog &seen : sandbox.dialogs.seen()) {
        EXPECT_EQ(seen.text, expected);
    }
    EXPECT_EQ(controlValue(*form, u"Edit3"_s), u"9"_s);
    EXPECT_EQ(controlValue(*form, u"CheckBox3"_s), u"1"_s);
    EXPECT_TRUE(QFileInfo(sandbox.settingsPath()).isDir());
}

// Reset to Defaults asks first; only Yes removes both files and restarts the program.
TEST(TAppFormOptions, ResetToDefaults)
{
    struct Case
    {
        const char *name;
        ModalAnswerer::Answer answer;
        bool removed;
    };

    const std::vector<Case> cases = {
        {"answered No", ModalAnswerer::press(u"No"_s), false},
        {"closed without an answer", [](QWidget *dialog) { qobject_cast<QDialog *>(dialog)->reject(); }, false},
        {"answered Yes", ModalAnswerer::press(u"Yes"_s), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox sandbox;
        {
            QFile history(sandbox.historyPath());
            ASSERT_TRUE(history.open(QIODevice::WriteOnly));
            history.write(kBom + "http://old.test/\r\n");
        }
        const auto form = sandbox.open();
        child<QCheckBox>(*form, u"CheckBox3"_s).click();
        ASSERT_TRUE(QFile::exists(sandbox.settingsPath()));
        ASSERT_EQ(itemsOf(child<QComboBox>(*form, u"Edit1"_s)), QStringList{u"http://old.test/"_s});

        sandbox.dialogs.answerWith(c.answer);
        child<QAction>(*form, u"ResettoDefaults1"_s).trigger();

        ASSERT_EQ(sandbox.dialogs.seen().size(), 1u);
        const SeenDialog &seen = sandbox.dialogs.seen().front();
        EXPECT_EQ(seen.title, u"Confirmation"_s);
        EXPECT_EQ(seen.text, u"Restart Application?"_s);
        EXPECT_EQ(seen.buttons, (QStringList{u"No"_s, u"Yes"_s}));
        EXPECT_EQ(QFile::exists(sandbox.settingsPath()), !c.removed);
        EXPECT_EQ(QFile::exists(sandbox.historyPath()), !c.removed);
        EXPECT_EQ(sandbox.restarts, c.removed ? 1 : 0);

        // The next start shows what the files hold then.
        const auto next = sandbox.open();
        EXPECT_EQ(controlValue(*next, u"CheckBox3"_s), c.removed ? u"0"_s : u"1"_s);
        EXPECT_EQ(child<QComboBox>(*next, u"Edit1"_s).count(), c.removed ? 0 : 1);
    }
}

// ---------------------------------------------------------------------------------------------
// URL history and URL entry

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

// ---------------------------------------------------------------------------------------------
// The broken-link check pass in the window

class TAppFormOptionsLoopback : public ::testing::Test
{
protected:
    // Collects a local page whose anchors point at the site, in this order (opening the window
    // unless the test did).
    void collectLinks(const QStringList &hrefs)
    {
        QString html = u"<html><body>\n"_s;
        for (const QString &href : hrefs) {
            html += u"<a href=\"%1\">link</a>\n"_s.arg(href);
        }
        html += u"</body></html>\n"_s;
        if (!m_form) {
            m_form = m_sandbox.open();
        }
        ASSERT_TRUE(collect(*m_form, m_sandbox.page(u"links.html"_s, html)));
        ASSERT_EQ(linksOf(*m_form->resultsModel()), hrefs);
        m_sandbox.beeps = 0;
    }

    bool passRunning() const { return brokenButton().text() == u"STOP"_s; }

    ::testing::AssertionResult waitForPassEnd()
    {
        if (!QTest::qWaitFor([this] { return brokenButton().text() == u"Check Broken Links"_s; }, kRunWaitMs)) {
            return ::testing::AssertionFailure() << "the pass did not end";
        }
        return ::testing::AssertionSuccess();
    }

    QPushButton &brokenButton() const { return child<QPushButton>(*m_form, u"Button2"_s); }

    QToolButton &checkButton() const { return child<QToolButton>(*m_form, u"BitBtn1"_s); }

    QString activity() const { return child<QLabel>(*m_form, u"StatusPanel1"_s).text(); }

    bool progressShown() const { return child<QProgressBar>(*m_form, u"CheckProgress"_s).isVisibleTo(m_form.get()); }

    const LinkRows &rows() const { return m_form->resultsModel()->rows(); }

    CheckSite m_site;
    Sandbox m_sandbox;
    std::unique_ptr<TAppForm> m_form;
};

// A pass over an empty list ends at once, with the beep.
TEST_F(TAppFormOptionsLoopback, EmptyListPassEndsAtOnce)
{
    m_form = m_sandbox.open();
    brokenButton().click();
    EXPECT_TRUE(passRunning());
    ASSERT_TRUE(waitForPassEnd());
    EXPECT_TRUE(checkButton().isEnabled());
    EXPECT_FALSE(progressShown());
    EXPECT_EQ(activity(), QString());
    EXPECT_EQ(m_sandbox.beeps, 1);
    EXPECT_TRUE(m_site.requests().empty());
}

// Enter in the URL box while a run waits for its page stops it, like the STOP button.
TEST_F(TAppFormOptionsLoopback, EnterDuringARunStopsIt)
{
    m_form = m_sandbox.open();
    auto &urlBox = child<QComboBox>(*m_form, u"Edit1"_s);
    urlBox.setEditText(m_site.url(u"/slow"_s));
    checkButton().click();
    ASSERT_EQ(checkButton().text(), u"STOP"_s);
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_site.slowEntered.load(); }, kRunWaitMs));

    QTest::keyClick(&urlBox, Qt::Key_Return); // where typed keys arrive: the combo box
    EXPECT_EQ(checkButton().text(), u"Stopping..."_s);
    EXPECT_FALSE(checkButton().isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([this] { return checkButton().text() == u"Check"_s; }, kRunWaitMs));
    EXPECT_TRUE(checkButton().isEnabled());
    EXPECT_EQ(m_sandbox.beeps, 1);
    EXPECT_EQ(m_site.hits("/slow"), 1) << "Enter did not start another run";
}

// A pass fills every row with its status line, time and icon, and shows that it runs.
TEST_F(TAppFormOptionsLoopback, FillsEveryRow)
{
    const QString ok = m_site.url(u"/ok"_s);
    const QString mail = u"mailto:someone@example.test"_s;
    m_form = m_sandbox.open();
    child<QComboBox>(*m_form, u"ComboBox1"_s).setEditText(u"Quorvel-Agent/1"_s);
    ASSERT_NO_FATAL_FAILURE(collectLinks({ok, m_site.url(u"/gone"_s), m_site.url(u"/moved"_s), mail, ok}));
    // The pass sends the agent of the last collection, not what the box says now.
    child<QComboBox>(*m_form, u"ComboBox1"_s).setEditText(u"Changed/2"_s);

    brokenButton().click();
    EXPECT_TRUE(passRunning());
    EXPECT_EQ(activity(), u"Checking Broken Links..."_s);
    EXPECT_FALSE(checkButton().isEnabled());
    EXPECT_TRUE(progressShown());
    ASSERT_TRUE(waitForPassEnd());

    struct Expected
    {
        const char *name;
        QString response;
        int icon;
        bool timed;
    };

    const std::vector<Expected> expected = {
        {"200", u"HTTP/1.1 200 OK"_s, kIconOk, true},
        {"404", u"HTTP/1.1 404 Not Found"_s, kIconBroken, true},
        {"301, not followed", u"HTTP/1.1 301 Moved Permanently"_s, kIconRedirect, true},
        {"mail link", u"EMAIL"_s, kIconNone, false},
        {"repeat of the first row", u"HTTP/1.1 200 OK"_s, kIconOk, true},
    };
    ASSERT_EQ(rows().size(), static_cast<qsizetype>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        const LinkRow &row = rows().at(static_cast<qsizetype>(i));
        EXPECT_EQ(row.response, expected[i].response);
        EXPECT_EQ(row.icon, expected[i].icon);
        if (expected[i].timed) {
            EXPECT_TRUE(isWholeMs(row.responseTime)) << row.responseTime.toStdString();
        } else {
            EXPECT_EQ(row.responseTime, QString());
        }
    }
    EXPECT_EQ(rows().at(4).responseTime, rows().at(0).responseTime) << "a repeat copies its first occurrence";

    EXPECT_EQ(brokenButton().text(), u"Check Broken Links"_s);
    EXPECT_TRUE(checkButton().isEnabled());
    EXPECT_FALSE(progressShown());
    EXPECT_EQ(activity(), QString());
    EXPECT_EQ(m_sandbox.beeps, 1);

    EXPECT_EQ(m_site.hits("/ok"), 1) << "one request per distinct link";
    EXPECT_EQ(m_site.hits("/target"), 0) << "a redirect is not followed";
    for (const CheckSite::Request &request : m_site.requests()) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.agent, "Quorvel-Agent/1");
    }
}

// A second pass clears the first one's results at once, and takes the options as they are then.
TEST_F(TAppFormOptionsLoopback, SecondPassClearsTheFirstBeforeItsRequests)
{
    const QString ok = m_site.url(u"/ok"_s);
    ASSERT_NO_FATAL_FAILURE(collectLinks({ok, m_site.url(u"/gone"_s), ok}));
    brokenButton().click();
    ASSERT_TRUE(waitForPassEnd());
    ASSERT_EQ(rows().at(1).icon, kIconBroken);
    const size_t firstPassRequests = m_site.requests().size();

    child<QCheckBox>(*m_form, u"CheckBox3"_s).click(); // HEAD from now on
    brokenButton().click();
    // Nothing of the new pass has reached the window yet: every row is blank.
    for (const LinkRow &row : rows()) {
        EXPECT_EQ(row.response, QString());
        EXPECT_EQ(row.responseTime, QString());
        EXPECT_EQ(row.icon, kIconNone);
    }
    ASSERT_TRUE(waitForPassEnd());
    EXPECT_EQ(rows().at(0).response, u"HTTP/1.1 200 OK"_s);
    EXPECT_EQ(rows().at(1).response, u"HTTP/1.1 404 Not Found"_s);
    EXPECT_EQ(rows().at(2).icon, kIconOk);
    EXPECT_EQ(m_sandbox.beeps, 2);

    const std::vector<CheckSite::Request> requests = m_site.requests();
    ASSERT_EQ(requests.size(), firstPassRequests + 2) << "every distinct link is asked again, once";
    for (size_t i = firstPassRequests; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].method, "HEAD");
    }
}

// STOP ends the pass: rows not started keep blank cells, the window goes back to idle.
TEST_F(TAppFormOptionsLoopback, StopLeavesLaterRowsBlank)
{
    m_form = m_sandbox.open();
    child<QSpinBox>(*m_form, u"ParallelChecks"_s).setValue(1);
    ASSERT_NO_FATAL_FAILURE(
        collectLinks({m_site.url(u"/ok"_s), m_site.url(u"/slow"_s), m_site.url(u"/after"_s), m_site.url(u"/gone"_s)}));

    brokenButton().click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_site.slowEntered.load(); }, kRunWaitMs));
    ASSERT_TRUE(passRunning());
    brokenButton().click();
    ASSERT_TRUE(waitForPassEnd());

    EXPECT_EQ(rows().at(0).response, u"HTTP/1.1 200 OK"_s);
    for (const qsizetype i : {2, 3}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows().at(i).response, QString());
        EXPECT_EQ(rows().at(i).responseTime, QString());
        EXPECT_EQ(rows().at(i).icon, kIconNone);
    }
    EXPECT_EQ(m_site.hits("/after"), 0);
    EXPECT_EQ(m_site.hits("/gone"), 0);
    EXPECT_TRUE(checkButton().isEnabled());
    EXPECT_EQ(checkButton().text(), u"Check"_s);
    EXPECT_FALSE(progressShown());
    EXPECT_EQ(activity(), QString());
    EXPECT_EQ(m_sandbox.beeps, 1);
}

// While a pass runs the Check button is disabled, and Enter in the URL box or the menus' Check
// item do no more than a click on it: no collection starts under the pass.
TEST_F(TAppFormOptionsLoopback, NoRunStartsDuringAPass)
{
    const QStringList links = {m_site.url(u"/slow"_s), m_site.url(u"/after"_s)};
    ASSERT_NO_FATAL_FAILURE(collectLinks(links));
    const QString other = m_sandbox.page(u"other.html"_s, u"<a href=\"http://h.test/1\">one</a>"_s);
    auto &urlBox = child<QComboBox>(*m_form, u"Edit1"_s);

    brokenButton().click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_site.slowEntered.load(); }, kRunWaitMs));
    urlBox.setEditText(other);
    QTest::keyClick(&urlBox, Qt::Key_Return); // where typed keys arrive: the combo box
    m_form->checkMenu()->popup(QPoint(0, 0));
    child<QAction>(*m_form->checkMenu(), u"Check1"_s).trigger();
    m_form->checkMenu()->close();

    EXPECT_EQ(checkButton().text(), u"Check"_s);
    EXPECT_FALSE(checkButton().isEnabled());
    EXPECT_TRUE(passRunning());
    EXPECT_TRUE(brokenButton().isEnabled()) << "the pass can still be stopped";
    EXPECT_EQ(linksOf(*m_form->resultsModel()), links);
    brokenButton().click();
    ASSERT_TRUE(waitForPassEnd());
    EXPECT_EQ(linksOf(*m_form->resultsModel()), links);
    EXPECT_EQ(itemsOf(urlBox).size(), 1) << "only the first collection is in the history";
}

// The table is not re-ordered under a running pass; once it ended a header click sorts.
TEST_F(TAppFormOptionsLoopback, HeaderClickDuringAPassIsIgnored)
{
    const QStringList links = {m_site.url(u"/slow"_s), m_site.url(u"/after"_s), m_site.url(u"/gone"_s)};
    ASSERT_NO_FATAL_FAILURE(collectLinks(links));
    m_form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    QHeaderView &header = *child<QTableView>(*m_form, u"ListBox1"_s).horizontalHeader();
    const auto clickLinkHeader = [&header] {
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                          QPoint(header.sectionViewportPosition(0) + 5, header.height() / 2));
    };
    const SortState before = m_form->resultsModel()->sortState();

    brokenButton().click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_site.slowEntered.load(); }, kRunWaitMs));
    clickLinkHeader();
    EXPECT_EQ(m_form->resultsModel()->sortState(), before);
    EXPECT_EQ(linksOf(*m_form->resultsModel()), links);
    brokenButton().click();
    ASSERT_TRUE(waitForPassEnd());

    clickLinkHeader();
    EXPECT_TRUE(m_form->resultsModel()->sortState().sortedMode) << "the same click sorts when idle";
}

// ---------------------------------------------------------------------------------------------
// Export through the save dialog

// Button3 asks for a file with the save dialog and writes the rows in the format of its name; a
// name typed without an extension gets the one of the chosen filter.
TEST(TAppFormOptions, ExportWritesTheFileTheDialogNames)
{
    struct Case
    {
        const char *name;
        QString filter;   // chosen in the dialog; empty: the one it opens with
        QString fileName; // as typed; empty: the dialog is cancelled
        QString written;  // the file that results; empty: fileName
        ExportFormat format;
        bool fails;
    };

    const QString csvFilter = u"CSV File (*.csv)"_s;
    const QString textFilter = u"Text File (*.txt)"_s;
    const std::vector<Case> cases = {
        {"csv name", {}, u"links.csv"_s, {}, ExportFormat::Csv, false},
        {"CSV in capitals", {}, u"LINKS.CSV"_s, {}, ExportFormat::Csv, false},
        {"txt name", {}, u"links.txt"_s, {}, ExportFormat::Text, false},
        {"csv.txt name", {}, u"links.csv.txt"_s, {}, ExportFormat::Text, false},
        {"no extension, the filter it opens with", {}, u"plain"_s, u"plain.csv"_s, ExportFormat::Csv, false},
        {"no extension, CSV filter chosen", csvFilter, u"report"_s, u"report.csv"_s, ExportFormat::Csv, false},
        {"no extension, Text filter chosen", textFilter, u"notes"_s, u"notes.txt"_s, ExportFormat::Text, false},
        {"CSV filter but named .txt", csvFilter, u"named.txt"_s, {}, ExportFormat::Text, false},
        {"cancelled", {}, QString(), {}, ExportFormat::Text, false},
        {"a folder that does not exist", {}, u"missing/links.csv"_s, {}, ExportFormat::Csv, true},
    };
    Sandbox sandbox;
    const QString page = sandbox.page(u"export.html"_s, u"<a href=\"http://h.test/a\">say \"hi\"</a>"
                                                        "<a href=\"mailto:x@h.test\" rel=\"nofollow\">mail</a>"_s);
    const auto form = sandbox.open();
    ASSERT_TRUE(collect(*form, page));
    ASSERT_EQ(form->resultsModel()->rowCount(), 2);
    QTemporaryDir target;
    ASSERT_TRUE(target.isValid());

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString typed = c.fileName.isEmpty() ? QString() : target.filePath(c.fileName);
        const QString path = c.written.isEmpty() ? typed : target.filePath(c.written);
        QStringList filters;
        QString openedWith;
        bool saving = false;
        const QStringList filesBefore = QDir(target.path()).entryList(QDir::Files);
        sandbox.dialogs.clear();
        sandbox.dialogs.answerWith(ModalAnswerer::onFileDialog([&](QFileDialog &files) {
            filters = files.nameFilters();
            openedWith = files.selectedNameFilter();
            saving = files.acceptMode() == QFileDialog::AcceptSave;
            if (!c.filter.isEmpty()) {
                files.selectNameFilter(c.filter);
            }
            if (typed.isEmpty()) {
                files.reject();
            } else {
                files.selectFile(typed);
                // The dialog's own accept, as its Save button runs it (protected in QFileDialog).
                static_cast<QDialog &>(files).accept();
            }
        }));
        child<QPushButton>(*form, u"Button3"_s).click();

        ASSERT_EQ(sandbox.dialogs.seen().size(), c.fails ? 2u : 1u) << "the save dialog, and the error if any";
        EXPECT_EQ(filters, (QStringList{csvFilter, textFilter}));
        EXPECT_EQ(openedWith, csvFilter);
        EXPECT_TRUE(saving);
        if (path.isEmpty()) {
            EXPECT_EQ(QDir(target.path()).entryList(QDir::Files), filesBefore) << "a cancelled dialog writes nothing";
            continue;
        }
        if (c.fails) {
            EXPECT_TRUE(sandbox.dialogs.seen().back().text.startsWith(u"Cannot create file \""_s + path + u"\". "_s))
                << sandbox.dialogs.seen().back().text.toStdString();
            EXPECT_FALSE(QFile::exists(path));
            continue;
        }
        EXPECT_EQ(fileBytes(path), ExportBytes(form->resultsModel()->rows(), c.format, form->localeListSeparator()));
        if (path != typed) {
            EXPECT_FALSE(QFile::exists(typed)) << "no file under the name without extension";
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Web tools

namespace {

// Opens a command menu the way the user does (which sets the menu's source), triggers one item
// and closes the menu again.
void triggerInMenu(QMenu &menu, const QString &actionName, const std::function<void()> &openMenu)
{
    openMenu();
    child<QAction>(menu, actionName).trigger();
    menu.close();
}

} // namespace

// From the Check button's menu every tool opens its address for the URL box text, taken raw.
TEST(TAppFormOptions, WebToolsOfTheCheckButtonUseTheUrlBoxText)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    // A path, a query, blanks (one at the end) and an ampersand: all of it goes out as typed.
    const QString target = u"https://www.h.test/a b/page.html?x=1&y=2 "_s;
    child<QComboBox>(*form, u"Edit1"_s).setEditText(target);
    QMenu &menu = *form->checkMenu();
    ASSERT_EQ(menu.objectName(), u"PopupMenu1"_s);
    const auto openMenu = [&menu] {
        menu.popup(QPoint(0, 0));
    };

    for (const WebTool tool : WebToolsInMenuOrder()) {
        SCOPED_TRACE(WebToolCaption(tool).toStdString());
        sandbox.opened.clear();
        triggerInMenu(menu, WebToolObjectName(tool), openMenu);
        EXPECT_EQ(form->popupSource(), u"Button"_s);
        EXPECT_EQ(sandbox.opened, QStringList{WebToolAddress(tool, target)});
    }
    sandbox.opened.clear();
    triggerInMenu(menu, WebToolObjectName(WebTool::Google), openMenu);
    ASSERT_EQ(sandbox.opened.size(), 1);
    EXPECT_TRUE(sandbox.opened.front().endsWith(u"/search?q=site:"_s + target)) << "blank and ampersand stay";

    sandbox.opened.clear();
    triggerInMenu(menu, u"All1"_s, openMenu);
    QStringList all;
    for (const WebTool tool : IndexTools()) {
        all.append(WebToolAddress(tool, target));
    }
    EXPECT_EQ(sandbox.opened, all);
}

// From the list's menu the tools use the selected row's link, and nothing without a selection.
TEST(TAppFormOptions, WebToolsOfTheListUseTheSelectedRow)
{
    struct Case
    {
        const char *name;
        int selectedRow; // -1: none
        QString action;
        QList<WebTool> opened; // for the selected row's link
    };

    const std::vector<Case> cases = {
        {"no selected row: a tool opens nothing", -1, WebToolObjectName(WebTool::RobotsTxt) + u"_2"_s, {}},
        {"no selected row: All opens nothing", -1, u"All1_2"_s, {}},
        {"second row: Robots.txt", 1, WebToolObjectName(WebTool::RobotsTxt) + u"_2"_s, {WebTool::RobotsTxt}},
        {"second row: Domain IP List", 1, WebToolObjectName(WebTool::DomainIpList) + u"_2"_s, {WebTool::DomainIpList}},
        {"first row: All", 0, u"All1_2"_s, IndexTools()},
    };
    Sandbox sandbox;
    const QString page = sandbox.page(u"tools.html"_s, u"<a href=\"https://one.test/x?a=1\">1</a>"
                                                       "<a href=\"http://two.test/y/z.html\">2</a>"_s);
    const auto form = sandbox.open();
    ASSERT_TRUE(collect(*form, page));
    ASSERT_EQ(form->resultsModel()->rowCount(), 2);
    auto &list = child<QTableView>(*form, u"ListBox1"_s);
    QMenu &menu = *form->listMenu();
    ASSERT_EQ(menu.objectName(), u"PopupMenu2"_s);
    const auto openMenu = [&list] {
        Q_EMIT list.customContextMenuRequested(QPoint(2, 2));
    };

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        list.clearSelection();
        if (c.selectedRow >= 0) {
            list.selectRow(c.selectedRow);
        }
        sandbox.opened.clear();
        triggerInMenu(menu, c.action, openMenu);
        EXPECT_EQ(form->popupSource(), u"List"_s);
        QStringList expected;
        for (const WebTool tool : c.opened) {
            expected.append(WebToolAddress(tool, form->resultsModel()->rows().at(c.selectedRow).link));
        }
        EXPECT_EQ(sandbox.opened, expected);
    }
}

// The Tools menu opens its fixed pages, with or without rows and whatever menu was opened last.
TEST(TAppFormOptions, ToolsMenuOpensFixedPages)
{
    Sandbox sandbox;
    const auto form = sandbox.open();
    ASSERT_EQ(form->resultsModel()->rowCount(), 0);
    QStringList expected;
    for (const FixedTool tool : FixedToolsInMenuOrder()) {
        child<QAction>(*form->menuBar(), FixedToolObjectName(tool)).trigger();
        expected.append(FixedToolAddress(tool));
    }
    EXPECT_EQ(sandbox.opened, expected);
    EXPECT_EQ(form->popupSource(), QString());
}

} // namespace quorvel::test

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

} // namespace quorvel::test

namespace quorvel::test {

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
