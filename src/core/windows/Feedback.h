#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>

namespace quorvel {

// The like/dislike choice of the feedback window; at most one is on.
enum class FeedbackChoice
{
    None,
    Like,
    Dislike
};

// The lines the choices add in front of the message.
inline constexpr QStringView kLikeLine = u"I like it!";
inline constexpr QStringView kDislikeLine = u"I dislike it!";

// True when the whole text matches ^[a-zA-Z0-9_.+-]+@[a-zA-Z0-9-]+\.[a-zA-Z0-9-.]*[a-zA-Z0-9]+$
// (ASCII letters of both cases, digits and the listed signs only).
bool isValidEmail(const QString &text);

// FeedbackMessage: the line of the choice that is on followed by one CR, then the message; the
// message alone when no choice is on.
QString FeedbackMessage(FeedbackChoice choice, const QString &message);

// The form fields of a feedback post, as "name=value" lines in the order the service reads them:
// cmd, appname, version, feedback, and email only when one is given.
QStringList feedbackFields(const QString &appTitle, const QString &appVersion, const QString &feedbackMessage,
                           const QString &email);

// application/x-www-form-urlencoded in UTF-8: each line split at its first "=", name and value
// form-encoded (letters, digits and "*-._" kept, blank as "+", every other byte as %XX), pairs
// joined by "&". A line without "=" is a name with an empty value.
QByteArray encodeFormFields(const QStringList &fields);

// Bounds of one form post.
struct PostFormOptions
{
    int connectTimeoutMs = 3000;
    int responseTimeoutMs = 3000;
    const std::atomic<bool> *cancel = nullptr;
};

// The reply of one post: error is empty when the post went through.
struct PostFormReply
{
    QString text;
    QString error;
    int statusCode = -1; // of the answer, when one arrived
};

// Posts the fields as a form and returns the reply body as UTF-8 text. Over https the header
// "Connection: close" goes along and the body comes back whatever the status; over http an error
// status (400 and above) is an error. No connection, a time-out or a TLS failure is an error.
// Either way an error status means the form was not taken (see sendFeedback).
PostFormReply PostForm(const QString &address, const QStringList &fields, const PostFormOptions &options = {});

// The service's one promise: the reply, trimmed, is exactly "OK" (case matters) when it got the
// feedback.
bool isFeedbackReceived(const QString &reply);

struct FeedbackOutcome
{
    bool received = false;
    QString reply;         // line ends made CR LF, as received otherwise; empty when both posts failed
    QStringList attempted; // the addresses posted to, in order
    QString error;         // why the last post failed; empty when one went through
};

// Posts the fields to the first address and, only when that post fails (an error, not an error
// status), to the second one. The addresses are the service's https and http addresses. An answer
// with an error status (400 and above) is never a received feedback, whatever its body says.
FeedbackOutcome sendFeedback(const QStringList &addresses, const QStringList &fields,
                             const PostFormOptions &options = {});

} // namespace quorvel
