#include "core/collect/LocalPage.h"

#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(LocalPage, AddressNamesTheAbsolutePath)
{
    EXPECT_TRUE(isLocalAddress(u"file:///home/u/a.html"_s));
    EXPECT_FALSE(isLocalAddress(u"FILE:///home/u/a.html"_s));
    EXPECT_FALSE(isLocalAddress(u"file://home/u/a.html"_s));
    EXPECT_EQ(localPathOf(u"file:///home/u/a b.html"_s), u"/home/u/a b.html"_s);
    EXPECT_EQ(localAddressOf(u"/home/u/a.html"_s), u"file:///home/u/a.html"_s);
}

TEST(LocalPage, DecodingFallsBackToWindows1252)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QString text;
    };

    const std::vector<Case> cases = {
        {"utf-8 with its byte-order mark skipped", "\xEF\xBB\xBF<p>\xC3\xA9</p>", u"<p>\u00E9</p>\r\n"_s},
        {"utf-8 without a mark", "a\xE2\x82\xAC\nb", u"a\u20AC\r\nb\r\n"_s},
        {"invalid utf-8 read as windows-1252", "caf\xE9\r\n\x80", u"caf\u00E9\r\n\u20AC\r\n"_s},
        {"a sequence cut off at the end is invalid", "caf\xC3", u"caf\u00C3\r\n"_s},
        {"NUL bytes kept", QByteArray("a\0b", 3), u"a\u0000b\r\n"_s},
        {"empty file", "", u""_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodeLocalFile(c.bytes), c.text);
    }
}

TEST(LocalPage, ReadFailuresAreReportedNotRaised)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(u"page.html"_s);
    writeAll(file, "<a href=\"x\">x</a>\n");
    const PageText ok = readLocalPage(localAddressOf(file));
    EXPECT_TRUE(ok.error.isEmpty());
    EXPECT_EQ(ok.text, u"<a href=\"x\">x</a>\r\n"_s);

    const PageText missing = readLocalPage(localAddressOf(dir.filePath(u"none.html"_s)));
    EXPECT_TRUE(missing.text.isEmpty());
    EXPECT_TRUE(missing.error.contains(u"none.html"_s)) << missing.error.toStdString();

    const PageText folder = readLocalPage(localAddressOf(dir.path()));
    EXPECT_TRUE(folder.text.isEmpty());
    EXPECT_FALSE(folder.error.isEmpty());

    if (::geteuid() != 0) { // root reads files whatever their mode
        QFile::setPermissions(file, QFileDevice::WriteOwner);
        EXPECT_FALSE(readLocalPage(localAddressOf(file)).error.isEmpty());
    }
}

// A FIFO with no writer would block the reader in open() for ever; a device never ends.
TEST(LocalPage, OnlyRegularFilesAreRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(u"fifo.html"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = dir.filePath(u"link.html"_s);
    ASSERT_TRUE(QFile::link(fifo, link));

    struct Case
    {
        const char *name;
        QString path;
    };

    const std::vector<Case> cases = {
        {"a FIFO", fifo},
        {"a symbolic link to a FIFO", link},
        {"a character device", u"/dev/zero"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PageText page = readLocalPage(localAddressOf(c.path));
        EXPECT_TRUE(page.text.isEmpty());
        EXPECT_TRUE(page.error.contains(u"Not a regular file"_s)) << page.error.toStdString();
        const FileBytes file = readRegularFile(c.path, 1024);
        EXPECT_TRUE(file.bytes.isEmpty());
        EXPECT_TRUE(file.error.contains(u"Not a regular file"_s)) << file.error.toStdString();
    }
}

TEST(LocalPage, ReadRegularFileKeepsToItsBound)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"list.txt"_s);
    writeAll(path, QByteArray(2 * 1024 * 1024, 'x'));

    struct Case
    {
        const char *name;
        qint64 maxBytes;
        bool ok;
    };

    const std::vector<Case> cases = {
        {"exactly the bound", 2 * 1024 * 1024, true},
        {"one byte over the bound", 2 * 1024 * 1024 - 1, false},
        {"far over the bound", 1024 * 1024, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const FileBytes file = readRegularFile(path, c.maxBytes);
        EXPECT_EQ(file.error.isEmpty(), c.ok) << file.error.toStdString();
        EXPECT_EQ(file.bytes.size(), c.ok ? 2 * 1024 * 1024 : 0);
        if (!c.ok) {
            EXPECT_TRUE(file.error.contains(u"larger than"_s)) << file.error.toStdString();
        }
    }
}

} // namespace quorvel::test
