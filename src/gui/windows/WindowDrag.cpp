#include "gui/windows/WindowDrag.h"

#include <QMouseEvent>
#include <QWidget>

namespace quorvel {

WindowDrag::WindowDrag(QWidget *window)
    : QObject(window)
    , m_window(window)
{}

void WindowDrag::addHandle(QWidget *handle)
{
    handle->installEventFilter(this);
}

bool WindowDrag::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::RightButton) {
            m_dragging = true;
            m_last = mouse->globalPosition().toPoint();
        }
        break;
    }
    case QEvent::MouseMove:
        if (m_dragging) {
            const QPoint now = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
            m_window->move(m_window->pos() + (now - m_last));
            m_last = now;
        }
        break;
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quorvel
