#include "core/app/DataFolder.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

QString withSlash(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

bool IsFolderWritable(const QString &folder)
{
    if (folder.isEmpty()) {
        return false;
    }
    const QByteArray probe = QFile::encodeName(withSlash(folder) + u"chk.tmp"_s);
    const int fd = ::open(probe.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

QString defaultConfigHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    // Relative values are invalid by the XDG rules and would depend on the working folder.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) {
        return QDir::cleanPath(xdg);
    }
    return QDir::homePath() + u"/.config"_s;
}

QString chooseDataFolder(const QString &programFolder, const QString &companyName, const QString &productName,
                         const QString &configHome)
{
    if (IsFolderWritable(programFolder)) {
        return withSlash(programFolder);
    }
    const QString home = configHome.isEmpty() ? defaultConfigHome() : configHome;
    const QString folder = withSlash(home) + companyName + u'/' + productName;
    // mkpath also makes a missing configuration home: a fresh account may have no ~/.config yet,
    // and without it the settings could never be saved.
    QDir().mkpath(folder);
    return folder + u'/';
}

} // namespace quorvel
