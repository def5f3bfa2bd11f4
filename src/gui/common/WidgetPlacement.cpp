#include "gui/common/WidgetPlacement.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace quorvel {

void fitWidthToCaptions(QAbstractButton &button, const QStringList &captions)
{
    const QString own = button.text();
    int width = button.sizeHint().width();
    for (const QString &caption : captions) {
        button.setText(caption);
        width = std::max(width, button.sizeHint().width());
    }
    button.setText(own);
    button.setFixedWidth(width);
}

void centreOnScreen(QWidget &window, QSize clientSize)
{
    const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        window.resize(clientSize);
        return;
    }
    window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, clientSize, screen->availableGeometry()));
}

} // namespace quorvel
