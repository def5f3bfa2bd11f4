#include "core/common/Http.h"
#include "gui/app/ColorScheme.h"
#include "gui/app/TAppForm.h"
#include "gui/common/Icons.h"
#include "gui/common/Translations.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    quorvel::CurlGlobal curl;
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Quorvel"_s);
    QApplication::setApplicationDisplayName(u"Quorvel"_s);
    QApplication::setOrganizationName(u"BRELLAN"_s);
    QApplication::setWindowIcon(quorvel::namedIcon(u"html"_s));
    quorvel::applyColorScheme(quorvel::colorSchemeFromEnvironment());
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVEL_APP_ID));
    // The window speaks the desktop's language; the command-line program never loads a translation.
    const quorvel::Translations translations(QLocale::system());

    quorvel::AppEnvironment environment;
    environment.programFile = QCoreApplication::applicationFilePath();
    // An installed copy (bin/ beside share/doc/quorvel/, as the package and `cmake --install` lay
    // it out) keeps its data in the user's configuration folder even when root runs it, never
    // among the system's programs; a copy anywhere else keeps it beside itself when it may.
    const QString folder = QCoreApplication::applicationDirPath();
    const bool installed = QFileInfo(folder + u"/../share/doc/quorvel/copyright"_s).isFile();
    environment.programFolder = installed ? QString() : folder;
    quorvel::TAppForm window(environment);
    if (!window.startupError().isEmpty()) {
        QMessageBox::critical(nullptr, u"Quorvel"_s, window.startupError());
        return 1;
    }
    window.showRemembered();
    window.startUpdateCheck();
    return QApplication::exec();
}
