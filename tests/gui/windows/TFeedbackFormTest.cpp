#include "gui/windows/TFeedbackForm.h"

#include "core/common/Http.h"
#include "gui/windows/CapturedContext.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// The maker's feedback service on 127.0.0.1: answers every post with a fixed status and body.
class FeedbackService
{
public:
    FeedbackService(LoopbackServer::Scheme scheme, int status, std::string reply)
        : m_server(scheme)
    {
        m_server.server().Post("/php/feedback.php",
                               [this, status, reply](const httplib::Request &req, httplib::Response &res) {
                                   {
                                       const std::lock_guard lock(m_mutex);
                                       m_bodies.push_back(req.body);
                                   }
                                   res.status = status;
                                   res.set_content(reply, "text/plain");
                               });
        m_started = m_server.start();
    }

    bool started() const { return m_started; }

    QString host() const { return u"127.0.0.1:"_s + QString::number(m_server.port()); }

    std::vector<std::string> bodies()
    {
        const std::lock_guard lock(m_mutex);
        return m_bodies;
    }

private:
    LoopbackServer m_server;
    bool m_started = false;
    std::mutex m_mutex;
    std::vector<std::string> m_bodies;
};

class FeedbackFormTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_curl = std::make_unique<CurlGlobal>(); }

    static void TearDownTestSuite() { s_curl.reset(); }

    // Short bounds: everything answers from this machine.
    static PostFormOptions quick()
    {
        PostFormOptions options;
        options.connectTimeoutMs = 2000;
        options.responseTimeoutMs = 2000;
        return options;
    }

    std::unique_ptr<TFeedbackForm> makeForm(const QString &host)
    {
        auto form = std::make_unique<TFeedbackForm>(capturedContext(m_captured, host), nullptr, quick());
        form->show();
        return form;
    }

    template <typename T> static T *child(const TFeedbackForm &form, const QString &name)
    {
        T *widget = form.findChild<T *>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    // Clicks Send and waits for the post to end; false when nothing was posted at all.
    static bool sendAndWait(TFeedbackForm &form)
    {
        QSignalSpy finished(&form, &TFeedbackForm::sendFinished);
        QTest::mouseClick(child<QPushButton>(form, u"BitBtn1"_s), Qt::LeftButton);
        if (!form.isSending()) {
            return false;
        }
        EXPECT_TRUE(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor);
        EXPECT_FALSE(child<QPushButton>(form, u"BitBtn1"_s)->isEnabled()) << "a second click would post twice";
        EXPECT_TRUE(finished.wait(10000));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        return true;
    }

    std::shared_ptr<Captured> m_captured = std::make_shared<Captured>();
    static inline std::unique_ptr<CurlGlobal> s_curl;
};

const QString kFailureText =
    u"Something went wrong. Your feedback could not be delivered.\n\nPlease try again later."_s;

} // namespace

