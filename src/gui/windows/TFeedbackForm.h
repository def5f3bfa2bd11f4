#pragma once

#include "core/common/OwnedThread.h"
#include "core/windows/Feedback.h"
#include "gui/windows/WindowContext.h"

#include <QDialog>

QT_BEGIN_NAMESPACE
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
QT_END_NAMESPACE

namespace quorvel {

// The feedback window: a like or dislike choice, a message and an optional e-mail address, sent
// with one button to the maker's feedback service. The post runs on an owned thread while the
// window stays responsive. Modal, one per "Send Feedback..." command; UI thread.
class TFeedbackForm final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFeedbackForm)

public:
    static constexpr int kClientWidth = 525;
    static constexpr int kClientHeight = 326;
    static constexpr int kMessageLimit = 10000;
    static constexpr int kEmailLimit = 100;

    // options: the bounds of each post (3000 ms each by default; tests use shorter ones).
    explicit TFeedbackForm(WindowContext context, QWidget *parent = nullptr, PostFormOptions options = {});
    ~TFeedbackForm() override;

    bool likeOn() const { return m_likeOn; }

    bool dislikeOn() const { return m_dislikeOn; }

    bool isSending() const { return m_post != nullptr; }

public Q_SLOTS:
    // BitBtn1Click: checks the message and the e-mail address and starts the post.
    void onSendClicked();

Q_SIGNALS:
    // A post ended (received or not), after its message box was shown.
    void sendFinished(bool received);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    QFrame *buildChoicePanel(const QString &name, const QString &pictureName, const QString &pictureObject,
                             const QString &text);
    void toggleChoice(QFrame *panel); // Image1MouseDown / Image2MouseDown
    void showChoice(QFrame *panel, bool on);
    void limitMessage();
    void centreOnScreen();
    void onPostFinished(const FeedbackOutcome &outcome);
    void endBusyCursor();

    WindowContext m_context;
    PostFormOptions m_options;
    bool m_likeOn = false;
    bool m_dislikeOn = false;
    bool m_busyCursor = false;

    QFrame *m_likePanel = nullptr;       // Panel4 with Image1
    QFrame *m_dislikePanel = nullptr;    // Panel5 with Image2
    QLabel *m_invitation = nullptr;      // Label1
    QLabel *m_question = nullptr;        // Label2
    QPlainTextEdit *m_message = nullptr; // Memo1
    QLabel *m_emailCaption = nullptr;    // Label3
    QLineEdit *m_email = nullptr;        // Edit1
    QPushButton *m_sendButton = nullptr; // BitBtn1

    OwnedThreadPtr m_post; // the post on its way; null when none runs
};

} // namespace quorvel
