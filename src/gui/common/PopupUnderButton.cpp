#include "gui/common/PopupUnderButton.h"

#include <QAbstractButton>
#include <QMenu>
#include <QPointer>

namespace quorvel {

PopupClickGuard &programPopupClickGuard()
{
    // One record for the whole program, as the rule needs; only ever touched on the UI thread.
    static PopupClickGuard guard;
    return guard;
}

void PopupUnderButton(QAbstractButton *button, QMenu *menu, PopupClickGuard &guard)
{
    if (!button || !menu || !guard.shouldShow(button, menu)) {
        return;
    }
    const QPointer<QAbstractButton> alive = button;
    menu->setProperty("popupButton", QVariant::fromValue<QObject *>(button));
    menu->exec(button->mapToGlobal(QPoint(0, button->height())));
    // The button may have gone with its window while the menu was open.
    if (alive) {
        guard.menuClosed(button, menu);
    }
}

} // namespace quorvel
