#include "gui/common/Icons.h"

#include "core/model/LinkRow.h"

#include <QFile>
#include <QPixmap>

using namespace Qt::StringLiterals;

// The resources live in a static library: nothing would pull them into the program unless
// something calls their initialiser. Q_INIT_RESOURCE must stand outside every namespace, the
// unnamed one included.
static void initQuorvelResources()
{
    Q_INIT_RESOURCE(quorvel);
}

namespace quorvel {

QIcon namedIcon(const QString &name)
{
    static const bool resourcesReady = (initQuorvelResources(), true);
    Q_UNUSED(resourcesReady);
    QIcon icon;
    for (int size : {16, 32}) {
        const QString path = u":/icons/%1/%2.png"_s.arg(size).arg(name);
        if (QFile::exists(path)) {
            icon.addFile(path, QSize(size, size));
        }
    }
    return icon;
}

QString rowIconName(int index)
{
    switch (index) {
    case kIconCollected:
        return u"html"_s;
    case kIconOk:
        return u"check-icon"_s;
    case kIconRedirect:
        return u"redirection"_s;
    case kIconBroken:
        return u"exclamation"_s;
    default:
        return {};
    }
}

QIcon rowIcon(int index)
{
    const QString name = rowIconName(index);
    return name.isEmpty() ? QIcon() : namedIcon(name);
}

QIcon blankIcon()
{
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap blank(size, size);
        blank.fill(Qt::transparent);
        icon.addPixmap(blank);
    }
    return icon;
}

} // namespace quorvel
