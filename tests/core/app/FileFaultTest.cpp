#include "core/app/SettingsStore.h"
#include "core/app/UrlHistory.h"
#include "core/model/LinkRow.h"
#include "core/results/Export.h"
#include "support/FileFaults.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// Far beyond anything a read of a local file takes: a read that blocks is released and fails.
constexpr int kReleaseAfterMs = 20'000;

LinkRows manyRows(int count)
{
    LinkRows rows;
    for (int i = 0; i < count; ++i) {
        LinkRow row;
        row.link = u"http://h.test/page-%1.html"_s.arg(i);
        row.anchorText = u"page %1"_s.arg(i);
        rows.append(row);
    }
    return rows;
}

// One of the program's three file writers, pointed at a folder.
struct Writer
{
    const char *name;
    QString fileName;
    // Writes its file into the folder and returns the error ("" when it wrote).
    std::function<QString(const QString &folder)> write;
    // The message of a refused write starts with this, given the file's full path.
    std::function<QString(const QString &file)> errorPrefix;
    QByteArray previous; // what an existing file holds before the write; bigger than the new bytes
};

std::vector<Writer> writers()
{
    const auto cannotCreate = [](const QString &file) -> QString {
        return u"Cannot create file \""_s + file + u"\". "_s;
    };
    return {
        {"settings", u"settings.ini"_s,
         [](const QString &folder) {
             QString error;
             SettingsStore::inFolder(folder).write(u"StartURL"_s, u"http://new.test/"_s, &error);
             return error;
         },
         [](const QString &file) -> QString { return u"Unable to write to "_s + file; },
         "[Settings]\nStartURL=http://old.test/\nIgnoreURLs=" + QByteArray(4000, 'x') + "\n"},
        {"history", u"history.txt"_s,
         [](const QString &folder) { return HistoryEkle(folder, u"http://new.test/"_s).error; }, cannotCreate,
         "\xEF\xBB\xBF" + QByteArray("http://old.test/\r\n").repeated(200)},
        {"export", u"links.csv"_s,
         [](const QString &folder) {
             QString error;
             writeExportFile(QDir(folder).filePath(u"links.csv"_s), manyRows(200), u',', &error);
             return error;
         },
         cannotCreate, QByteArray("old export\r\n").repeated(10)},
    };
}

} // namespace

// Every writer, onto a target it must not replace or cannot fill: the write is refused with the
// writer's message, nothing blocks, and what was there keeps its bytes and its kind.
TEST(FileFaults, RefusedWritesKeepWhatWasThere)
{
    struct Target
    {
        const char *name;
        // Puts the target at the file's path; false when the system does not allow it here.
        std::function<bool(const QString &file, const QByteArray &previous)> make;
        rlim_t fileSizeLimit = RLIM_INFINITY; // a full disk, short of the new file's size
    };

    const std::vector<Target> targets = {
        {"a FIFO nobody writes to",
         [](const QString &file, const QByteArray &) {
             return makeFifo(file);
         }},
        {"a device",
         [](const QString &file, const QByteArray &) {
             return makeFullDevice(file);
         }},
        {"a link to a FIFO",
         [](const QString &file, const QByteArray &) {
             return makeFifo(file + u".fifo"_s) && QFile::link(file + u".fifo"_s, file);
         }},
        {"a disk that fills up during the write",
         [](const QString &file, const QByteArray &previous) {
             writeAll(file, previous);
             return true;
         },
         1024},
    };
    for (const Writer &writer : writers()) {
        for (const Target &target : targets) {
            SCOPED_TRACE(std::string(writer.name) + " onto " + target.name);
            QTemporaryDir dir;
            ASSERT_TRUE(dir.isValid());
            const QString file = dir.filePath(writer.fileName);
            if (!target.make(file, writer.previous)) {
                std::cout << "[ SKIPPED  ] " << writer.name << " onto " << target.name << ": not allowed here\n";
                continue;
            }
            const QString kindBefore = kindOf(file);
            const QByteArray bytesBefore = kindBefore == u"file"_s ? readAll(file) : QByteArray();
            const QStringList entriesBefore = QDir(dir.path()).entryList(QDir::AllEntries | QDir::System);

            QString error;
            {
                FileSizeLimit limit(target.fileSizeLimit);
                ASSERT_TRUE(limit.active() || target.fileSizeLimit == RLIM_INFINITY);
                FifoWatchdog watchdog({file, file + u".fifo"_s}, kReleaseAfterMs);
                error = writer.write(dir.path());
                EXPECT_TRUE(watchdog.dismiss()) << "the write blocked on a FIFO";
            }

            EXPECT_TRUE(error.startsWith(writer.errorPrefix(file))) << error.toStdString();
            EXPECT_EQ(kindOf(file), kindBefore);
            if (kindBefore == u"file"_s) {
                EXPECT_EQ(readAll(file), bytesBefore);
            }
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System), entriesBefore)
                << "no temporary file is left behind";
        }
    }
}

