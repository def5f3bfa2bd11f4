#include "core/windows/Feedback.h"

#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// Quick bounds: every server here is on this machine.
PostFormOptions quickOptions()
{
    PostFormOptions options;
    options.connectTimeoutMs = 2000;
    options.responseTimeoutMs = 2000;
    return options;
}

} // namespace

TEST(Feedback, IsValidEmailFollowsThePatternOverTheWholeText)
{
    struct Case
    {
        const char *name;
        QString text;
        bool valid;
    };

    const std::vector<Case> cases = {
        {"plain address", u"user@example.com"_s, true},
        {"dots, plus, hyphen and underscore before the at sign", u"first.last+tag_x-y@sub-domain.example.co.uk"_s,
         true},
        {"capital letters", u"USER@EXAMPLE.COM"_s, true},
        {"one-letter last part", u"a@b.c"_s, true},
        {"digits in the last part", u"user@example.c0m"_s, true},
        {"two dots in a row after the first one still pass", u"user@example..com"_s, true},
        {"no dot after the at sign", u"user@example"_s, false},
        {"two at signs", u"user@@example.com"_s, false},
        {"a second at sign further on", u"us@er@example.com"_s, false},
        {"ends in a dot", u"user@example.com."_s, false},
        {"ends in a hyphen", u"user@example.com-"_s, false},
        {"a blank inside", u"us er@example.com"_s, false},
        {"a blank at the end", u"user@example.com "_s, false},
        {"non-ASCII letter before the at sign", u"müller@example.com"_s, false},
        {"non-ASCII letter in the host", u"user@exämple.com"_s, false},
        {"nothing before the at sign", u"@example.com"_s, false},
        {"nothing between the at sign and the dot", u"user@.com"_s, false},
        {"a line feed after a valid address", u"user@example.com\n"_s, false},
        {"empty", QString(), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isValidEmail(c.text), c.valid) << c.text.toStdString();
    }
}

