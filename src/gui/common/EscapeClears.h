#pragma once

#include <QObject>

QT_BEGIN_NAMESPACE
class QLineEdit;
QT_END_NAMESPACE

namespace quorvel {

// Esc in a text box empties it (as in a search box), before any window-wide Esc shortcut sees the
// key; an empty box lets Esc through. Lives on the UI thread, as the box's child.
class EscapeClears final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EscapeClears)

public:
    // Installs itself on box, which owns it.
    static void install(QLineEdit *box);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit EscapeClears(QLineEdit *box);

    QLineEdit *m_box = nullptr;
};

} // namespace quorvel
