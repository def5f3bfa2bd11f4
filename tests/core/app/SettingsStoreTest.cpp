#include "core/app/SettingsStore.h"

#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

class SettingsStoreTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString &name = u"settings.ini"_s) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(SettingsStoreTest, MissingFileOrKeyReadsEmptyAndFirstWriteCreatesTheFile)
{
    const SettingsStore store(path());
    EXPECT_EQ(store.read(u"StartURL"_s), QString());
    EXPECT_FALSE(QFileInfo::exists(path()));

    QString error;
    ASSERT_TRUE(store.write(u"StartURL"_s, u"http://a.com/"_s, &error)) << error.toStdString();
    ASSERT_TRUE(store.write(u"Agent"_s, u"x"_s, &error));
    EXPECT_EQ(readAll(path()), QByteArray("[Settings]\nStartURL=http://a.com/\nAgent=x\n"));
    EXPECT_EQ(store.read(u"StartURL"_s), u"http://a.com/"_s);
    EXPECT_EQ(store.read(u"Missing"_s), QString());
}

TEST_F(SettingsStoreTest, EveryReadSeesTheFileAsItIsNow)
{
    const SettingsStore store(path());
    ASSERT_TRUE(store.write(u"Agent"_s, u"one"_s));
    writeAll(path(), "[Settings]\nAgent=changed by hand\n");
    EXPECT_EQ(store.read(u"Agent"_s), u"changed by hand"_s);
    ASSERT_TRUE(QFile::remove(path()));
    EXPECT_EQ(store.read(u"Agent"_s), QString());
}

TEST_F(SettingsStoreTest, ValuesRoundTripExactly)
{
    struct Case
    {
        const char *name;
        QString value;
    };

    const std::vector<Case> cases = {
        {"plain", u"http://a.com/x?y=1&z=2#f"_s},
        {"empty", u""_s},
        {"three lines, empty middle one, backslash", u"http://a.com/\n\nC:\\dir\\n"_s},
        {"CR LF and lone CR", u"a\r\nb\rc"_s},
        {"ends in a line break", u"a\n"_s},
        {"only line breaks", u"\n\n"_s},
        {"backslashes in a plain value", u"C:\\new\\\\x\\"_s},
        {"escape-looking text in a multi-line value", u"\\n\\r\\\\\nx"_s},
        {"leading and trailing blanks", u"  a b\t"_s},
        {"only a blank", u" "_s},
        {"enclosed in double quotes", u"\"quoted\""_s},
        {"enclosed in single quotes", u"'x'"_s},
        {"two double quotes", u"\"\""_s},
        {"one quote at the start only", u"\"abc"_s},
        {"begins with the line marker", u"@Lines:a\\nb"_s},
        {"multi-line with blanks at the ends", u" a\nb "_s},
        {"equals, semicolon and brackets", u"=a;b=[c]"_s},
        {"non-ASCII", u"\u00E9\u4E2D\U0001F600"_s},
        {"control character inside", u"a\u0001b"_s},
    };
    const SettingsStore store(path());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        ASSERT_TRUE(store.write(u"Value"_s, c.value, &error)) << error.toStdString();
        EXPECT_EQ(store.read(u"Value"_s), c.value);
    }
}

