#include "gui/windows/WindowPictures.h"

#include <QFile>

using namespace Qt::StringLiterals;

// The resources live in a static library; Q_INIT_RESOURCE must stand outside every namespace.
static void initWindowResources()
{
    Q_INIT_RESOURCE(windows);
}

namespace quorvel {

QIcon windowPicture(const QString &name)
{
    static const bool resourcesReady = (initWindowResources(), true);
    Q_UNUSED(resourcesReady);
    const QString path = u":/windows/%1.png"_s.arg(name);
    // QIcon finds name@2x.png beside the file by itself.
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

QPixmap windowPixmap(const QString &name, QSize size, qreal devicePixelRatio)
{
    return windowPicture(name).pixmap(size, devicePixelRatio);
}

} // namespace quorvel
