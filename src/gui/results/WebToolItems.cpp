#include "gui/results/WebToolItems.h"

#include "gui/common/CoreTexts.h"

#include <QMenu>

using namespace Qt::StringLiterals;

namespace quorvel {

void addWebToolItems(QMenu *menu, const QString &nameSuffix, const std::function<void(WebTool)> &open)
{
    QMenu *index = menu->addMenu(shownWebToolCaption(checkIndexCaption()));
    index->setObjectName(u"CheckIndex1"_s + nameSuffix);
    const QList<WebTool> indexTools = indexWebTools();
    for (const WebTool tool : webToolsInMenuOrder()) {
        QMenu *target = indexTools.contains(tool) ? index : menu;
        target->addAction(shownWebToolCaption(webToolCaption(tool)), menu, [open, tool] { open(tool); })
            ->setObjectName(webToolObjectName(tool) + nameSuffix);
        if (tool == indexTools.constLast()) {
            // "All" runs the four index checks in order, each applying the row-target rule itself.
            index
                ->addAction(shownWebToolCaption(allIndexCaption()), menu,
                            [open, indexTools] {
                                for (const WebTool each : indexTools) {
                                    open(each);
                                }
                            })
                ->setObjectName(u"All1"_s + nameSuffix);
        }
    }
}

} // namespace quorvel
