#pragma once

#include "core/app/MakerSite.h"
#include "gui/common/CaptionDialog.h"

#include <QIcon>
#include <QString>

#include <functional>

class QWidget;

namespace quorvel {

// What the feedback, About and update windows take from the main window: the program's identity,
// the maker's host, and how to open an address or a file, beep and show a message box. Tests
// capture the last three instead of reaching the desktop.
struct WindowContext
{
    QString appProductName; // AppProductName, e.g. "Quorvel"
    QString appTitle;       // AppTitle, e.g. "BRELLAN - Quorvel"
    QString appVersion;     // AppVersion, e.g. "2.2"
    QString makerHost;      // empty: MakerSiteHost()
    QString programFolder;  // where license.txt is looked for
    QIcon appIcon;          // null: the application's window icon
    // Opens an address ("https://...") or a file ("file:///...") with the desktop's handler; empty:
    // QDesktopServices. Failures are not reported.
    std::function<void(const QString &address)> open;
    std::function<void()> beep; // empty: QApplication::beep()
    // Shows a message box with one OK button and waits for it; empty: a modal caption dialog.
    std::function<void(QWidget *parent, DialogKind kind, const QString &caption, const QString &text)> showMessage;

    MakerSite site() const;
    QIcon icon() const;
    void openAddress(const QString &address) const;
    void beepNow() const;
    void message(QWidget *parent, DialogKind kind, const QString &caption, const QString &text) const;
};

} // namespace quorvel
