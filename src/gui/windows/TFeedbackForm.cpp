#include "gui/windows/TFeedbackForm.h"

#include "core/common/LookupText.h"
#include "core/common/Text.h"
#include "gui/common/Icons.h"
#include "gui/windows/WindowPictures.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextCursor>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Where the controls sit in the 525 x 326 client area.
constexpr QRect kLikePanel(8, 8, 250, 48);
constexpr QRect kDislikePanel(267, 8, 250, 48);
constexpr QRect kLabel1(10, 66, 505, 18);
constexpr QRect kLabel2(10, 88, 505, 18);
constexpr QRect kMemo(8, 110, 509, 164);
constexpr QRect kLabel3(10, 288, 112, 22);
constexpr QRect kEdit(124, 287, 262, 24);
constexpr QRect kSendButton(409, 283, 108, 33);

const char *const kPanelOfProperty = "choicePanel";

// The label's place: the slot, widened and heightened (about its middle) to what its text needs in
// the font and scale it is shown with. Fonts differ from machine to machine.
QRect roomFor(const QLabel *label, QRect slot)
{
    const QSize needed = label->sizeHint();
    slot.setWidth(std::max(slot.width(), needed.width()));
    if (needed.height() > slot.height()) {
        const int middle = slot.center().y();
        slot.setTop(middle - needed.height() / 2);
        slot.setHeight(needed.height());
    }
    return slot;
}

} // namespace

TFeedbackForm::TFeedbackForm(WindowContext context, QWidget *parent, PostFormOptions options)
    : QDialog(parent)
    , m_context(std::move(context))
    , m_options(options)
{
    m_options.cancel = nullptr; // each post gets its own flag
    buildWindow();
}

TFeedbackForm::~TFeedbackForm()
{
    m_post.reset(); // a post still running is cut off and waited for; its outcome is dropped
    endBusyCursor();
}

void TFeedbackForm::buildWindow()
{
    // FormCreate
    setObjectName(u"FeedbackForm"_s);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setWindowTitle(m_context.appProductName + u' ' + LookupText(u"feedback"_s));
    setWindowIcon(namedIcon(u"feedback"_s));

    m_likePanel = buildChoicePanel(u"Panel4"_s, u"like"_s, u"Image1"_s, LookupText(kLikeLine.toString()));
    m_likePanel->setGeometry(kLikePanel);
    m_dislikePanel = buildChoicePanel(u"Panel5"_s, u"dislike"_s, u"Image2"_s, LookupText(kDislikeLine.toString()));
    m_dislikePanel->setGeometry(kDislikePanel);

    m_invitation = new QLabel(LookupText(u"We would really appreciate your feedback."_s), this);
    m_invitation->setObjectName(u"Label1"_s);
    m_invitation->setGeometry(roomFor(m_invitation, kLabel1));

    m_question = new QLabel(LookupText(u"What did you like or dislike?"_s), this);
    m_question->setObjectName(u"Label2"_s);
    QFont bold = m_question->font();
    bold.setBold(true);
    m_question->setFont(bold);
    m_question->setGeometry(roomFor(m_question, kLabel2));

    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(u"Memo1"_s);
    m_message->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_message->setTabChangesFocus(true);
    m_message->setGeometry(kMemo);
    connect(m_message, &QPlainTextEdit::textChanged, this, &TFeedbackForm::limitMessage);

    m_emailCaption = new QLabel(LookupText(u"Include my e-mail:"_s), this);
    m_emailCaption->setObjectName(u"Label3"_s);
    m_emailCaption->setGeometry(roomFor(m_emailCaption, kLabel3));
    m_email = new QLineEdit(this);
    m_email->setObjectName(u"Edit1"_s);
    m_email->setMaxLength(kEmailLimit);
    // A caption that needs more room than its slot narrows the box, which keeps its right edge.
    QRect edit = kEdit;
    edit.setLeft(std::max(kEdit.left(), m_emailCaption->geometry().right() + 3));
    m_email->setGeometry(edit);
    m_emailCaption->setBuddy(m_email);

    m_sendButton = new QPushButton(namedIcon(u"feedback"_s), LookupText(u"Send"_s), this);
    m_sendButton->setObjectName(u"BitBtn1"_s);
    m_sendButton->setIconSize(QSize(16, 16));
    // Enter in the e-mail box does not send; the button sends on a click, Space or Enter on itself.
    m_sendButton->setAutoDefault(false);
    m_sendButton->installEventFilter(this);
    m_sendButton->setGeometry(kSendButton);
    connect(m_sendButton, &QPushButton::clicked, this, &TFeedbackForm::onSendClicked);

    setTabOrder(m_message, m_email);
    setTabOrder(m_email, m_sendButton);
    m_message->setFocus();

    centreOnScreen();
}

void TFeedbackForm::limitMessage()
{
    // At most kMessageLimit characters: whatever goes beyond is cut from the end.
    if (m_message->document()->characterCount() - 1 <= kMessageLimit) {
        return;
    }
    const QSignalBlocker blocker(m_message);
    QTextCursor cursor(m_message->document());
    cursor.setPosition(kMessageLimit);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void TFeedbackForm::centreOnScreen()
{
    // On the screen of the parent, when there is one.
    const QScreen *screen = parent() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - kClientWidth) / 2, area.top() + (area.height() - kClientHeight) / 2);
    }
}

