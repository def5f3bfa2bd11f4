#include "gui/common/PopupClickGuard.h"

#include <chrono>
#include <utility>

namespace quorvel {

PopupClickGuard::PopupClickGuard()
    : PopupClickGuard(&PopupClickGuard::monotonicTicks)
{}

PopupClickGuard::PopupClickGuard(TickSource ticks)
    : m_ticks(std::move(ticks))
{}

bool PopupClickGuard::shouldShow(const void *button, const void *menu)
{
    if (m_recorded && button == m_button && menu == m_menu) {
        const quint32 elapsed = m_ticks() - m_closedAt;
        if (elapsed < kSuppressMs) {
            m_recorded = false;
            m_button = nullptr;
            m_menu = nullptr;
            return false;
        }
    }
    return true;
}

void PopupClickGuard::menuClosed(const void *button, const void *menu)
{
    m_closedAt = m_ticks();
    m_button = button;
    m_menu = menu;
    m_recorded = true;
}

quint32 PopupClickGuard::monotonicTicks()
{
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<quint32>(static_cast<quint64>(ms));
}

} // namespace quorvel
