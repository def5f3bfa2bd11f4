#include "gui/windows/RainWidget.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvel {

RainWidget::RainWidget(quint32 seed, QWidget *parent)
    : QWidget(parent)
    , m_model(seed)
    , m_timer(new QTimer(this))
{
    setObjectName(u"Rain"_s);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_timer->setObjectName(u"tmTimer"_s);
    connect(m_timer, &QTimer::timeout, this, &RainWidget::step);
    QFont font = this->font();
    font.setPixelSize(RainModel::kCharHeight);
    setFont(font);
}

void RainWidget::StartRain(QSize outerSize)
{
    m_model.StartRain(outerSize.width(), outerSize.height());
    clearBuffer();
    m_timer->start(RainModel::kTickMs);
}

void RainWidget::clearBuffer()
{
    const qreal ratio = devicePixelRatioF();
    m_buffer = QImage(size() * ratio, QImage::Format_RGB32);
    m_buffer.setDevicePixelRatio(ratio);
    m_buffer.fill(Qt::black);
    update();
}

void RainWidget::step()
{
    const QList<RainPaint> paints = m_model.RainStep();
    if (m_buffer.isNull()) {
        return;
    }
    QPainter painter(&m_buffer);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    QRegion changed;
    for (const RainPaint &p : paints) {
        QRect cell(p.x, p.y, RainModel::kCharWidth, RainModel::kCharHeight);
        if (p.kind == RainPaint::Kind::Character) {
            // Written on black, like text on an opaque background; a wide letter may pass its cell.
            const QString text(p.character);
            cell.setWidth(std::max(cell.width(), metrics.horizontalAdvance(text)));
            painter.fillRect(cell, Qt::black);
            painter.setPen(QColor(p.colour.red, p.colour.green, p.colour.blue));
            painter.drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
        } else {
            painter.fillRect(cell, Qt::black);
        }
        changed += cell;
    }
    painter.end();
    update(changed);
}

void RainWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const qreal ratio = m_buffer.devicePixelRatio();
    for (const QRect &r : event->region()) {
        painter.drawImage(QRectF(r), m_buffer,
                          QRectF(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio));
    }
}

void RainWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // SetupRain: the grid keeps the size the rain started with; the picture follows the widget.
    m_model.SetupRain();
    clearBuffer();
}

} // namespace quorvel
