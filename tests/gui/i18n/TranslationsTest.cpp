#include "gui/common/Translations.h"

#include "core/analyze/RunAnalysis.h"
#include "gui/analyze/TAnalyzeForm.h"
#include "gui/app/AppFormDriver.h"
#include "gui/common/CoreTexts.h"
#include "gui/common/DialogButtons.h"
#include "gui/results/ExportFileDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLocale>
#include <QMenuBar>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

// The window's texts for a locale: German where a German translation exists, English otherwise, Qt's
// standard buttons included; and nothing of it stays behind when the translations go.
TEST(Translations, TheLocaleChoosesTheWindowsLanguage)
{
    struct Case
    {
        const char *name;
        QString locale;
        bool translated;
        QString showOptions; // the main window's form
        QString check;
        QString analyzeTitle; // a window built in code
        QString cancel;       // Qt's own standard button
        QString yes;          // the caption dialog's standard caption
        QString broken;       // a verdict word from the core
        QStringList menus;    // the main window's menu bar
    };
    const QString de[] = {u"Optionen anzeigen"_s, u"Prüfen"_s, u"URL analysieren"_s,
                          u"Abbrechen"_s,         u"Ja"_s,     u"defekt"_s};
    const QString en[] = {u"Show Options"_s, u"Check"_s, u"Analyze URL"_s, u"Cancel"_s, u"Yes"_s, u"broken"_s};
    const QStringList deMenus = {u"&Datei"_s, u"&Ergebnisse"_s, u"E&xtras"_s, u"Ein&stellungen"_s, u"&Hilfe"_s};
    const QStringList enMenus = {u"&File"_s, u"&Results"_s, u"&Tools"_s, u"&Settings"_s, u"&Help"_s};
    const std::vector<Case> cases = {
        {"German", u"de_DE"_s, true, de[0], de[1], de[2], de[3], de[4], de[5], deMenus},
        {"German of another country falls back to German", u"de_AT"_s, true, de[0], de[1], de[2], de[3], de[4], de[5],
         deMenus},
        {"the C locale stays English", u"C"_s, false, en[0], en[1], en[2], en[3], en[4], en[5], enMenus},
        {"English", u"en_US"_s, false, en[0], en[1], en[2], en[3], en[4], en[5], enMenus},
        // Qt has French texts, the program has none: the window stays English throughout.
        {"a language without a translation stays English", u"fr_FR"_s, false, en[0], en[1], en[2], en[3], en[4], en[5],
         enMenus},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        {
            const Translations translations{QLocale(c.locale)};
            EXPECT_EQ(translations.programTranslated(), c.translated);
            // Qt's own German comes from the system (qt6-translations-l10n, see scripts/install-deps).
            EXPECT_EQ(translations.qtTranslated(), c.translated);

            Sandbox sandbox;
            const std::unique_ptr<TAppForm> form = sandbox.open();
            EXPECT_EQ(form->findChild<QCheckBox *>(u"CheckBox1"_s)->text(), c.showOptions);
            EXPECT_EQ(form->findChild<QToolButton *>(u"BitBtn1"_s)->text(), c.check);
            QStringList menus;
            for (const QAction *menu : form->menuBar()->actions()) {
                menus.append(menu->text());
            }
            EXPECT_EQ(menus, c.menus);
            const TAnalyzeForm analysis{AnalysisResult{}};
            EXPECT_EQ(analysis.windowTitle(), c.analyzeTitle);
            const QDialogButtonBox box(QDialogButtonBox::Cancel);
            EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), c.cancel);
            EXPECT_EQ(standardCaption(DialogButton::Yes), c.yes);
            EXPECT_EQ(shownVerdict(Verdict::Broken), c.broken);
        }
        // Gone with the object: the next window is English again.
        EXPECT_EQ(shownVerdict(Verdict::Broken), u"broken"_s);
        EXPECT_EQ(standardCaption(DialogButton::Yes), u"Yes"_s);
    }
}

// The save dialog's filters keep their patterns in every language: the extension the export writes
// is read from them.
TEST(Translations, TranslatedExportFiltersKeepTheirPatterns)
{
    const Translations translations{QLocale(u"de_DE"_s)};
    ASSERT_TRUE(translations.programTranslated());
    const ExportFileDialog dialog;
    const QStringList filters = dialog.nameFilters();
    ASSERT_EQ(filters.size(), 2);
    EXPECT_EQ(filters[0], u"CSV-Datei (*.csv)"_s);
    EXPECT_EQ(ExportFileDialog::suffixOfFilter(filters[0]), u"csv"_s);
    EXPECT_EQ(ExportFileDialog::suffixOfFilter(filters[1]), u"txt"_s);
}

// What the program does at start, in a child process: the system locale is read from the environment
// once per process, so each environment needs a process of its own.
TEST(TranslationsProbe, SystemLocale)
{
    if (!qEnvironmentVariableIsSet("QUORVEL_LOCALE_PROBE")) {
        GTEST_SKIP() << "run by Translations.TheEnvironmentChoosesTheLanguage in a child process";
    }
    const Translations translations(QLocale::system());
    std::printf("probe: %s\n", qPrintable(standardCaption(DialogButton::Yes)));
}

// LANG (or LC_ALL) names the language as the desktop sets it; the C locale means English even when
// LANGUAGE asks for German, as in gettext programs.
TEST(Translations, TheEnvironmentChoosesTheLanguage)
{
    struct Case
    {
        const char *name;
        std::vector<std::pair<QString, QString>> env;
        QByteArray shown;
    };
    const std::vector<Case> cases = {
        {"LANG=de_DE.UTF-8", {{u"LANG"_s, u"de_DE.UTF-8"_s}}, "Ja"},
        {"LANG=C", {{u"LANG"_s, u"C"_s}}, "Yes"},
        {"LANG=C.UTF-8", {{u"LANG"_s, u"C.UTF-8"_s}}, "Yes"},
        {"LANG=en_GB.UTF-8", {{u"LANG"_s, u"en_GB.UTF-8"_s}}, "Yes"},
        {"LC_ALL wins over LANG", {{u"LANG"_s, u"C"_s}, {u"LC_ALL"_s, u"de_AT.UTF-8"_s}}, "Ja"},
        {"LANGUAGE does not override LANG=C", {{u"LANG"_s, u"C"_s}, {u"LANGUAGE"_s, u"de"_s}}, "Yes"},
        {"LANGUAGE picks among the user's languages", {{u"LANG"_s, u"de_DE.UTF-8"_s}, {u"LANGUAGE"_s, u"en"_s}}, "Yes"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &name : {u"LANG"_s, u"LC_ALL"_s, u"LC_MESSAGES"_s, u"LC_NUMERIC"_s, u"LANGUAGE"_s}) {
            env.remove(name);
        }
        for (const auto &[name, value] : c.env) {
            env.insert(name, value);
        }
        env.insert(u"QUORVEL_LOCALE_PROBE"_s, u"1"_s);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {u"--gtest_filter=TranslationsProbe.SystemLocale"_s});
        ASSERT_TRUE(child.waitForFinished(60'000));
        ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
        const QByteArray out = child.readAllStandardOutput();
        EXPECT_TRUE(out.contains(QByteArray("probe: " + c.shown + "\n"))) << out.toStdString();
    }
}

} // namespace quorvel::test
