#include "gui/common/EscapeClears.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace quorvel {

EscapeClears::EscapeClears(QLineEdit *box)
    : QObject(box)
    , m_box(box)
{}

void EscapeClears::install(QLineEdit *box)
{
    box->installEventFilter(new EscapeClears(box));
}

bool EscapeClears::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_box || (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)) {
        return QObject::eventFilter(watched, event);
    }
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier || m_box->text().isEmpty()) {
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // The box takes the key, so a window's Esc shortcut does not fire while there is text.
        event->accept();
        return true;
    }
    m_box->clear();
    return true;
}

} // namespace quorvel
