#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <optional>

namespace quorvel {

class MakerSite;

// The update service, asked once in the background after start-up:
//   GET https://<maker host>/update/<product name, lower case, blanks as "-">.json
// answered with status 200 and a JSON object such as
//   {"version": "2.3", "download": "https://brellan.example/download/quorvel-2.3.tar.gz"}
// "version" is the newest version's number (whole numbers joined by dots); "download" is optional
// and, when present, an http or https address. Anything else is a failed check.
QString updateCheckUrl(const MakerSite &site, const QString &productName);

// What the service reported; error is empty when the check succeeded.
struct UpdateInfo
{
    QString latestVersion;   // LatestVersion
    QString downloadAddress; // DownloadAddress; may be empty
    QString error;
};

// Reads the service's reply body. A download address that is not http or https is dropped (the
// popup then falls back to the maker's home page), so a reply can never have the desktop open a
// local file or run a handler of some other scheme.
UpdateInfo parseUpdateReply(const QByteArray &body);

// The version's numbers, or nothing when it is not whole numbers (of at most nine digits) joined
// by dots; blanks around it are ignored.
std::optional<QList<qint64>> versionNumbers(const QString &version);

// Compares two versions number by number, a missing number counting as 0 ("2.2" equals "2.2.0",
// "2.10" is newer than "2.9"): negative, 0 or positive; nothing when either is not a version.
std::optional<int> compareVersions(const QString &a, const QString &b);

// True only when latest is a version strictly newer than current.
bool isNewerVersion(const QString &latest, const QString &current);

struct UpdateCheckOptions
{
    int connectTimeoutMs = 10000;
    int responseTimeoutMs = 10000;
    const std::atomic<bool> *cancel = nullptr;
};

// Asks the update service at address (blocking; run it off the UI thread).
UpdateInfo checkForUpdate(const QString &address, const UpdateCheckOptions &options = {});

} // namespace quorvel