QFrame *TFeedbackForm::buildChoicePanel(const QString &name, const QString &pictureName, const QString &pictureObject,
                                        const QString &text)
{
    auto *panel = new QFrame(this);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::Panel);
    panel->setLineWidth(2);
    panel->setAutoFillBackground(true);
    panel->setCursor(Qt::PointingHandCursor);

    auto *picture = new QLabel(panel);
    picture->setObjectName(pictureObject);
    picture->setGeometry(10, 8, 32, 32);
    picture->setPixmap(windowPixmap(pictureName, QSize(32, 32), devicePixelRatioF()));

    auto *caption = new QLabel(text, panel);
    caption->setObjectName(name + u"Caption"_s);
    QFont font = caption->font();
    font.setBold(true);
    caption->setFont(font);
    caption->setGeometry(roomFor(caption, QRect(52, 8, kLikePanel.width() - 60, 32)));

    for (QWidget *w : std::initializer_list<QWidget *>{panel, picture, caption}) {
        w->setProperty(kPanelOfProperty, QVariant::fromValue<QObject *>(panel));
        w->installEventFilter(this);
    }
    showChoice(panel, false);
    return panel;
}

void TFeedbackForm::showChoice(QFrame *panel, bool on)
{
    (panel == m_likePanel ? m_likeOn : m_dislikeOn) = on;
    const QPalette system = QApplication::palette(this);
    QPalette look = panel->palette();
    look.setColor(QPalette::Window, system.color(on ? QPalette::Highlight : QPalette::Button));
    look.setColor(QPalette::WindowText, system.color(on ? QPalette::HighlightedText : QPalette::WindowText));
    panel->setPalette(look);
    panel->setFrameShadow(on ? QFrame::Sunken : QFrame::Raised);
}

void TFeedbackForm::toggleChoice(QFrame *panel)
{
    QFrame *other = panel == m_likePanel ? m_dislikePanel : m_likePanel;
    const bool on = panel == m_likePanel ? m_likeOn : m_dislikeOn;
    if (on) {
        showChoice(panel, false);
        return;
    }
    showChoice(panel, true);
    if (other == m_likePanel ? m_likeOn : m_dislikeOn) {
        showChoice(other, false);
    }
}

bool TFeedbackForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        auto *panel = qobject_cast<QFrame *>(watched->property(kPanelOfProperty).value<QObject *>());
        if (panel && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            toggleChoice(panel);
            return true;
        }
    }
    if (watched == m_sendButton && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_sendButton->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFeedbackForm::onSendClicked()
{
    if (m_post) {
        return;
    }
    const QString message = trimControl(m_message->toPlainText());
    const FeedbackChoice choice =
        m_likeOn ? FeedbackChoice::Like : (m_dislikeOn ? FeedbackChoice::Dislike : FeedbackChoice::None);
    if (message.isEmpty()) {
        m_message->setFocus();
        m_context.beepNow();
        return;
    }
    const QString email = trimControl(m_email->text());
    if (!email.isEmpty() && !isValidEmail(email)) {
        m_email->setFocus();
        m_context.message(this, DialogKind::Error, LookupText(u"Failure"_s), LookupText(u"Invalid e-mail address!"_s));
        return;
    }

    const QStringList fields =
        feedbackFields(m_context.appTitle, m_context.appVersion, FeedbackMessage(choice, message), email);
    const QStringList addresses = m_context.site().feedbackUrls();
    const PostFormOptions options = m_options;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_busyCursor = true;
    m_sendButton->setEnabled(false);
    m_post = runOwned<FeedbackOutcome>(
        u"TFeedbackForm post"_s, this,
        [addresses, fields, options](const std::atomic<bool> &cancel) {
            PostFormOptions bounded = options;
            bounded.cancel = &cancel;
            return sendFeedback(addresses, fields, bounded);
        },
        [this](const FeedbackOutcome &outcome) {
            m_post.reset();
            onPostFinished(outcome);
        });
}

void TFeedbackForm::onPostFinished(const FeedbackOutcome &outcome)
{
    endBusyCursor();
    m_sendButton->setEnabled(true);
    if (outcome.received) {
        m_context.message(this, DialogKind::Information, LookupText(u"Success"_s),
                          LookupText(u"Your feedback is received."_s) + u"\n\n"_s + LookupText(u"Thank you!"_s));
        Q_EMIT sendFinished(true);
        accept();
        return;
    }
    m_context.message(this, DialogKind::Error, LookupText(u"Failure"_s),
                      LookupText(u"Something went wrong. Your feedback could not be delivered."_s) + u"\n\n"_s +
                          LookupText(u"Please try again later."_s));
    Q_EMIT sendFinished(false);
}

void TFeedbackForm::endBusyCursor()
{
    if (m_busyCursor) {
        QApplication::restoreOverrideCursor();
        m_busyCursor = false;
    }
}

} // namespace quorvel
