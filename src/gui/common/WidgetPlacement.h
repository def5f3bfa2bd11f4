#pragma once

#include <QSize>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QAbstractButton;
class QWidget;
QT_END_NAMESPACE

namespace quorvel {

// Gives the button one fixed width, wide enough for each of its captions, so a caption change
// never moves it out from under the mouse. The button's own caption is restored.
void fitWidthToCaptions(QAbstractButton &button, const QStringList &captions);

// Sizes the top-level window to clientSize and centres it on its screen's available area.
void centreOnScreen(QWidget &window, QSize clientSize);

} // namespace quorvel
