#include "gui/common/Translations.h"

#include "core/analyze/RunAnalysis.h"
#include "gui/analyze/TAnalyzeForm.h"
#include "gui/app/AppFormDriver.h"
#include "gui/common/CoreTexts.h"
#include "gui/common/DialogButtons.h"
#include "gui/results/ExportFileDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

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
    };
    const QString de[] = {u"Optionen anzeigen"_s, u"Prüfen"_s, u"URL analysieren"_s,
                          u"Abbrechen"_s,         u"Ja"_s,     u"defekt"_s};
    const QString en[] = {u"Show Options"_s, u"Check"_s, u"Analyze URL"_s, u"Cancel"_s, u"Yes"_s, u"broken"_s};
    const std::vector<Case> cases = {
        {"German", u"de_DE"_s, true, de[0], de[1], de[2], de[3], de[4], de[5]},
        {"German of another country falls back to German", u"de_AT"_s, true, de[0], de[1], de[2], de[3], de[4], de[5]},
        {"the C locale stays English", u"C"_s, false, en[0], en[1], en[2], en[3], en[4], en[5]},
        {"English", u"en_US"_s, false, en[0], en[1], en[2], en[3], en[4], en[5]},
        // Qt has French texts, the program has none: the window stays English throughout.
        {"a language without a translation stays English", u"fr_FR"_s, false, en[0], en[1], en[2], en[3], en[4], en[5]},
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

} // namespace quorvel::test
