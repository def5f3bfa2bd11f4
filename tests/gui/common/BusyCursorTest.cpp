#include "gui/common/BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace quorvel::test {

namespace {

// The shape set over the windows now; none when no cursor is set.
std::optional<Qt::CursorShape> overrideShape()
{
    if (const QCursor *cursor = QGuiApplication::overrideCursor()) {
        return cursor->shape();
    }
    return std::nullopt;
}

} // namespace

// Holders are taken and dropped in any order; the wait cursor stays exactly while one lives.
TEST(BusyCursor, WaitCursorStaysWhileAnyHolderLives)
{
    struct Step
    {
        int take;    // index of the holder to take, or -1
        int release; // index of the holder to drop, or -1
        bool busy;   // wait cursor expected after the step
    };
    struct Case
    {
        const char *name;
        std::vector<Step> steps;
    };

    const std::vector<Case> cases = {
        {"one holder", {{0, -1, true}, {-1, 0, false}}},
        {"nested, released in reverse", {{0, -1, true}, {1, -1, true}, {-1, 1, true}, {-1, 0, false}}},
        {"overlapping, first taken goes first", {{0, -1, true}, {1, -1, true}, {-1, 0, true}, {-1, 1, false}}},
        {"taken again after all went", {{0, -1, true}, {-1, 0, false}, {1, -1, true}, {-1, 1, false}}},
        {"three, middle one first",
         {{0, -1, true}, {1, -1, true}, {2, -1, true}, {-1, 1, true}, {-1, 2, true}, {-1, 0, false}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
        std::vector<std::unique_ptr<BusyCursor>> holders(3);
        int step = 0;
        for (const Step &s : c.steps) {
            SCOPED_TRACE(step++);
            if (s.take >= 0) {
                holders.at(static_cast<size_t>(s.take)) = std::make_unique<BusyCursor>();
            }
            if (s.release >= 0) {
                holders.at(static_cast<size_t>(s.release)).reset();
            }
            EXPECT_EQ(overrideShape(), s.busy ? std::optional(Qt::BusyCursor) : std::nullopt);
        }
        EXPECT_EQ(BusyCursor::holders(), 0);
        // Nothing of the holders is left on the application's cursor stack.
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
}

// A cursor someone set before the first holder comes back when the last one goes.
TEST(BusyCursor, RestoresTheCursorThatWasThereBefore)
{
    QGuiApplication::setOverrideCursor(Qt::PointingHandCursor);
    {
        const BusyCursor first;
        const BusyCursor second;
        EXPECT_EQ(overrideShape(), Qt::BusyCursor);
    }
    EXPECT_EQ(overrideShape(), Qt::PointingHandCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace quorvel::test
