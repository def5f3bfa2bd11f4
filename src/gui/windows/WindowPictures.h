#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace quorvel {

// A picture of the feedback, About or update window by name ("logo", "egg", "like", "dislike",
// "arrow", "close"), with its double-size version for high-density screens. Null for an unknown
// name. Needs a QGuiApplication; UI thread.
QIcon windowPicture(const QString &name);

// That picture drawn at size (device-independent pixels) for a screen of the given density.
QPixmap windowPixmap(const QString &name, QSize size, qreal devicePixelRatio);

} // namespace quorvel