TEST_F(SettingsStoreTest, HandWrittenValuesReadAsTheProfileFunctionsReadThem)
{
    struct Case
    {
        const char *name;
        QByteArray file;
        QString key;
        QString value;
    };

    const std::vector<Case> cases = {
        {"single-line value with backslashes is taken as is", "[Settings]\nIgnoreURLs=http://a.com/\\n\\x\\\n",
         u"IgnoreURLs"_s, u"http://a.com/\\n\\x\\"_s},
        {"blanks around key and value", "[Settings]\n  Agent \t=  my agent  \n", u"Agent"_s, u"my agent"_s},
        {"one pair of quotes dropped", "[Settings]\nAgent=\"  q  \"\n", u"Agent"_s, u"  q  "_s},
        {"key in other letter case", "[settings]\nSTARTurl=x\n", u"StartURL"_s, u"x"_s},
        {"section with blanks in its header", " [ SETTINGS ] \nA=1\n", u"A"_s, u"1"_s},
        {"CR LF and CR line ends", "[Settings]\r\nA=1\r\nB=2\rC=3", u"C"_s, u"3"_s},
        {"no line end after the last value", "[Settings]\nA=last", u"A"_s, u"last"_s},
        {"first of two equal keys wins", "[Settings]\nA=1\na=2\n", u"A"_s, u"1"_s},
        {"first Settings section wins", "[Settings]\nA=1\n[Settings]\nA=2\nB=2\n", u"B"_s, u""_s},
        {"key of another section is not seen", "[Other]\nA=1\n[Settings]\nB=2\n", u"A"_s, u""_s},
        {"key before any section is not seen", "A=1\n[Settings]\n", u"A"_s, u""_s},
        {"line without equals is skipped", "[Settings]\nA\nA=2\n", u"A"_s, u"2"_s},
        {"value with equals signs", "[Settings]\nA=b=c\n", u"A"_s, u"b=c"_s},
        {"UTF-8 with byte-order mark", "\xEF\xBB\xBF[Settings]\nA=\xC3\xA9\n", u"A"_s, u"\u00E9"_s},
        {"invalid UTF-8 read as windows-1252", "[Settings]\nA=caf\xE9 \x80\n", u"A"_s, u"caf\u00E9 \u20AC"_s},
        {"UTF-8 cut off at the end read as windows-1252", "[Settings]\nA=caf\xC3", u"A"_s, u"caf\u00C3"_s},
        {"UTF-16 LE with byte-order mark", QByteArray("\xFF\xFE[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0\n\0A\0=\0\xE9\0", 30),
         u"A"_s, u"\u00E9"_s},
        {"UTF-16 BE with byte-order mark", QByteArray("\xFE\xFF\0[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0\n\0A\0=\0\xE9", 30),
         u"A"_s, u"\u00E9"_s},
        {"UTF-16 cut in the middle of a unit", QByteArray("\xFF\xFE[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0\n\0A\0=\0x", 29),
         u"A"_s, u""_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeAll(path(), c.file);
        EXPECT_EQ(SettingsStore(path()).read(c.key), c.value);
    }
}

TEST_F(SettingsStoreTest, WriteKeepsEverythingElseOfTheFile)
{
    struct Case
    {
        const char *name;
        QByteArray before;
        QString key;
        QString value;
        QByteArray after;
    };

    const std::vector<Case> cases = {
        {"existing key keeps its spelling and line end",
         "; comment\r\n[Other]\r\nStartURL=keep\r\n\r\n[settings]\r\nstarturl = old \r\nUnknown=1\r\n[Last]\r\nX=y",
         u"StartURL"_s, u"new"_s,
         "; comment\r\n[Other]\r\nStartURL=keep\r\n\r\n[settings]\r\nstarturl=new\r\nUnknown=1\r\n[Last]\r\nX=y"},
        {"new key goes after the section's last entry, before blank lines", "[Settings]\nA=1\n\n[Other]\nB=2\n", u"C"_s,
         u"3"_s, "[Settings]\nA=1\nC=3\n\n[Other]\nB=2\n"},
        {"new key in a section without entries", "[Settings]\n[Other]\n", u"C"_s, u"3"_s, "[Settings]\nC=3\n[Other]\n"},
        {"new key after a last line without line end", "[Settings]\r\nA=1", u"C"_s, u"3"_s,
         "[Settings]\r\nA=1\r\nC=3\r\n"},
        {"missing section appended with the file's line ends", "[Other]\r\nB=2", u"C"_s, u"3"_s,
         "[Other]\r\nB=2\r\n[Settings]\r\nC=3\r\n"},
        {"multi-line value uses the marker", "", u"IgnoreURLs"_s, u"a\n\nc\\"_s,
         "[Settings]\nIgnoreURLs=@Lines:a\\n\\nc\\\\\n"},
        {"UTF-8 byte-order mark kept", "\xEF\xBB\xBF[Settings]\nA=1\n", u"A"_s, u"\u00E9"_s,
         "\xEF\xBB\xBF[Settings]\nA=\xC3\xA9\n"},
        {"UTF-16 LE kept", QByteArray("\xFF\xFE[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0\n\0A\0=\0\x31\0", 30), u"A"_s, u"2"_s,
         QByteArray("\xFF\xFE[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0\n\0A\0=\0\x32\0", 30)},
        {"windows-1252 file rewritten as UTF-8", "[Settings]\n;caf\xE9\nA=1\n", u"A"_s, u"2"_s,
         "[Settings]\n;caf\xC3\xA9\nA=2\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path());
        if (!c.before.isEmpty()) {
            writeAll(path(), c.before);
        }
        QString error;
        ASSERT_TRUE(SettingsStore(path()).write(c.key, c.value, &error)) << error.toStdString();
        EXPECT_EQ(readAll(path()), c.after);
        EXPECT_EQ(SettingsStore(path()).read(c.key), c.value);
    }
}

TEST_F(SettingsStoreTest, LongValuesReadBackCutTo2047Characters)
{
    const SettingsStore store(path());
    const QString longValue(5000, u'x');
    ASSERT_TRUE(store.write(u"StartURL"_s, longValue));
    EXPECT_EQ(store.read(u"StartURL"_s), QString(2047, u'x'));
    EXPECT_TRUE(readAll(path()).contains(longValue.toUtf8())); // stored whole, cut only on reading

    // A surrogate pair across the limit is not split.
    ASSERT_TRUE(store.write(u"StartURL"_s, QString(2046, u'x') + u"\U0001F600"_s));
    EXPECT_EQ(store.read(u"StartURL"_s), QString(2046, u'x'));
}

TEST_F(SettingsStoreTest, RefusedWriteReportsTheFullPathAndKeepsTheFile)
{
    writeAll(path(u"plainfile"_s), "x");

    struct Case
    {
        const char *name;
        QString file;
    };

    const std::vector<Case> cases = {
        {"folder is a file", path(u"plainfile/settings.ini"_s)},
        {"missing folder", path(u"no/such/settings.ini"_s)},
        {"the file is a folder", m_dir.path()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(SettingsStore(c.file).write(u"StartURL"_s, u"x"_s, &error));
        EXPECT_EQ(error, u"Unable to write to "_s + QFileInfo(c.file).absoluteFilePath());
        EXPECT_EQ(SettingsStore(c.file).read(u"StartURL"_s), QString());
    }
    EXPECT_EQ(readAll(path(u"plainfile"_s)), QByteArray("x"));

    // An existing file whose replacement cannot be made (a name so long that no temporary file or
    // link can be made beside it, which fails even for root) keeps its old content.
    const QString longName = path(QString(250, u's'));
    writeAll(longName, "[Settings]\nStartURL=old\n");
    QString error;
    EXPECT_FALSE(SettingsStore(longName).write(u"StartURL"_s, u"new"_s, &error));
    EXPECT_EQ(error, u"Unable to write to "_s + longName);
    EXPECT_EQ(readAll(longName), QByteArray("[Settings]\nStartURL=old\n"));
}

TEST_F(SettingsStoreTest, RelativePathIsReportedInFull)
{
    const SettingsStore store(u"no-such-folder-here/settings.ini"_s);
    EXPECT_TRUE(QFileInfo(store.filePath()).isAbsolute());
    QString error;
    EXPECT_FALSE(store.write(u"A"_s, u"1"_s, &error));
    EXPECT_EQ(error,
              u"Unable to write to "_s + QDir::current().absoluteFilePath(u"no-such-folder-here/settings.ini"_s));
}

TEST_F(SettingsStoreTest, KeysThatCannotComeBackAreRefused)
{
    const SettingsStore store(path());
    for (const QString &key : {u""_s, u" A"_s, u"A="_s, u"[A]"_s, u"A\nB"_s}) {
        SCOPED_TRACE(key.toStdString());
        QString error;
        EXPECT_FALSE(store.write(key, u"1"_s, &error));
        EXPECT_TRUE(error.startsWith(u"Unable to write to "_s));
    }
    EXPECT_FALSE(QFileInfo::exists(path()));
}

TEST_F(SettingsStoreTest, GarbageFileReadsAndWritesWithoutCrashing)
{
    std::mt19937 random(42);
    QByteArray garbage(1 << 20, Qt::Uninitialized);
    for (char &b : garbage) {
        b = static_cast<char>(random() & 0xFF);
    }
    const std::vector<QByteArray> files = {
        garbage,
        QByteArray(QByteArray("\xFF\xFE") + garbage),
        QByteArray(4096, '\0'),
        QByteArray(QByteArray("[Settings]\n") + QByteArray(100000, '=')),
    };
    for (const QByteArray &bytes : files) {
        writeAll(path(), bytes);
        const SettingsStore store(path());
        EXPECT_LE(store.read(u"StartURL"_s).size(), SettingsStore::kMaxValueLength);
        ASSERT_TRUE(store.write(u"StartURL"_s, u"http://a.com/"_s));
        EXPECT_EQ(store.read(u"StartURL"_s), u"http://a.com/"_s);
    }
}

} // namespace quorvel::test
