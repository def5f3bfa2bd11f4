#include "core/app/OptionDefaults.h"
#include "core/app/SettingsStore.h"
#include "core/model/LinkRow.h"
#include "gui/app/AppFormDriver.h"
#include "gui/app/TAppForm.h"
#include "gui/results/ResultsModel.h"
#include "support/Fixtures.h"

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

#include <functional>
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
    EXPECT_EQ(urlBox.lineEdit()->selectedText(), defaultStartUrl()) << "typing replaces the start address";
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
         {{u"Agent"_s, agentList().at(3)}}},
        {"agent typed",
         [](TAppForm &form) { typeInto(*child<QComboBox>(form, u"ComboBox1"_s).lineEdit(), u"Bot/2 (test)"_s); },
         {{u"Agent"_s, u"Bot/2 (test)"_s}}},
        {"parallel checks",
         [](TAppForm &form) { child<QSpinBox>(form, u"ParallelChecks"_s).setValue(4); },
         {{u"ParallelChecks"_s, u"4"_s}}},
        {"per host", [](TAppForm &form) { child<QSpinBox>(form, u"PerHost"_s).setValue(2); }, {{u"PerHost"_s, u"2"_s}}},
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
        {"PerHost out of range gives 4", {{u"PerHost"_s, u"65"_s}}, {{u"PerHost"_s, u"4"_s}}},
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
        child<QSpinBox>(*form, u"PerHost"_s).setValue(3);
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
        {u"PerHost"_s, u"3"_s},
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
        EXPECT_TRUE(seen.text.startsWith(u"Restart Application?"_s)) << seen.text.toStdString();
        EXPECT_TRUE(seen.text.contains(u"remembered window layout"_s)) << seen.text.toStdString();
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

} // namespace quorvel::test
