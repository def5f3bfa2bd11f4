#pragma once

#include <QDialog>

QT_BEGIN_NAMESPACE
class QLineEdit;
class QPushButton;
QT_END_NAMESPACE

namespace quorvel {

// The modeless Find dialog of the results list: only the search text and Find Next.
class TFindDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFindDialog)

public:
    explicit TFindDialog(QWidget *parent = nullptr);

    QLineEdit *textBox() const { return m_text; }
    QPushButton *findNextButton() const { return m_findNext; }

Q_SIGNALS:
    // FindDialog1Find: Find Next was pressed with this text.
    void findNext(const QString &text);

private:
    QLineEdit *m_text = nullptr;
    QPushButton *m_findNext = nullptr;
};

} // namespace quorvel
