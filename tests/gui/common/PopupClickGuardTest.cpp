#include "gui/common/PopupClickGuard.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel::test {

namespace {

// A hand-driven tick count.
class FakeClock
{
public:
    PopupClickGuard::TickSource source()
    {
        return [this] {
            return m_now;
        };
    }

    quint32 m_now = 0;
};

// Stand-ins for widgets: only their addresses matter.
int buttonA = 0;
int buttonB = 0;
int menuA = 0;
int menuB = 0;

} // namespace

TEST(PopupClickGuard, SuppressesOnlyTheSamePopupWithin100Ms)
{
    struct Case
    {
        const char *name;
        quint32 closedAt;
        quint32 clickAt;
        const void *button;
        const void *menu;
        bool shown;
    };

    const std::vector<Case> cases = {
        {"same popup 50 ms later", 1000, 1050, &buttonA, &menuA, false},
        {"same popup 0 ms later", 1000, 1000, &buttonA, &menuA, false},
        {"same popup 99 ms later", 1000, 1099, &buttonA, &menuA, false},
        {"same popup 100 ms later", 1000, 1100, &buttonA, &menuA, true},
        {"same popup 150 ms later", 1000, 1150, &buttonA, &menuA, true},
        {"other button within 100 ms", 1000, 1050, &buttonB, &menuA, true},
        {"same button, other menu within 100 ms", 1000, 1050, &buttonA, &menuB, true},
        {"tick count wrapped, 48 ms", 0xFFFFFFF0u, 0x20u, &buttonA, &menuA, false},
        {"tick count wrapped, 150 ms", 0xFFFFFFC0u, 0x56u, &buttonA, &menuA, true},
        {"closed at the last tick, clicked at 0", 0xFFFFFFFFu, 0u, &buttonA, &menuA, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakeClock clock;
        PopupClickGuard guard(clock.source());
        clock.m_now = c.closedAt;
        guard.menuClosed(&buttonA, &menuA);
        clock.m_now = c.clickAt;
        EXPECT_EQ(guard.shouldShow(c.button, c.menu), c.shown);
    }
}

TEST(PopupClickGuard, IgnoredClickClearsTheRecord)
{
    FakeClock clock;
    PopupClickGuard guard(clock.source());
    EXPECT_TRUE(guard.shouldShow(&buttonA, &menuA)); // nothing recorded yet
    EXPECT_TRUE(guard.shouldShow(nullptr, nullptr)); // not even for no button and no menu

    clock.m_now = 500;
    guard.menuClosed(&buttonA, &menuA);
    clock.m_now = 550;
    EXPECT_FALSE(guard.shouldShow(&buttonA, &menuA));
    EXPECT_TRUE(guard.shouldShow(&buttonA, &menuA)); // the next click at once opens it

    // A popup of another button in between replaces the record.
    guard.menuClosed(&buttonA, &menuA);
    guard.menuClosed(&buttonB, &menuB);
    EXPECT_TRUE(guard.shouldShow(&buttonA, &menuA));
    EXPECT_FALSE(guard.shouldShow(&buttonB, &menuB));
}

TEST(PopupClickGuard, DefaultClockGuardStartsEmpty)
{
    PopupClickGuard guard;
    EXPECT_TRUE(guard.shouldShow(&buttonA, &menuA));
    guard.menuClosed(&buttonA, &menuA);
    EXPECT_TRUE(guard.shouldShow(&buttonB, &menuB));
}

} // namespace quorvel::test
