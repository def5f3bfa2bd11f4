#include "core/windows/UpdateCheck.h"

#include "core/app/MakerSite.h"
#include "core/common/Http.h"
#include "core/common/Logging.h"
#include "core/common/Text.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// The service answers with a few dozen bytes.
constexpr qint64 kReplyLimit = qint64{64} * 1024;

} // namespace

QString updateCheckUrl(const MakerSite &site, const QString &productName)
{
    return u"https://"_s + site.host() + u"/update/"_s + asciiLower(productName).replace(u' ', u'-') + u".json"_s;
}

UpdateInfo parseUpdateReply(const QByteArray &body)
{
    UpdateInfo info;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        info.error = u"The update service's reply is not a JSON object"_s;
        return info;
    }
    const QJsonObject object = document.object();
    const QJsonValue version = object.value(u"version"_s);
    if (!version.isString() || !versionNumbers(version.toString())) {
        info.error = u"The update service's reply has no valid version"_s;
        return info;
    }
    info.latestVersion = trimControl(version.toString());
    const QString download = trimControl(object.value(u"download"_s).toString());
    if (startsWithAsciiCI(download, u"https://") || startsWithAsciiCI(download, u"http://")) {
        info.downloadAddress = download;
    }
    return info;
}

std::optional<QList<qint64>> versionNumbers(const QString &version)
{
    const QString text = trimControl(version);
    if (text.isEmpty()) {
        return std::nullopt;
    }
    QList<qint64> numbers;
    for (const QStringView part : QStringView(text).split(u'.')) {
        if (part.isEmpty() || part.size() > 9 ||
            !std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
            return std::nullopt;
        }
        numbers.append(part.toLongLong());
    }
    return numbers;
}

std::optional<int> compareVersions(const QString &a, const QString &b)
{
    const std::optional<QList<qint64>> left = versionNumbers(a);
    const std::optional<QList<qint64>> right = versionNumbers(b);
    if (!left || !right) {
        return std::nullopt;
    }
    const qsizetype count = std::max(left->size(), right->size());
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 l = left->value(i, 0);
        const qint64 r = right->value(i, 0);
        if (l != r) {
            return l < r ? -1 : 1;
        }
    }
    return 0;
}

bool isNewerVersion(const QString &latest, const QString &current)
{
    const std::optional<int> order = compareVersions(latest, current);
    return order && *order > 0;
}

UpdateInfo checkForUpdate(const QString &address, const UpdateCheckOptions &options)
{
    HttpRequest request;
    request.url = address;
    request.method = HttpMethod::Get;
    request.connectTimeoutMs = options.connectTimeoutMs;
    request.idleTimeoutMs = options.responseTimeoutMs;
    request.bodyLimit = kReplyLimit;
    request.cancel = options.cancel;
    const HttpResult result = performRequest(request);
    qCDebug(lcApp).nospace().noquote() << "update check at " << address << ": "
                                       << (result.completed() ? QString::fromLatin1(result.statusLine) : result.error);
    if (!result.completed()) {
        UpdateInfo info;
        info.error = result.error;
        return info;
    }
    if (result.statusCode != 200) {
        UpdateInfo info;
        info.error = u"The update service answered "_s + QString::fromLatin1(result.statusLine);
        return info;
    }
    return parseUpdateReply(result.body);
}

} // namespace quorvel