TEST_F(FeedbackFormTest, LayoutAndTexts)
{
    const auto form = makeForm(u"maker.test"_s);
    EXPECT_EQ(form->windowTitle(), u"Quorvel feedback"_s);
    EXPECT_EQ(form->size(), QSize(525, 326));
    EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    struct Case
    {
        const char *name;
        QString object;
        QString text;
    };

    const std::vector<Case> cases = {
        {"like panel", u"Panel4Caption"_s, u"I like it!"_s},
        {"dislike panel", u"Panel5Caption"_s, u"I dislike it!"_s},
        {"Label1", u"Label1"_s, u"We would really appreciate your feedback."_s},
        {"Label2", u"Label2"_s, u"What did you like or dislike?"_s},
        {"Label3", u"Label3"_s, u"Include my e-mail:"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(child<QLabel>(*form, c.object)->text(), c.text);
    }
    EXPECT_TRUE(child<QLabel>(*form, u"Label2"_s)->font().bold());
    EXPECT_EQ(child<QPushButton>(*form, u"BitBtn1"_s)->text(), u"Send"_s);
    EXPECT_EQ(child<QLineEdit>(*form, u"Edit1"_s)->maxLength(), 100);
    EXPECT_EQ(child<QLabel>(*form, u"Image1"_s)->pixmap().deviceIndependentSize(), QSizeF(32, 32));
    EXPECT_EQ(child<QLabel>(*form, u"Image2"_s)->pixmap().deviceIndependentSize(), QSizeF(32, 32));
    EXPECT_EQ(child<QFrame>(*form, u"Panel4"_s)->cursor().shape(), Qt::PointingHandCursor);

    // The message box takes at most 10000 characters.
    auto *memo = child<QPlainTextEdit>(*form, u"Memo1"_s);
    memo->setPlainText(QString(12000, u'x'));
    EXPECT_EQ(memo->toPlainText().size(), 10000);
}

// Every caption gets the room its text needs in the desktop's font, at this process's scale; the
// e-mail box starts after its caption and ends before Send.
TEST_F(FeedbackFormTest, LabelsGetTheRoomTheirTextNeeds)
{
    const QFont desktopFont = QApplication::font();
    for (const qreal points : {9.0, 11.0, 14.0}) {
        SCOPED_TRACE(points);
        QFont font = desktopFont;
        font.setPointSizeF(points);
        QApplication::setFont(font);
        const auto form = makeForm(u"maker.test"_s);
        const QByteArray scale = qgetenv("QT_SCALE_FACTOR");
        if (!scale.isEmpty()) {
            EXPECT_EQ(form->devicePixelRatioF(), scale.toDouble()) << "the scale did not reach the window";
        }
        for (const QString &name : {u"Label1"_s, u"Label2"_s, u"Label3"_s, u"Panel4Caption"_s, u"Panel5Caption"_s}) {
            SCOPED_TRACE(name.toStdString());
            const QLabel *label = child<QLabel>(*form, name);
            ASSERT_NE(label, nullptr);
            EXPECT_GE(label->width(), label->sizeHint().width());
            EXPECT_GE(label->height(), label->sizeHint().height());
            EXPECT_LE(label->geometry().right(), label->parentWidget()->width() - 1);
        }
        const QRect caption = child<QLabel>(*form, u"Label3"_s)->geometry();
        const QRect box = child<QLineEdit>(*form, u"Edit1"_s)->geometry();
        const QRect send = child<QPushButton>(*form, u"BitBtn1"_s)->geometry();
        EXPECT_GT(box.left(), caption.right());
        EXPECT_LT(box.right(), send.left());
        EXPECT_GE(box.width(), 100) << "the e-mail box is too narrow to use";
    }
    QApplication::setFont(desktopFont);
}

// The same at twice the scale, in a process of its own: the scale is fixed when the program starts.
TEST_F(FeedbackFormTest, LabelsGetTheRoomTheirTextNeedsAtTwiceTheScale)
{
    if (!qgetenv("QT_SCALE_FACTOR").isEmpty()) {
        GTEST_SKIP() << "this is the child process";
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_SCALE_FACTOR"_s, u"2"_s);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {u"--gtest_filter=FeedbackFormTest.LabelsGetTheRoomTheirTextNeeds"_s});
    ASSERT_TRUE(child.waitForStarted());
    ASSERT_TRUE(child.waitForFinished(60'000));
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(u"[  PASSED  ] 1 test"_s)) << out.toStdString();
}

TEST_F(FeedbackFormTest, ChoicePanelsToggle)
{
    struct Case
    {
        const char *name;
        std::vector<const char *> presses; // objects pressed, in order
        bool like;
        bool dislike;
    };

    const std::vector<Case> cases = {
        {"nothing pressed", {}, false, false},
        {"like", {"Panel4"}, true, false},
        {"like by its picture", {"Image1"}, true, false},
        {"like twice clears it", {"Panel4", "Image1"}, false, false},
        {"dislike while like is on switches", {"Panel4", "Panel5"}, false, true},
        {"dislike again clears it", {"Panel4", "Image2", "Panel5"}, false, false},
        {"back to like", {"Panel5", "Panel4"}, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto form = makeForm(u"maker.test"_s);
        for (const char *name : c.presses) {
            QTest::mousePress(child<QWidget>(*form, QString::fromLatin1(name)), Qt::LeftButton, {}, QPoint(20, 20));
        }
        EXPECT_EQ(form->likeOn(), c.like);
        EXPECT_EQ(form->dislikeOn(), c.dislike);
        const QPalette system = QApplication::palette();
        for (const auto &[name, on] : {std::pair{u"Panel4"_s, c.like}, std::pair{u"Panel5"_s, c.dislike}}) {
            const QFrame *panel = child<QFrame>(*form, name);
            EXPECT_EQ(panel->palette().color(QPalette::Window),
                      system.color(on ? QPalette::Highlight : QPalette::Button));
            EXPECT_EQ(panel->palette().color(QPalette::WindowText),
                      system.color(on ? QPalette::HighlightedText : QPalette::WindowText));
            EXPECT_EQ(panel->frameShadow(), on ? QFrame::Sunken : QFrame::Raised);
        }
    }
    // Only the left button chooses.
    const auto form = makeForm(u"maker.test"_s);
    QTest::mousePress(child<QWidget>(*form, u"Panel4"_s), Qt::RightButton, {}, QPoint(20, 20));
    QTest::mousePress(child<QWidget>(*form, u"Panel5"_s), Qt::MiddleButton, {}, QPoint(20, 20));
    EXPECT_FALSE(form->likeOn());
    EXPECT_FALSE(form->dislikeOn());
}

TEST_F(FeedbackFormTest, NothingIsSentForAnEmptyMessageOrABadAddress)
{
    FeedbackService service(LoopbackServer::Scheme::Https, 200, "OK");
    ASSERT_TRUE(service.started());

    struct Case
    {
        const char *name;
        QString message;
        QString email;
        int beeps;
        QString focus; // the box that gets the focus
        bool invalidEmailBox;
    };

    const std::vector<Case> cases = {
        {"empty message", QString(), u"me@example.com"_s, 1, u"Memo1"_s, false},
        {"only blanks and line breaks", u"  \n\t \r\n "_s, QString(), 1, u"Memo1"_s, false},
        {"no dot after the at sign", u"Fine"_s, u"me@example"_s, 0, u"Edit1"_s, true},
        {"two at signs", u"Fine"_s, u"me@@example.com"_s, 0, u"Edit1"_s, true},
        {"non-ASCII letter", u"Fine"_s, u"mé@example.com"_s, 0, u"Edit1"_s, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        *m_captured = Captured();
        const auto form = makeForm(service.host());
        QApplication::setActiveWindow(form.get());
        child<QPlainTextEdit>(*form, u"Memo1"_s)->setPlainText(c.message);
        child<QLineEdit>(*form, u"Edit1"_s)->setText(c.email);
        child<QPushButton>(*form, u"BitBtn1"_s)->setFocus();
        EXPECT_FALSE(sendAndWait(*form));
        EXPECT_EQ(m_captured->beeps, c.beeps);
        EXPECT_EQ(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(), c.focus);
        ASSERT_EQ(m_captured->messages.size(), c.invalidEmailBox ? 1 : 0);
        if (c.invalidEmailBox) {
            EXPECT_EQ(m_captured->messages[0].kind, DialogKind::Error);
            EXPECT_EQ(m_captured->messages[0].caption, u"Failure"_s);
            EXPECT_EQ(m_captured->messages[0].text, u"Invalid e-mail address!"_s);
        }
        EXPECT_TRUE(form->isVisible());
    }
    EXPECT_TRUE(service.bodies().empty());
}

TEST_F(FeedbackFormTest, SendingAndItsOutcomes)
{
    struct Case
    {
        const char *name;
        LoopbackServer::Scheme scheme;
        int status;
        std::string reply;
        bool received;
        std::size_t posts; // the posts that reached the service
    };

    const std::vector<Case> cases = {
        {"the service says OK", LoopbackServer::Scheme::Https, 200, "OK\r\n", true, 1},
        {"the service refuses", LoopbackServer::Scheme::Https, 200, "Not today", false, 1},
        {"lower-case ok is a refusal", LoopbackServer::Scheme::Https, 200, "ok", false, 1},
        {"https fails at the handshake, http gets through", LoopbackServer::Scheme::Http, 200, "OK", true, 1},
        {"an https error status is an answer: no retry", LoopbackServer::Scheme::Https, 500, "Server error", false, 1},
        {"over http an error status fails even with OK", LoopbackServer::Scheme::Http, 503, "OK", false, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        *m_captured = Captured();
        FeedbackService service(c.scheme, c.status, c.reply);
        ASSERT_TRUE(service.started());
        const auto form = makeForm(service.host());
        QTest::mousePress(child<QWidget>(*form, u"Panel4"_s), Qt::LeftButton, {}, QPoint(20, 20));
        child<QPlainTextEdit>(*form, u"Memo1"_s)->setPlainText(u"  Quick & clear\nthanks  "_s);
        child<QLineEdit>(*form, u"Edit1"_s)->setText(u"  me@example.com "_s);

        ASSERT_TRUE(sendAndWait(*form));
        const std::vector<std::string> bodies = service.bodies();
        ASSERT_EQ(bodies.size(), c.posts);
        // The fields in order; the message and the address trimmed; the choice line and a CR first.
        EXPECT_EQ(bodies[0], "cmd=feedback&appname=BRELLAN+-+Quorvel&version=2.2"
                             "&feedback=I+like+it%21%0DQuick+%26+clear%0Athanks&email=me%40example.com");
        ASSERT_EQ(m_captured->messages.size(), 1);
        const Captured::Message &box = m_captured->messages[0];
        if (c.received) {
            EXPECT_EQ(box.kind, DialogKind::Information);
            EXPECT_EQ(box.caption, u"Success"_s);
            EXPECT_EQ(box.text, u"Your feedback is received.\n\nThank you!"_s);
            EXPECT_FALSE(form->isVisible());
            EXPECT_EQ(form->result(), QDialog::Accepted);
        } else {
            EXPECT_EQ(box.kind, DialogKind::Error);
            EXPECT_EQ(box.caption, u"Failure"_s);
            EXPECT_EQ(box.text, kFailureText);
            // The window stays with everything typed, ready for another try.
            EXPECT_TRUE(form->isVisible());
            EXPECT_TRUE(form->likeOn());
            EXPECT_EQ(child<QPlainTextEdit>(*form, u"Memo1"_s)->toPlainText(), u"  Quick & clear\nthanks  "_s);
            EXPECT_EQ(child<QLineEdit>(*form, u"Edit1"_s)->text(), u"  me@example.com "_s);
            EXPECT_TRUE(child<QPushButton>(*form, u"BitBtn1"_s)->isEnabled());
        }
    }
}

TEST_F(FeedbackFormTest, NoEmailFieldWithoutAnAddressAndNoServiceMeansFailure)
{
    {
        FeedbackService service(LoopbackServer::Scheme::Https, 200, "OK");
        ASSERT_TRUE(service.started());
        const auto form = makeForm(service.host());
        child<QPlainTextEdit>(*form, u"Memo1"_s)->setPlainText(u"Hi"_s);
        ASSERT_TRUE(sendAndWait(*form));
        ASSERT_EQ(service.bodies().size(), 1u);
        EXPECT_EQ(service.bodies()[0], "cmd=feedback&appname=BRELLAN+-+Quorvel&version=2.2&feedback=Hi");
    }
    *m_captured = Captured();
    const auto form = makeForm(u"127.0.0.1:"_s + QString::number(refusedPort()));
    child<QPlainTextEdit>(*form, u"Memo1"_s)->setPlainText(u"Hi"_s);
    ASSERT_TRUE(sendAndWait(*form));
    ASSERT_EQ(m_captured->messages.size(), 1);
    EXPECT_EQ(m_captured->messages[0].text, kFailureText);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(FeedbackFormTest, EscClosesTheWindow)
{
    for (const QString &box : {u"Memo1"_s, u"Edit1"_s, u"BitBtn1"_s}) {
        SCOPED_TRACE(box.toStdString());
        const auto form = makeForm(u"maker.test"_s);
        child<QWidget>(*form, u"Memo1"_s)->setFocus();
        QTest::keyClick(child<QWidget>(*form, box), Qt::Key_Escape);
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(form->result(), QDialog::Rejected);
    }
}

// Draws the window and keeps the picture: in a temporary folder, or, with QUORVEL_SCREENSHOT_DIR
// set, as feedback-window.png there. docs/feedback-window.png is drawn under Xvfb, as the main
// window's pictures are (see tests/gui/app/ScreenshotTest.cpp), with this test's name as the filter.
TEST_F(FeedbackFormTest, Picture)
{
    const auto form = makeForm(u"maker.test"_s);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QImage picture = form->grab().toImage();
    ASSERT_FALSE(picture.isNull());
    const QTemporaryDir scratch;
    const QString folder = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR", scratch.path());
    EXPECT_TRUE(picture.save(QDir(folder).filePath(u"feedback-window.png"_s)));
}

} // namespace quorvel::test
