#include "core/windows/UpdateCheck.h"

#include "core/app/MakerSite.h"
#include "core/windows/ShowUpdateSetting.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(UpdateCheck, VersionsCompareNumberByNumber)
{
    struct Case
    {
        const char *name;
        QString latest;
        QString current;
        bool newer;
    };

    const std::vector<Case> cases = {
        {"next minor", u"2.3"_s, u"2.2"_s, true},
        {"same", u"2.2"_s, u"2.2"_s, false},
        {"older", u"2.1"_s, u"2.2"_s, false},
        {"2.10 is newer than 2.9", u"2.10"_s, u"2.9"_s, true},
        {"2.9 is older than 2.10", u"2.9"_s, u"2.10"_s, false},
        {"a further number", u"2.2.1"_s, u"2.2"_s, true},
        {"a further zero is the same", u"2.2.0"_s, u"2.2"_s, false},
        {"next major", u"3"_s, u"2.9"_s, true},
        {"leading zeros", u"2.03"_s, u"2.2"_s, true},
        {"blanks around", u" 2.3 "_s, u"2.2"_s, true},
        {"not a number", u"2.x"_s, u"2.2"_s, false},
        {"empty part", u"2..3"_s, u"2.2"_s, false},
        {"trailing dot", u"2.3."_s, u"2.2"_s, false},
        {"sign", u"+3"_s, u"2.2"_s, false},
        {"too long a number", u"1234567890"_s, u"2.2"_s, false},
        {"empty", QString(), u"2.2"_s, false},
        {"current not a version", u"2.3"_s, u"beta"_s, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isNewerVersion(c.latest, c.current), c.newer);
    }
    EXPECT_EQ(compareVersions(u"2.2"_s, u"2.2.0.0"_s), 0);
    EXPECT_EQ(compareVersions(u"1.9"_s, u"2"_s), -1);
    EXPECT_EQ(compareVersions(u"x"_s, u"2"_s), std::nullopt);
}

TEST(UpdateCheck, RepliesAreReadStrictly)
{
    struct Case
    {
        const char *name;
        QByteArray body;
        QString version;
        QString download;
        bool failed;
    };

    const std::vector<Case> cases = {
        {"version and download", R"({"version": "2.3", "download": "https://brellan.example/d/q-2.3.tar.gz"})",
         u"2.3"_s, u"https://brellan.example/d/q-2.3.tar.gz"_s, false},
        {"version only", R"({"version": "2.3"})", u"2.3"_s, QString(), false},
        {"plain http download", R"({"version":"3.0","download":"HTTP://h/x"})", u"3.0"_s, u"HTTP://h/x"_s, false},
        {"a local file is not a download address", R"({"version":"3.0","download":"file:///etc/passwd"})", u"3.0"_s,
         QString(), false},
        {"another scheme is dropped", R"x({"version":"3.0","download":"javascript:alert(1)"})x", u"3.0"_s, QString(),
         false},
        {"a number is not a version", R"({"version": 2.3})", QString(), QString(), true},
        {"no version", R"({"download": "https://h/x"})", QString(), QString(), true},
        {"not a version", R"({"version": "latest"})", QString(), QString(), true},
        {"not JSON", "<html>502 Bad Gateway</html>", QString(), QString(), true},
        {"an array", R"(["2.3"])", QString(), QString(), true},
        {"empty", "", QString(), QString(), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const UpdateInfo info = parseUpdateReply(c.body);
        EXPECT_EQ(info.latestVersion, c.version);
        EXPECT_EQ(info.downloadAddress, c.download);
        EXPECT_EQ(!info.error.isEmpty(), c.failed);
    }
}

TEST(UpdateCheck, AsksTheServiceOverHttps)
{
    EXPECT_EQ(updateCheckUrl(MakerSite(u"maker.test"_s), u"Quorvel Pro"_s),
              u"https://maker.test/update/quorvel-pro.json"_s);

    LoopbackServer https(LoopbackServer::Scheme::Https);
    https.server().Get("/update/quorvel.json", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(R"({"version": "2.3", "download": "https://example.test/q.tgz"})", "application/json");
    });
    https.server().Get("/update/broken.json", [](const httplib::Request &, httplib::Response &res) {
        res.status = 500;
        res.set_content(R"({"version": "9.9"})", "application/json");
    });
    ASSERT_TRUE(https.start());
    const MakerSite site(u"127.0.0.1:"_s + QString::number(https.port()));
    UpdateCheckOptions options;
    options.connectTimeoutMs = 2000;
    options.responseTimeoutMs = 2000;

    const UpdateInfo info = checkForUpdate(updateCheckUrl(site, u"Quorvel"_s), options);
    EXPECT_EQ(info.error, QString());
    EXPECT_EQ(info.latestVersion, u"2.3"_s);
    EXPECT_EQ(info.downloadAddress, u"https://example.test/q.tgz"_s);

    // An error status is a failed check, whatever its body says.
    const UpdateInfo broken = checkForUpdate(updateCheckUrl(site, u"Broken"_s), options);
    EXPECT_FALSE(broken.error.isEmpty());
    EXPECT_TRUE(broken.latestVersion.isEmpty());
    const UpdateInfo missing = checkForUpdate(updateCheckUrl(site, u"Other"_s), options);
    EXPECT_FALSE(missing.error.isEmpty());
}

TEST(UpdateCheck, ShowUpdateIsOnUnlessStoredAsZero)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(u"store.ini"_s);
    const ShowUpdateSetting setting(file);
    EXPECT_TRUE(setting.isOn()) << "absent";

    struct Case
    {
        const char *name;
        QVariant stored;
        bool on;
    };

    const std::vector<Case> cases = {
        {"0", 0, false}, {"1", 1, true}, {"text 0", u"0"_s, false}, {"2", 2, true}, {"not a number", u"no"_s, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QSettings(file, QSettings::IniFormat).setValue(u"Settings/ShowUpdate"_s, c.stored);
        EXPECT_EQ(setting.isOn(), c.on);
    }
    setting.write(false);
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value(u"Settings/ShowUpdate"_s).toInt(), 0);
    EXPECT_FALSE(setting.isOn());
    setting.write(true);
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value(u"Settings/ShowUpdate"_s).toInt(), 1);
    EXPECT_TRUE(setting.isOn());
}

} // namespace quorvel::test
