#pragma once

#include <QLocale>
#include <QString>

#include <memory>
#include <vector>

class QTranslator;

namespace quorvel {

// The window program's translations for one locale, installed into the application for as long as
// this object lives (UI thread): the program's own texts, compiled into it, and Qt's own texts
// (standard buttons, file dialogs) when the system has them. English needs no translation; a locale
// without one leaves the whole window in English, Qt's texts included.
class Translations final
{
    Q_DISABLE_COPY_MOVE(Translations)

public:
    explicit Translations(const QLocale &locale);
    ~Translations();

    // Whether the program's own texts are translated for the locale.
    bool programTranslated() const { return m_programTranslated; }
    // Whether Qt's own texts are translated for the locale.
    bool qtTranslated() const { return m_qtTranslated; }

private:
    bool install(const QLocale &locale, const QString &name, const QString &folder);

    std::vector<std::unique_ptr<QTranslator>> m_installed;
    bool m_programTranslated = false;
    bool m_qtTranslated = false;
};

} // namespace quorvel
