#include "gui/common/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

Q_LOGGING_CATEGORY(lcTranslations, "quorvel.gui.translations")

// Where the build puts the compiled program translations (quorvel_de.qm, ...).
constexpr QStringView kProgramFolder = u":/i18n";

} // namespace

Translations::Translations(const QLocale &locale)
{
    // Qt takes the UI languages from LANGUAGE even under LANG=C; as in every gettext program, the C
    // locale means the untranslated program whatever LANGUAGE says.
    if (locale.language() == QLocale::C) {
        return;
    }
    m_programTranslated = install(locale, u"quorvel"_s, kProgramFolder.toString());
    // Qt's texts follow only when the program's do: a window in one language, never English captions
    // beside French standard buttons.
    if (m_programTranslated) {
        m_qtTranslated = install(locale, u"qtbase"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }
}

Translations::~Translations()
{
    for (const std::unique_ptr<QTranslator> &translator : m_installed) {
        QCoreApplication::removeTranslator(translator.get());
    }
}

bool Translations::install(const QLocale &locale, const QString &name, const QString &folder)
{
    // load() tries the locale's UI languages in order (quorvel_de_AT, then quorvel_de); there is no
    // file without a language, so the C locale finds nothing and stays English.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, name, u"_"_s, folder)) {
        qCDebug(lcTranslations) << "no" << name << "translation for" << locale.uiLanguages() << "in" << folder;
        return false;
    }
    if (!QCoreApplication::installTranslator(translator.get())) {
        qCWarning(lcTranslations) << "could not install" << translator->filePath();
        return false;
    }
    m_installed.push_back(std::move(translator));
    return true;
}

} // namespace quorvel
