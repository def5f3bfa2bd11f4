#pragma once

#include "core/results/WebTools.h"

#include <QString>

#include <functional>

QT_BEGIN_NAMESPACE
class QMenu;
QT_END_NAMESPACE

namespace quorvel {

// Adds the web tools to a row menu: the index checks in their submenu (with "All", which runs each
// in order), the others after it. Each item runs open(tool); item names end in nameSuffix.
void addWebToolItems(QMenu *menu, const QString &nameSuffix, const std::function<void(WebTool)> &open);

} // namespace quorvel
