#pragma once

#include "gui/common/PopupClickGuard.h"

class QAbstractButton;
class QMenu;

namespace quorvel {

// The guard shared by every popup of the program: the button and menu of the last popup shown and
// when it closed. UI thread.
PopupClickGuard &programPopupClickGuard();

// Shows menu with its top-left corner at the button's bottom-left corner and waits until it
// closes; does nothing when that same menu closed from that same button less than 100 ms ago
// (the click that closed it reached the button). The menu's "popupButton" property names the
// button while it is shown.
void PopupUnderButton(QAbstractButton *button, QMenu *menu, PopupClickGuard &guard = programPopupClickGuard());

} // namespace quorvel
