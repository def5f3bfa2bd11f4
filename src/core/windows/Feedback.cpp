#include "core/windows/Feedback.h"

#include "core/common/Http.h"
#include "core/common/Text.h"

#include <QRegularExpression>

#include <string_view>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

void appendFormEncoded(QByteArray &out, const QString &text)
{
    constexpr std::string_view kHex = "0123456789ABCDEF";
    for (const char c : text.toUtf8()) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '*' || b == '-' ||
            b == '.' || b == '_') {
            out.append(c);
        } else if (b == ' ') {
            out.append('+');
        } else {
            out.append('%');
            out.append(kHex[b >> 4]);
            out.append(kHex[b & 0x0F]);
        }
    }
}

} // namespace

bool isValidEmail(const QString &text)
{
    const QRegularExpression pattern(uR"(^[a-zA-Z0-9_.+-]+@[a-zA-Z0-9-]+\.[a-zA-Z0-9-.]*[a-zA-Z0-9]+$)"_s);
    // "$" also matches before a final line feed; the match must cover the whole text.
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() && match.capturedLength() == text.size() && !text.isEmpty();
}

QString FeedbackMessage(FeedbackChoice choice, const QString &message)
{
    switch (choice) {
    case FeedbackChoice::Like:
        return kLikeLine.toString() + u'\r' + message;
    case FeedbackChoice::Dislike:
        return kDislikeLine.toString() + u'\r' + message;
    case FeedbackChoice::None:
        break;
    }
    return message;
}

QStringList feedbackFields(const QString &appTitle, const QString &appVersion, const QString &feedbackMessage,
                           const QString &email)
{
    QStringList fields{u"cmd=feedback"_s, u"appname="_s + appTitle, u"version="_s + appVersion,
                       u"feedback="_s + feedbackMessage};
    if (!email.isEmpty()) {
        fields.append(u"email="_s + email);
    }
    return fields;
}

QByteArray encodeFormFields(const QStringList &fields)
{
    QByteArray body;
    for (const QString &line : fields) {
        if (!body.isEmpty()) {
            body.append('&');
        }
        const qsizetype equals = line.indexOf(u'=');
        appendFormEncoded(body, equals < 0 ? line : line.left(equals));
        body.append('=');
        if (equals >= 0) {
            appendFormEncoded(body, line.mid(equals + 1));
        }
    }
    return body;
}

PostFormReply PostForm(const QString &address, const QStringList &fields, const PostFormOptions &options)
{
    HttpRequest request;
    request.url = address;
    request.method = HttpMethod::Post;
    request.body = encodeFormFields(fields);
    request.contentType = "application/x-www-form-urlencoded; charset=UTF-8";
    request.connectTimeoutMs = options.connectTimeoutMs;
    request.idleTimeoutMs = options.responseTimeoutMs;
    request.bodyLimit = 1 << 20; // the service answers with two letters
    request.cancel = options.cancel;
    const bool secure = startsWithAsciiCI(address, u"https://");
    if (secure) {
        request.extraHeaders.append("Connection: close");
    }

    const HttpResult result = performRequest(request);
    if (!result.completed()) {
        return {QString(), result.error, result.statusCode};
    }
    if (!secure && result.statusCode >= 400) {
        return {QString(), QString::fromLatin1(result.statusLine), result.statusCode};
    }
    return {QString::fromUtf8(result.body), QString(), result.statusCode};
}

bool isFeedbackReceived(const QString &reply)
{
    return trimControl(reply) == u"OK"_s;
}

FeedbackOutcome sendFeedback(const QStringList &addresses, const QStringList &fields, const PostFormOptions &options)
{
    FeedbackOutcome outcome;
    bool errorStatus = false;
    for (const QString &address : addresses) {
        if (options.cancel && options.cancel->load()) {
            break;
        }
        outcome.attempted.append(address);
        const PostFormReply reply = PostForm(address, fields, options);
        if (reply.error.isEmpty()) {
            outcome.reply = normaliseLineEnds(reply.text);
            outcome.error.clear();
            // An https error status brings its body along; the service still did not take the form.
            errorStatus = reply.statusCode >= 400;
            break;
        }
        outcome.error = reply.error;
    }
    outcome.received = outcome.error.isEmpty() && !errorStatus && isFeedbackReceived(outcome.reply);
    return outcome;
}

} // namespace quorvel