TEST(Feedback, FieldsAndTheirFormEncoding)
{
    struct Case
    {
        const char *name;
        FeedbackChoice choice;
        QString message;
        QString email;
        QStringList fields;
        QByteArray body;
    };

    const std::vector<Case> cases = {
        {"no choice, no e-mail",
         FeedbackChoice::None,
         u"Works well"_s,
         QString(),
         {u"cmd=feedback"_s, u"appname=BRELLAN - Quorvel"_s, u"version=2.2"_s, u"feedback=Works well"_s},
         "cmd=feedback&appname=BRELLAN+-+Quorvel&version=2.2&feedback=Works+well"},
        {"like with an e-mail",
         FeedbackChoice::Like,
         u"Fast & small"_s,
         u"a+b@example.com"_s,
         {u"cmd=feedback"_s, u"appname=BRELLAN - Quorvel"_s, u"version=2.2"_s, u"feedback=I like it!\rFast & small"_s,
          u"email=a+b@example.com"_s},
         "cmd=feedback&appname=BRELLAN+-+Quorvel&version=2.2&feedback=I+like+it%21%0DFast+%26+small"
         "&email=a%2Bb%40example.com"},
        {"dislike, line breaks and non-ASCII text",
         FeedbackChoice::Dislike,
         u"Zu langsam:\nüber 5 s = 100%"_s,
         QString(),
         {u"cmd=feedback"_s, u"appname=BRELLAN - Quorvel"_s, u"version=2.2"_s,
          u"feedback=I dislike it!\rZu langsam:\nüber 5 s = 100%"_s},
         "cmd=feedback&appname=BRELLAN+-+Quorvel&version=2.2"
         "&feedback=I+dislike+it%21%0DZu+langsam%3A%0A%C3%BCber+5+s+%3D+100%25"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList fields =
            feedbackFields(u"BRELLAN - Quorvel"_s, u"2.2"_s, FeedbackMessage(c.choice, c.message), c.email);
        EXPECT_EQ(fields, c.fields);
        EXPECT_EQ(encodeFormFields(fields), c.body);
    }
    // Only the first "=" separates; kept characters stay as they are.
    EXPECT_EQ(encodeFormFields({u"a=b=c"_s, u"plain"_s, u"k=*-._~"_s}), QByteArray("a=b%3Dc&plain=&k=*-._%7E"));
}

TEST(Feedback, OnlyExactlyOkTrimmedIsSuccess)
{
    struct Case
    {
        const char *name;
        QString reply;
        bool received;
    };

    const std::vector<Case> cases = {
        {"OK", u"OK"_s, true},
        {"OK and a line break", u"OK\r\n"_s, true},
        {"blanks and line breaks around", u" \n OK \t\n"_s, true},
        {"lower case", u"ok"_s, false},
        {"mixed case", u"Ok"_s, false},
        {"more text", u"OK, thanks"_s, false},
        {"two lines", u"OK\r\nOK"_s, false},
        {"empty", QString(), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isFeedbackReceived(c.reply), c.received);
    }
}

class FeedbackPostTest : public ::testing::Test
{
protected:
    struct Received
    {
        std::mutex mutex;
        std::vector<std::string> paths;
        std::string contentType;
        std::string connection;
        std::string feedback;
        std::string email = "<none>";
        bool hasEmail = false;
    };

    // /ok answers "OK\n"; /status/<code>/<body> answers that status and body.
    static void addRoutes(httplib::Server &server, Received &received)
    {
        const auto record = [&received](const httplib::Request &req) {
            const std::lock_guard lock(received.mutex);
            received.paths.push_back(req.path);
            received.contentType = req.get_header_value("Content-Type");
            received.connection = req.get_header_value("Connection");
            received.feedback = req.get_param_value("feedback");
            received.hasEmail = req.has_param("email");
        };
        server.Post("/php/feedback.php", [record](const httplib::Request &req, httplib::Response &res) {
            record(req);
            res.set_content("OK\n", "text/plain");
        });
        server.Post(R"(/status/(\d+)/(\w*))", [record](const httplib::Request &req, httplib::Response &res) {
            record(req);
            res.status = std::stoi(req.matches[1]);
            res.set_content(req.matches[2], "text/plain");
        });
    }
};

TEST_F(FeedbackPostTest, ErrorStatusesCountOnlyOverHttp)
{
    Received httpReceived;
    Received httpsReceived;
    LoopbackServer http(LoopbackServer::Scheme::Http);
    LoopbackServer https(LoopbackServer::Scheme::Https);
    addRoutes(http.server(), httpReceived);
    addRoutes(https.server(), httpsReceived);
    ASSERT_TRUE(http.start());
    ASSERT_TRUE(https.start());

    struct Case
    {
        const char *name;
        LoopbackServer *server;
        QString path;
        QString text;
        bool failed;
    };

    const std::vector<Case> cases = {
        {"https 200", &https, u"/status/200/OK"_s, u"OK"_s, false},
        {"https error status with OK still brings the body", &https, u"/status/500/OK"_s, u"OK"_s, false},
        {"https 404 with another body", &https, u"/status/404/missing"_s, u"missing"_s, false},
        {"http 200", &http, u"/status/200/OK"_s, u"OK"_s, false},
        {"http error status with OK is an error", &http, u"/status/500/OK"_s, QString(), true},
        {"http 404", &http, u"/status/404/missing"_s, QString(), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PostFormReply reply = PostForm(c.server->url(c.path), {u"cmd=feedback"_s}, quickOptions());
        EXPECT_EQ(reply.text, c.text);
        EXPECT_EQ(!reply.error.isEmpty(), c.failed) << reply.error.toStdString();
    }
    // The https attempt asks the server to close the connection and sends a UTF-8 form.
    EXPECT_EQ(httpsReceived.connection, "close");
    EXPECT_EQ(httpsReceived.contentType, "application/x-www-form-urlencoded; charset=UTF-8");
}

TEST_F(FeedbackPostTest, AnErrorStatusIsNeverReceivedWhateverItsBody)
{
    Received received;
    LoopbackServer http(LoopbackServer::Scheme::Http);
    LoopbackServer https(LoopbackServer::Scheme::Https);
    addRoutes(http.server(), received);
    addRoutes(https.server(), received);
    ASSERT_TRUE(http.start());
    ASSERT_TRUE(https.start());

    struct Case
    {
        const char *name;
        LoopbackServer *server;
        QString path;
        bool received;
    };

    const std::vector<Case> cases = {
        {"https 200 OK", &https, u"/status/200/OK"_s, true},  {"https 500 OK", &https, u"/status/500/OK"_s, false},
        {"https 404 OK", &https, u"/status/404/OK"_s, false}, {"https 400 OK", &https, u"/status/400/OK"_s, false},
        {"http 200 OK", &http, u"/status/200/OK"_s, true},    {"http 503 OK", &http, u"/status/503/OK"_s, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const FeedbackOutcome outcome = sendFeedback({c.server->url(c.path)}, {u"cmd=feedback"_s}, quickOptions());
        EXPECT_EQ(outcome.received, c.received);
    }
}

TEST_F(FeedbackPostTest, HttpsFirstThenHttpOnlyWhenTheHttpsPostFails)
{
    const QStringList fields =
        feedbackFields(u"BRELLAN - Quorvel"_s, u"2.2"_s, FeedbackMessage(FeedbackChoice::Like, u"Çok iyi"_s), {});

    // A plain server: the https attempt fails at the TLS handshake, the http one gets through.
    {
        Received received;
        LoopbackServer http(LoopbackServer::Scheme::Http);
        addRoutes(http.server(), received);
        ASSERT_TRUE(http.start());
        const QString host = u"127.0.0.1:"_s + QString::number(http.port());
        const QStringList addresses{u"https://"_s + host + u"/php/feedback.php"_s,
                                    u"http://"_s + host + u"/php/feedback.php"_s};
        const FeedbackOutcome outcome = sendFeedback(addresses, fields, quickOptions());
        EXPECT_TRUE(outcome.received);
        EXPECT_EQ(outcome.attempted, addresses);
        EXPECT_EQ(outcome.reply, u"OK\r\n"_s);
        EXPECT_EQ(received.paths, std::vector<std::string>{"/php/feedback.php"});
        EXPECT_EQ(received.feedback, "I like it!\rÇok iyi");
        EXPECT_FALSE(received.hasEmail);
    }
    // An https error status is an answer: no second attempt.
    {
        Received received;
        LoopbackServer https(LoopbackServer::Scheme::Https);
        addRoutes(https.server(), received);
        ASSERT_TRUE(https.start());
        const QStringList addresses{https.url(u"/status/503/busy"_s), u"http://127.0.0.1:1/never"_s};
        const FeedbackOutcome outcome = sendFeedback(addresses, fields, quickOptions());
        EXPECT_FALSE(outcome.received);
        EXPECT_EQ(outcome.attempted, QStringList{addresses.first()});
        EXPECT_EQ(outcome.reply, u"busy\r\n"_s);
        EXPECT_TRUE(outcome.error.isEmpty());
    }
    // Nothing answers either attempt.
    {
        const QString host = u"127.0.0.1:"_s + QString::number(refusedPort());
        const QStringList addresses{u"https://"_s + host + u"/php/feedback.php"_s,
                                    u"http://"_s + host + u"/php/feedback.php"_s};
        const FeedbackOutcome outcome = sendFeedback(addresses, fields, quickOptions());
        EXPECT_FALSE(outcome.received);
        EXPECT_EQ(outcome.attempted, addresses);
        EXPECT_TRUE(outcome.reply.isEmpty());
        EXPECT_FALSE(outcome.error.isEmpty());
    }
}

} // namespace quorvel::test
