#include "gui/windows/TFeedbackForm.h"

#include "core/common/LookupText.h"
#include "core/common/Text.h"
#include "gui/common/Icons.h"
#include "gui/windows/WindowPictures.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QVBoxLayout>

#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

const char *const kPanelOfProperty = "choicePanel";
// Room inside a choice panel, around and between its picture and its caption.
constexpr int kPanelMargin = 8;
// The e-mail box stays wide enough to read an address; Send keeps a little distance from it.
constexpr int kEmailMinimumWidth = 160;
constexpr int kSendGap = 16;

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
    // FormCreate. Layouts place everything: each caption gets the room its text needs in the font
    // and scale it is shown with, and the window is the described 525 x 326 unless its captions
    // need more.
    setObjectName(u"FeedbackForm"_s);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(m_context.appProductName + u' ' + LookupText(tr("feedback")));
    setWindowIcon(namedIcon(u"feedback"_s));

    m_likePanel = buildChoicePanel(u"Panel4"_s, u"like"_s, u"Image1"_s, LookupText(tr("I like it!")));
    m_dislikePanel = buildChoicePanel(u"Panel5"_s, u"dislike"_s, u"Image2"_s, LookupText(tr("I dislike it!")));

    m_invitation = new QLabel(LookupText(tr("We would really appreciate your feedback.")), this);
    m_invitation->setObjectName(u"Label1"_s);

    m_question = new QLabel(LookupText(tr("What did you like or dislike?")), this);
    m_question->setObjectName(u"Label2"_s);
    QFont bold = m_question->font();
    bold.setBold(true);
    m_question->setFont(bold);

    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(u"Memo1"_s);
    m_message->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_message->setTabChangesFocus(true);
    connect(m_message, &QPlainTextEdit::textChanged, this, &TFeedbackForm::limitMessage);

    m_emailCaption = new QLabel(LookupText(tr("Include my e-mail:")), this);
    m_emailCaption->setObjectName(u"Label3"_s);
    m_email = new QLineEdit(this);
    m_email->setObjectName(u"Edit1"_s);
    m_email->setMaxLength(kEmailLimit);
    m_email->setMinimumWidth(kEmailMinimumWidth);
    m_emailCaption->setBuddy(m_email);

    m_sendButton = new QPushButton(namedIcon(u"feedback"_s), LookupText(tr("Send")), this);
    m_sendButton->setObjectName(u"BitBtn1"_s);
    m_sendButton->setIconSize(QSize(16, 16));
    // Enter in the e-mail box does not send; the button sends on a click, Space or Enter on itself.
    m_sendButton->setAutoDefault(false);
    m_sendButton->installEventFilter(this);
    connect(m_sendButton, &QPushButton::clicked, this, &TFeedbackForm::onSendClicked);

    auto *choices = new QHBoxLayout;
    choices->addWidget(m_likePanel);
    choices->addWidget(m_dislikePanel);
    auto *emailRow = new QHBoxLayout;
    emailRow->addWidget(m_emailCaption);
    emailRow->addWidget(m_email, 1);
    emailRow->addSpacing(kSendGap);
    emailRow->addWidget(m_sendButton);
    auto *column = new QVBoxLayout(this);
    column->addLayout(choices);
    column->addWidget(m_invitation);
    column->addWidget(m_question);
    column->addWidget(m_message, 1);
    column->addLayout(emailRow);

    setTabOrder(m_message, m_email);
    setTabOrder(m_email, m_sendButton);
    m_message->setFocus();

    // A fixed-size dialog, as described, of the size its contents need at the least.
    setFixedSize(QSize(kClientWidth, kClientHeight).expandedTo(column->totalMinimumSize()));
    column->activate();
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
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
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
    picture->setPixmap(windowPixmap(pictureName, QSize(32, 32), devicePixelRatioF()));
    picture->setFixedSize(32, 32);

    auto *caption = new QLabel(text, panel);
    caption->setObjectName(name + u"Caption"_s);
    QFont font = caption->font();
    font.setBold(true);
    caption->setFont(font);

    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(kPanelMargin, kPanelMargin, kPanelMargin, kPanelMargin);
    row->setSpacing(kPanelMargin);
    row->addWidget(picture);
    row->addWidget(caption, 1);

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
        m_context.message(this, DialogKind::Error, LookupText(tr("Failure")),
                          LookupText(tr("Invalid e-mail address!")));
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
        m_context.message(this, DialogKind::Information, LookupText(tr("Success")),
                          LookupText(tr("Your feedback is received.")) + u"\n\n"_s + LookupText(tr("Thank you!")));
        Q_EMIT sendFinished(true);
        accept();
        return;
    }
    m_context.message(this, DialogKind::Error, LookupText(tr("Failure")),
                      LookupText(tr("Something went wrong. Your feedback could not be delivered.")) + u"\n\n"_s +
                          LookupText(tr("Please try again later.")));
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
