#include "core/windows/RainModel.h"

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

DropColours dropColoursFor(int brightness)
{
    const int b = brightness * 255 / 100;
    const int t = b / 3;
    return {{b * 150 / 255, b, b * 100 / 255}, {t * 150 / 255, t, t * 100 / 255}};
}

RainModel::RainModel(quint32 seed)
    : m_generator(seed)
{}

RainModel::RainModel(RandomSource random)
    : m_random(std::move(random))
{}

int RainModel::random(int low, int high)
{
    // An empty range (a window less than one cell high) gives its lower end.
    if (high <= low) {
        return low;
    }
    if (m_random) {
        return std::clamp(m_random(low, high), low, high);
    }
    return low + int(m_generator.bounded(quint32(high - low + 1)));
}

void RainModel::setRainText(const QString &text)
{
    m_rainText = text;
}

void RainModel::StartRain(int outerWidth, int outerHeight)
{
    m_tick = 0;
    m_bitmapWidth = std::max(outerWidth, 0);
    m_bitmapHeight = std::max(outerHeight, 0);
    SetupRain();
}

void RainModel::SetupRain()
{
    m_matrixWidth = m_bitmapWidth / kCharWidth;
    m_matrixHeight = m_bitmapHeight / kCharHeight;
    InitDrops();
}

void RainModel::InitDrops()
{
    m_drops.clear();
    const qint64 wanted = 2 * qint64(m_matrixWidth);
    m_drops.reserve(std::min<qint64>(wanted, kMaxDrops));
    for (qint64 i = 0; i < wanted && m_drops.size() < kMaxDrops; ++i) {
        AddDrop();
    }
}

void RainModel::AddDrop()
{
    if (m_drops.size() >= kMaxDrops || m_matrixWidth <= 0) {
        return;
    }
    Drop drop;
    drop.Column = int(m_drops.size() % m_matrixWidth);
    drop.Row = random(0, m_matrixHeight - 1);
    drop.Speed = random(1, 3);
    drop.Brightness = random(0, 99);
    m_drops.append(drop);
}

QList<RainPaint> RainModel::RainStep()
{
    QList<RainPaint> paints;
    paints.reserve(m_drops.size() * 3);
    for (Drop &drop : m_drops) {
        const QChar character =
            m_rainText.isEmpty() ? QChar(u' ') : m_rainText.at(random(0, int(m_rainText.size()) - 1));
        drawDrop(drop, character, paints);
        if (m_tick % std::max(drop.Speed, 1) != 0) {
            continue;
        }
        ++drop.Row;
        if (drop.Row > m_matrixHeight + 1) {
            drop.Row = 0;
            drop.Speed = random(1, 3);
            drop.Brightness = random(0, 99);
        }
    }
    ++m_tick;
    return paints;
}

void RainModel::drawDrop(const Drop &drop, QChar character, QList<RainPaint> &paints) const
{
    const int x = drop.Column * kCharWidth;
    int r = drop.Row - kTrailCells;
    while (r < 0) {
        r += m_matrixHeight + 1;
    }
    paints.append({RainPaint::Kind::Erase, x, r * kCharHeight, QChar(), RainRgb{}});
    const DropColours colours = dropColoursFor(drop.Brightness);
    if (drop.Row > 0) {
        paints.append({RainPaint::Kind::Character, x, (drop.Row - 1) * kCharHeight, character, colours.trail});
    }
    paints.append({RainPaint::Kind::Character, x, drop.Row * kCharHeight, character, colours.head});
}

} // namespace quorvel
