#pragma once

#include <QChar>
#include <QList>
#include <QRandomGenerator>
#include <QString>

#include <functional>

namespace quorvel {

// One falling column head of the About window's animation.
struct Drop
{
    int Column = 0;     // fixed for the drop's life
    int Row = 0;        // head position, grows downward
    int Speed = 1;      // 1 to 3: moves on ticks whose number is a multiple of it
    int Brightness = 0; // 0 to 99
};

struct RainRgb
{
    int red = 0;
    int green = 0;
    int blue = 0;

    friend bool operator==(const RainRgb &, const RainRgb &) = default;
};

// The head and the trail colour of a drop of the given brightness (integer arithmetic).
struct DropColours
{
    RainRgb head;
    RainRgb trail;
};

DropColours dropColoursFor(int brightness);

// One cell to draw, in pixels from the window's top-left corner: an erased cell is filled black;
// a character is written in its colour on black.
struct RainPaint
{
    enum class Kind
    {
        Erase,
        Character
    };

    Kind kind = Kind::Erase;
    int x = 0;
    int y = 0;
    QChar character;
    RainRgb colour;

    friend bool operator==(const RainPaint &, const RainPaint &) = default;
};

// The falling characters of the About window: a grid of 8 x 12 pixel cells over the window, two
// drops per column (at most 5000), each moving down every Speed ticks and leaving a 40-cell trail
// that is erased behind it. Produces only the cells that change per tick; drawing is the widget's
// business. UI thread.
class RainModel final
{
public:
    static constexpr int kCharWidth = 8;
    static constexpr int kCharHeight = 12;
    static constexpr int kMaxDrops = 5000;
    static constexpr int kTrailCells = 40;
    static constexpr int kTickMs = 50;

    // A whole number from low to high, both included, uniformly.
    using RandomSource = std::function<int(int low, int high)>;

    // A seeded generator, so a run can be replayed.
    explicit RainModel(quint32 seed);
    explicit RainModel(RandomSource random);

    // RainText: the characters that fall.
    void setRainText(const QString &text);

    const QString &rainText() const { return m_rainText; }

    // StartRain: tick counter to 0, the grid from the window's outer size, then SetupRain.
    void StartRain(int outerWidth, int outerHeight);
    // SetupRain: the grid from the size StartRain stored (not the current one), then InitDrops.
    void SetupRain();
    // InitDrops: no drops, then AddDrop twice per column.
    void InitDrops();
    // AddDrop: one more drop in column (count mod columns), random row, speed and brightness;
    // nothing at kMaxDrops.
    void AddDrop();
    // RainStep: every drop in creation order draws a random character and moves when its Speed
    // divides the tick counter, restarting at the top with a new speed and brightness once its row
    // passes matrixHeight + 1; then the tick counter grows. Returns the cells to draw, in order.
    QList<RainPaint> RainStep();
    // drawDrop: the tail cell 40 rows up erased (wrapping above the top), the character at the
    // previous row in the trail colour (when there is one) and at the head in the head colour.
    void drawDrop(const Drop &drop, QChar character, QList<RainPaint> &paints) const;

    const QList<Drop> &drops() const { return m_drops; }

    QList<Drop> &drops() { return m_drops; }

    qint64 tick() const { return m_tick; }

    int bitmapWidth() const { return m_bitmapWidth; }

    int bitmapHeight() const { return m_bitmapHeight; }

    int matrixWidth() const { return m_matrixWidth; }

    int matrixHeight() const { return m_matrixHeight; }

private:
    int random(int low, int high);

    RandomSource m_random;
    QRandomGenerator m_generator;
    QString m_rainText = QStringLiteral("brellan");
    QList<Drop> m_drops;
    qint64 m_tick = 0;
    int m_bitmapWidth = 0;
    int m_bitmapHeight = 0;
    int m_matrixWidth = 0;
    int m_matrixHeight = 0;
};

} // namespace quorvel
