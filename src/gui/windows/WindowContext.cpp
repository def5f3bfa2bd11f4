#include "gui/windows/WindowContext.h"

#include "gui/common/Icons.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace quorvel {

MakerSite WindowContext::site() const
{
    return makerHost.isEmpty() ? MakerSite() : MakerSite(makerHost);
}

QIcon WindowContext::icon() const
{
    if (!appIcon.isNull()) {
        return appIcon;
    }
    const QIcon windowIcon = QApplication::windowIcon();
    // The installed program's icon when the application has none of its own.
    return windowIcon.isNull() ? namedIcon(u"html"_s) : windowIcon;
}

void WindowContext::openAddress(const QString &address) const
{
    if (open) {
        open(address);
    } else {
        QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
    }
}

void WindowContext::beepNow() const
{
    if (beep) {
        beep();
    } else {
        QApplication::beep();
    }
}

void WindowContext::message(QWidget *parent, DialogKind kind, const QString &caption, const QString &text) const
{
    if (showMessage) {
        showMessage(parent, kind, caption, text);
    } else {
        ShowCaptionDialog(parent, text, kind, {DialogButton::Ok}, caption, {});
    }
}

} // namespace quorvel
