#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

namespace quorvel {

// Moves a window with the mouse: a press of any button but the right one on one of its handles
// starts dragging from the pointer's screen position, each move shifts the window by the pointer's
// movement, releasing any button ends it. Child of the window; UI thread.
class WindowDrag final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowDrag)

public:
    explicit WindowDrag(QWidget *window);

    // The window itself and the controls that act as handles.
    void addHandle(QWidget *handle);

    bool isDragging() const { return m_dragging; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    bool m_dragging = false;
    QPoint m_last; // dx, dy: the pointer's last screen position
};

} // namespace quorvel
