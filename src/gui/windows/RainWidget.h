#pragma once

#include "core/windows/RainModel.h"

#include <QImage>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QTimer;
QT_END_NAMESPACE

namespace quorvel {

// The black background of the About window with its falling characters: every 50 ms it draws the
// cells the model changed into its own picture and repaints only those cells. UI thread.
class RainWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RainWidget)

public:
    // seed: the model's random source (a fixed one replays the same rain).
    explicit RainWidget(quint32 seed, QWidget *parent = nullptr);

    RainModel &model() { return m_model; }

    const QImage &buffer() const { return m_buffer; }

    QTimer *timer() const { return m_timer; }

    // StartRain: the grid from the given outer window size, a black picture, the timer running.
    void StartRain(QSize outerSize);
    // RainStep and drawing of the changed cells; run by the timer.
    void step();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void clearBuffer();

    RainModel m_model;
    QImage m_buffer;
    QTimer *m_timer = nullptr; // tmTimer
};

} // namespace quorvel
