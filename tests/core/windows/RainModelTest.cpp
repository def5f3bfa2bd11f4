#include "core/windows/RainModel.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// Gives the scripted numbers first, then the lower end of each range.
RainModel::RandomSource scripted(std::deque<int> numbers)
{
    auto queue = std::make_shared<std::deque<int>>(std::move(numbers));
    return [queue](int low, int) {
        if (queue->empty()) {
            return low;
        }
        const int n = queue->front();
        queue->pop_front();
        return n;
    };
}

} // namespace

TEST(RainModel, GridAndDropsFollowTheOuterWindowSize)
{
    struct Case
    {
        const char *name;
        int width;
        int height;
        int columns;
        int rows;
        qsizetype drops;
    };

    const std::vector<Case> cases = {
        {"the About window", 446, 374, 55, 31, 110},
        {"sizes are rounded down", 455, 383, 56, 31, 112},
        {"smaller than one cell", 7, 11, 0, 0, 0},
        {"one cell high", 80, 12, 10, 1, 20},
        {"very wide window stops at 5000 drops", 8 * 4000, 120, 4000, 10, 5000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RainModel model(42u);
        model.StartRain(c.width, c.height);
        EXPECT_EQ(model.matrixWidth(), c.columns);
        EXPECT_EQ(model.matrixHeight(), c.rows);
        ASSERT_EQ(model.drops().size(), c.drops);
        for (qsizetype i = 0; i < model.drops().size(); ++i) {
            const Drop &d = model.drops()[i];
            // Two passes over the columns, in order.
            EXPECT_EQ(d.Column, int(i % c.columns));
            EXPECT_GE(d.Row, 0);
            EXPECT_LE(d.Row, std::max(c.rows - 1, 0));
            EXPECT_GE(d.Speed, 1);
            EXPECT_LE(d.Speed, 3);
            EXPECT_GE(d.Brightness, 0);
            EXPECT_LE(d.Brightness, 99);
        }
        model.AddDrop();
        EXPECT_EQ(model.drops().size(), c.columns == 0 ? 0 : std::min<qsizetype>(c.drops + 1, 5000));
        // A steady run never leaves the ranges.
        for (int tick = 0; tick < 200 && c.drops > 0 && c.drops < 1000; ++tick) {
            model.RainStep();
        }
        for (const Drop &d : model.drops()) {
            EXPECT_LE(d.Row, c.rows + 1);
            EXPECT_GE(d.Speed, 1);
            EXPECT_LE(d.Speed, 3);
        }
    }
}

TEST(RainModel, DropsMoveOnTicksTheirSpeedDividesAndRestartPastTheBottom)
{
    // 16 x 60 pixels: 2 columns, 5 rows, 4 drops; every random number is the lower end of its
    // range unless scripted: rows 0, speeds 1, brightness 0 after the scripted ones.
    RainModel model(scripted({/*drop 0*/ 2, 3, 50, /*drop 1*/ 0, 1, 99}));
    model.StartRain(16, 60);
    ASSERT_EQ(model.drops().size(), 4);
    ASSERT_EQ(model.matrixHeight(), 5);
    EXPECT_EQ(model.drops()[0].Row, 2);
    EXPECT_EQ(model.drops()[0].Speed, 3);

    std::vector<int> rowsOfSpeed3;
    std::vector<int> rowsOfSpeed1;
    for (int tick = 0; tick < 7; ++tick) {
        model.RainStep();
        rowsOfSpeed3.push_back(model.drops()[0].Row);
        rowsOfSpeed1.push_back(model.drops()[1].Row);
    }
    // Speed 3 moves on ticks 0, 3 and 6.
    EXPECT_EQ(rowsOfSpeed3, (std::vector<int>{3, 3, 3, 4, 4, 4, 5}));
    // Speed 1 moves on every tick, to row 6 = matrixHeight + 1, then restarts at the top with a
    // new speed and brightness (the lower ends here).
    EXPECT_EQ(rowsOfSpeed1, (std::vector<int>{1, 2, 3, 4, 5, 6, 0}));
    EXPECT_EQ(model.drops()[1].Speed, 1);
    EXPECT_EQ(model.drops()[1].Brightness, 0);
    EXPECT_EQ(model.drops()[1].Column, 1);
    EXPECT_EQ(model.tick(), 7);

    // A new start resets the tick counter and rebuilds the drops.
    model.StartRain(16, 60);
    EXPECT_EQ(model.tick(), 0);
    EXPECT_EQ(model.drops().size(), 4);
}

TEST(RainModel, ColoursOfTheHeadAndTheTrail)
{
    struct Case
    {
        const char *name;
        int brightness;
        RainRgb head;
        RainRgb trail;
    };

    const std::vector<Case> cases = {
        {"brightness 0 is black", 0, {0, 0, 0}, {0, 0, 0}},
        {"brightness 99", 99, {148, 252, 98}, {49, 84, 32}},
        {"brightness 50", 50, {74, 127, 49}, {24, 42, 16}},
        {"brightness 1", 1, {1, 2, 0}, {0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const DropColours colours = dropColoursFor(c.brightness);
        EXPECT_EQ(colours.head, c.head);
        EXPECT_EQ(colours.trail, c.trail);
    }
}

TEST(RainModel, DrawDropErasesFortyRowsUpAndWritesTrailAndHead)
{
    RainModel model(7u);
    model.StartRain(80, 120); // 10 columns, 10 rows
    ASSERT_EQ(model.matrixHeight(), 10);
    const RainRgb head = dropColoursFor(99).head;
    const RainRgb trail = dropColoursFor(99).trail;
    using Kind = RainPaint::Kind;

    struct Case
    {
        const char *name;
        Drop drop;
        QList<RainPaint> paints;
    };

    const std::vector<Case> cases = {
        // 0 - 40 wraps by 11 rows until it is not negative: -40 + 4 * 11 = 4.
        {"head at the top: no trail",
         {3, 0, 1, 99},
         {{Kind::Erase, 24, 48, {}, {}}, {Kind::Character, 24, 0, u'x', head}}},
        // 7 - 40 = -33, + 3 * 11 = 0.
        {"head further down",
         {1, 7, 2, 99},
         {{Kind::Erase, 8, 0, {}, {}}, {Kind::Character, 8, 72, u'x', trail}, {Kind::Character, 8, 84, u'x', head}}},
        // 11 - 40 = -29, + 3 * 11 = 4.
        {"head below the last row",
         {0, 11, 3, 99},
         {{Kind::Erase, 0, 48, {}, {}}, {Kind::Character, 0, 120, u'x', trail}, {Kind::Character, 0, 132, u'x', head}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QList<RainPaint> paints;
        model.drawDrop(c.drop, u'x', paints);
        EXPECT_EQ(paints, c.paints);
    }
}

TEST(RainModel, ASeedReplaysTheSameRainFromTheRainText)
{
    RainModel a(1234u);
    RainModel b(1234u);
    a.StartRain(446, 374);
    b.StartRain(446, 374);
    for (int tick = 0; tick < 20; ++tick) {
        const QList<RainPaint> paints = a.RainStep();
        ASSERT_EQ(paints, b.RainStep());
        for (const RainPaint &p : paints) {
            if (p.kind == RainPaint::Kind::Character) {
                ASSERT_TRUE(u"brellan"_s.contains(p.character));
            }
        }
        // Per drop one erased cell and at most two characters.
        EXPECT_LE(paints.size(), 3 * a.drops().size());
        EXPECT_GE(paints.size(), 2 * a.drops().size());
    }
}

} // namespace quorvel::test
