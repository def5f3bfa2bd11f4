#include "core/app/DataFolder.h"

#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Sets an environment variable for one scope and puts the old value back.
class EnvironmentOverride
{
public:
    EnvironmentOverride(const char *name, const QString &value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value.toLocal8Bit());
        }
    }

    ~EnvironmentOverride()
    {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }

    EnvironmentOverride(const EnvironmentOverride &) = delete;
    EnvironmentOverride &operator=(const EnvironmentOverride &) = delete;

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

TEST(DataFolder, WritabilityProbe)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString taken = dir.filePath(u"taken"_s);
    ASSERT_TRUE(QDir().mkpath(taken));
    ASSERT_TRUE(writeFile(taken + u"/chk.tmp"_s, "keep me"));
    const QString aFile = dir.filePath(u"plain-file"_s);
    ASSERT_TRUE(writeFile(aFile, "x"));

    struct Case
    {
        const char *name;
        QString folder;
        bool writable;
    };

    const std::vector<Case> cases = {
        {"writable folder", dir.path(), true},        {"trailing slash", dir.path() + u'/', true},
        {"chk.tmp already there", taken, false},      {"missing folder", dir.filePath(u"missing"_s), false},
        {"a file instead of a folder", aFile, false}, {"empty name", QString(), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsFolderWritable(c.folder), c.writable);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"chk.tmp"_s))) << "the probe must not stay behind";
    EXPECT_EQ(readFile(taken + u"/chk.tmp"_s), QByteArray("keep me"));
}

TEST(DataFolder, ReadOnlyFolderIsNotWritable)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permission bits do not stop root";
    }
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"ro"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    EXPECT_FALSE(IsFolderWritable(folder));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(DataFolder, ChoosesTheProgramFolderOrTheConfigurationFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString program = dir.filePath(u"program"_s);
    const QString taken = dir.filePath(u"taken"_s);
    const QString aFile = dir.filePath(u"plain-file"_s);
    ASSERT_TRUE(QDir().mkpath(program));
    ASSERT_TRUE(QDir().mkpath(taken));
    ASSERT_TRUE(writeFile(taken + u"/chk.tmp"_s, "keep me"));
    ASSERT_TRUE(writeFile(aFile, "x"));
    const QString config = dir.filePath(u"config"_s);
    ASSERT_TRUE(QDir().mkpath(config));
    const QString fallback = config + u"/BRELLAN/Quorvel/"_s;

    struct Case
    {
        const char *name;
        QString programFolder;
        QString configHome;
        QString expected;
    };

    const std::vector<Case> cases = {
        {"writable program folder", program, config, program + u'/'},
        {"no second slash", program + u'/', config, program + u'/'},
        {"chk.tmp present sends the data away", taken, config, fallback},
        {"unwritable program folder", aFile + u"/bin"_s, config, fallback},
        {"configuration home with a slash", taken, config + u'/', fallback},
        {"missing configuration home is made", taken, dir.filePath(u"fresh/.config"_s),
         dir.filePath(u"fresh/.config/BRELLAN/Quorvel/"_s)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString chosen = chooseDataFolder(c.programFolder, u"BRELLAN"_s, u"Quorvel"_s, c.configHome);
        EXPECT_EQ(chosen, c.expected);
        EXPECT_TRUE(QFileInfo(chosen).isDir());
        EXPECT_TRUE(IsFolderWritable(chosen));
    }
    EXPECT_EQ(readFile(taken + u"/chk.tmp"_s), QByteArray("keep me"));
    EXPECT_FALSE(QFileInfo::exists(program + u"/BRELLAN"_s));
}

TEST(DataFolder, ConfigurationHomeFollowsTheEnvironment)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const EnvironmentOverride home("HOME", dir.path());

    struct Case
    {
        const char *name;
        QString xdg; // null: unset
        QString expected;
    };

    const std::vector<Case> cases = {
        {"unset", QString(), dir.path() + u"/.config"_s},
        {"empty", u""_s, dir.path() + u"/.config"_s},
        {"relative is ignored", u"conf"_s, dir.path() + u"/.config"_s},
        {"absolute", dir.filePath(u"xdg"_s), dir.filePath(u"xdg"_s)},
        {"absolute with a slash", dir.filePath(u"xdg/"_s), dir.filePath(u"xdg"_s)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const EnvironmentOverride xdg("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(defaultConfigHome(), c.expected);
    }

    // Without a configuration home of its own, the choice uses $XDG_CONFIG_HOME.
    const QString taken = dir.filePath(u"taken"_s);
    ASSERT_TRUE(QDir().mkpath(taken));
    ASSERT_TRUE(writeFile(taken + u"/chk.tmp"_s, ""));
    const EnvironmentOverride xdg("XDG_CONFIG_HOME", dir.filePath(u"xdg"_s));
    EXPECT_EQ(chooseDataFolder(taken, u"BRELLAN"_s, u"Quorvel"_s), dir.filePath(u"xdg/BRELLAN/Quorvel/"_s));
}

} // namespace quorvel::test
