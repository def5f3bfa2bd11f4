#pragma once

#include <QString>

#include <functional>

namespace quorvel {

// What the main window takes from outside: where its files live, which program file holds the
// version block, and how it opens addresses and beeps. Tests pass a temporary data folder and
// capture what would be opened.
struct AppEnvironment
{
    QString programFile;   // the executable whose version block names the program
    QString programFolder; // where settings.ini and history.txt go when it is writable
    QString configHome;    // fallback parent of BRELLAN/Quorvel; empty: $XDG_CONFIG_HOME or ~/.config
    QString makerHost;     // empty: MakerSiteHost()
    QString contentsHost;  // host of the html2txt service; empty: the W3C's
    QString showUpdateIni; // where ShowUpdate is kept; empty: the per-user settings of BRELLAN/Quorvel
    std::function<void(const QString &address)> openAddress; // empty: the desktop's default handler
    std::function<void()> beep;                              // empty: QApplication::beep()
    std::function<void()> restart;                           // empty: start a new copy of the program and end this one
    std::function<void()> quit;                              // Exit; empty: end the program
};

} // namespace quorvel
