#pragma once

// The one way the GUI tests answer a modal dialog: from inside the event loop its exec() runs.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace quorvel::test {

struct SeenDialog
{
    QString title;
    QString text;
    QStringList buttons; // sorted captions
};

// Answers every modal dialog the window opens from inside a call of the test (a modal dialog runs
// its own event loop, where this timer fires): records it, then hands it to the answer, or rejects
// it when there is none. Without it an unexpected dialog would block the test for good.
class ModalAnswerer final : public QObject
{
public:
    using Answer = std::function<void(QWidget *dialog)>;

    ModalAnswerer()
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
        m_timer.start(5);
    }

    void answerWith(Answer answer) { m_answer = std::move(answer); }

    const std::vector<SeenDialog> &seen() const { return m_seen; }

    void clear() { m_seen.clear(); }

    // Hands a file dialog to handle; any other dialog is rejected.
    static Answer onFileDialog(std::function<void(QFileDialog &)> handle)
    {
        return [handle = std::move(handle)](QWidget *dialog) {
            auto *files = qobject_cast<QFileDialog *>(dialog);
            if (!files) {
                qobject_cast<QDialog *>(dialog)->reject();
                return;
            }
            handle(*files);
        };
    }

    // Presses the message box button with this caption.
    static Answer press(const QString &caption)
    {
        return [caption](QWidget *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            if (box) {
                for (QAbstractButton *button : box->buttons()) {
                    if (button->text() == caption) {
                        button->click();
                        return;
                    }
                }
            }
            ADD_FAILURE() << "no button " << caption.toStdString();
            qobject_cast<QDialog *>(dialog)->reject();
        };
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_answered) {
            return;
        }
        m_answered = modal;
        SeenDialog seen{modal->windowTitle(), QString(), {}};
        if (const auto *box = qobject_cast<QMessageBox *>(modal)) {
            seen.text = box->text();
            for (const QAbstractButton *button : box->buttons()) {
                seen.buttons.append(button->text());
            }
            seen.buttons.sort();
        }
        m_seen.push_back(seen);
        if (m_answer) {
            m_answer(modal);
        } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }

    QTimer m_timer;
    QPointer<QWidget> m_answered;
    Answer m_answer;
    std::vector<SeenDialog> m_seen;
};

} // namespace quorvel::test