// settings.ini and history.txt that cannot be this program's (a FIFO, a device, far too big) read as
// empty without blocking, and are never replaced by a later write.
TEST(FileFaults, StrayFilesReadAsEmptyAndStay)
{
    const QByteArray settingsHead = "[Settings]\nStartURL=http://kept.test/\n";
    const QByteArray historyHead = "\xEF\xBB\xBFhttp://kept.test/\r\n";

    struct Case
    {
        const char *name;
        std::function<bool(const QString &file, const QByteArray &head)> make;
        QString historyReason; // why an addition to such a history is refused
    };

    const std::vector<Case> cases = {
        {"100 MB", [](const QString &file, const QByteArray &head) { return makeHugeFile(file, head, 100'000'000); },
         u"The history is larger than 16 MiB and is left as it is."_s},
        {"a FIFO nobody writes to", [](const QString &file, const QByteArray &) { return makeFifo(file); },
         u"Not a regular file"_s},
        {"a device", [](const QString &file, const QByteArray &) { return makeFullDevice(file); },
         u"Not a regular file"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString settings = dir.filePath(u"settings.ini"_s);
        const QString history = dir.filePath(u"history.txt"_s);
        if (!c.make(settings, settingsHead) || !c.make(history, historyHead)) {
            std::cout << "[ SKIPPED  ] " << c.name << ": not allowed here\n";
            continue;
        }
        const qint64 settingsSize = QFileInfo(settings).size();
        const qint64 historySize = QFileInfo(history).size();
        const QString kind = kindOf(settings);

        FifoWatchdog watchdog({settings, history}, kReleaseAfterMs);
        const SettingsStore store(settings);
        EXPECT_EQ(store.read(u"StartURL"_s), QString());
        QString error;
        EXPECT_FALSE(store.write(u"StartURL"_s, u"http://new.test/"_s, &error));
        EXPECT_EQ(error, u"Unable to write to "_s + settings);

        const HistoryUpdate loaded = HistoryEkle(dir.path(), QString());
        EXPECT_EQ(loaded.lines, QStringList());
        EXPECT_EQ(loaded.error, QString()) << "a history that cannot be read loads silently";
        const HistoryUpdate added = HistoryEkle(dir.path(), u"http://new.test/"_s);
        EXPECT_EQ(added.error, u"Cannot create file \""_s + history + u"\". "_s + c.historyReason);
        EXPECT_EQ(added.lines, QStringList{u"http://new.test/"_s}) << "the run goes on with the new address";
        EXPECT_TRUE(watchdog.dismiss()) << "a read blocked on a FIFO";

        EXPECT_EQ(kindOf(settings), kind);
        EXPECT_EQ(kindOf(history), kind);
        EXPECT_EQ(QFileInfo(settings).size(), settingsSize);
        EXPECT_EQ(QFileInfo(history).size(), historySize);
        if (kind == u"file"_s) {
            EXPECT_TRUE(readAll(settings).startsWith(settingsHead));
            EXPECT_TRUE(readAll(history).startsWith(historyHead));
        }
    }
}

// Neither file is written so big that it could not be read back; the refused write keeps the file.
TEST(FileFaults, NoWriteGrowsAFilePastWhatIsRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    const QString settings = dir.filePath(u"settings.ini"_s);
    const QByteArray nearlyFull = "[Settings]\nIgnoreURLs=" + QByteArray(SettingsStore::kMaxFileBytes - 60, 'x') + "\n";
    writeAll(settings, nearlyFull);
    const SettingsStore store(settings);
    EXPECT_TRUE(store.write(u"StartURL"_s, u"http://a.test/"_s)) << "a write that stays under the limit";
    const QByteArray written = readAll(settings);
    QString error;
    EXPECT_FALSE(store.write(u"Agent"_s, QString(100, u'a'), &error));
    EXPECT_EQ(error, u"Unable to write to "_s + settings);
    EXPECT_EQ(readAll(settings), written);
    EXPECT_EQ(store.read(u"StartURL"_s), u"http://a.test/"_s);

    const QString history = dir.filePath(u"history.txt"_s);
    const QByteArray entry = "http://an.address.test/with/a/path\r\n";
    const QByteArray fullHistory = "\xEF\xBB\xBF" + entry.repeated(kMaxHistoryBytes / entry.size());
    writeAll(history, fullHistory);
    const HistoryUpdate added = HistoryEkle(dir.path(), u"http://one.more.test/"_s + QString(80, u'x'));
    EXPECT_EQ(added.error, u"Cannot create file \""_s + history +
                               u"\". The history would grow beyond 16 MiB and is left as it is."_s);
    EXPECT_EQ(readAll(history), fullHistory);
}

// The URL box lists the most recent entries only; the file keeps every entry.
TEST(FileFaults, TheUrlBoxListsABoundedHistory)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList entries;
    for (int i = 0; i < kHistoryListEntries * 2; ++i) {
        entries.append(u"http://site%1.test/"_s.arg(i));
    }
    writeAll(dir.filePath(u"history.txt"_s), historyBytes(entries));

    const HistoryUpdate loaded = HistoryEkle(dir.path(), QString());
    EXPECT_EQ(loaded.lines, entries.first(kHistoryListEntries));

    const HistoryUpdate added = HistoryEkle(dir.path(), u"http://new.test/"_s);
    EXPECT_EQ(added.error, QString());
    ASSERT_EQ(added.lines.size(), kHistoryListEntries);
    EXPECT_EQ(added.lines.first(), u"http://new.test/"_s);
    EXPECT_EQ(readAll(dir.filePath(u"history.txt"_s)), historyBytes(QStringList{u"http://new.test/"_s} + entries));
}

} // namespace quorvel::test
