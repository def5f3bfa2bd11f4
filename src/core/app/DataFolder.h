#pragma once

#include <QString>

namespace quorvel {

// Can a file be created in folder? Creates folder/chk.tmp exclusively and removes it at once.
// False when the probe cannot be created, and also when a chk.tmp is there already (that file is
// left untouched). An empty folder name is false.
bool IsFolderWritable(const QString &folder);

// $XDG_CONFIG_HOME when it is set to an absolute path, otherwise ~/.config. Creates nothing.
QString defaultConfigHome();

// The folder of settings.ini and history.txt, always ending in "/": the program's folder when
// IsFolderWritable says so, else configHome/companyName/productName, created on the way (failures
// are ignored here; a later write reports them). An empty configHome means defaultConfigHome().
QString chooseDataFolder(const QString &programFolder, const QString &companyName, const QString &productName,
                         const QString &configHome = QString());

} // namespace quorvel
