#pragma once

#include <QtGlobal>

#include <functional>

namespace quorvel {

// Decides whether a popup menu under a button should open. A click on the button that closes its
// open menu reaches the button right after the menu closed; without this guard it would open the
// menu again at once. UI thread; one guard is shared by all popups of the program.
//
// Usage: if (guard.shouldShow(button, menu)) { show the menu and wait for it to close;
// guard.menuClosed(button, menu); }
class PopupClickGuard
{
public:
    // A 32-bit millisecond tick count that may wrap around (like a system tick counter).
    using TickSource = std::function<quint32()>;

    // The popup is suppressed when it is asked for within this many ms of the same menu closing.
    static constexpr quint32 kSuppressMs = 100;

    // Uses a monotonic clock.
    PopupClickGuard();
    explicit PopupClickGuard(TickSource ticks);

    // False when button and menu are those of the last popup and fewer than kSuppressMs ms have
    // passed since it closed (unsigned 32-bit difference, so the wrap of the count does no harm);
    // the record is then forgotten, so the next click opens the menu. True otherwise.
    bool shouldShow(const void *button, const void *menu);

    // Records the tick count at which the menu opened from button closed.
    void menuClosed(const void *button, const void *menu);

    // The default tick source: milliseconds of a monotonic clock, cut to 32 bits.
    static quint32 monotonicTicks();

private:
    TickSource m_ticks;
    bool m_recorded = false;
    const void *m_button = nullptr;
    const void *m_menu = nullptr;
    quint32 m_closedAt = 0;
};

} // namespace quorvel
