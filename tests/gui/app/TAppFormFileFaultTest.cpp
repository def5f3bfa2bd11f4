#include "gui/app/AppFormDriver.h"
#include "gui/app/TAppForm.h"
#include "gui/results/ResultsModel.h"
#include "support/FileFaults.h"
#include "support/Fixtures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// Far beyond a start-up of the window: a read that blocks on a FIFO is released and the test fails.
constexpr int kReleaseAfterMs = 20'000;

const QString kPageHtml = u"<a href=\"http://h.test/1\">one</a><a href=\"http://h.test/2\">two</a>"_s;
const QStringList kPageLinks = {u"http://h.test/1"_s, u"http://h.test/2"_s};

QString kindOrSize(const QString &path)
{
    const QString kind = kindOf(path);
    return kind == u"file"_s ? QString::number(QFileInfo(path).size()) : kind;
}

// UTF-16 LE with its byte-order mark, then half of a code unit: a file cut short.
QByteArray utf16CutShort(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text) {
        bytes += char(c.unicode() & 0xFF);
        bytes += char(c.unicode() >> 8);
    }
    return bytes + 'x';
}

QStringList textsOf(const std::vector<SeenDialog> &seen)
{
    QStringList texts;
    for (const SeenDialog &dialog : seen) {
        texts.append(dialog.text);
    }
    return texts;
}

} // namespace

// settings.ini and history.txt of every broken kind: the window starts at once without a message,
// a change and a Check show what could not be written, the Check still collects, and files that are
// not the program's keep their bytes.
TEST(TAppFormFileFaults, StrayFilesAtStartUp)
{
    QByteArray binary(64 * 1024, '\0');
    for (qsizetype i = 0; i < binary.size(); ++i) {
        binary[i] = char((i * 7919) % 251); // NULs and every byte value, CR and LF among them
    }

    struct Case
    {
        const char *name;
        // Puts the fault at both paths; false when the system does not allow it here.
        std::function<bool(const QString &settings, const QString &history)> make;
        QString startUrl;      // what the URL box shows after start-up; empty: the default
        qsizetype historyRows; // entries of the URL box's list after start-up
        bool settingsWritable;
        QString historyRefusal; // why a Check cannot add to the history; empty: it can
    };

    const std::vector<Case> cases = {
        {"100 MB each",
         [](const QString &settings, const QString &history) {
             return makeHugeFile(settings, "[Settings]\nStartURL=http://big.test/\n", 100'000'000) &&
                    makeHugeFile(history, "\xEF\xBB\xBFhttp://big.test/\r\n", 100'000'000);
         },
         QString(), 0, false, u"The history is larger than 16 MiB and is left as it is."_s},
        {"FIFOs nobody writes to",
         [](const QString &settings, const QString &history) { return makeFifo(settings) && makeFifo(history); },
         QString(), 0, false, u"Not a regular file"_s},
        {"devices",
         [](const QString &settings, const QString &history) {
             return makeFullDevice(settings) && makeFullDevice(history);
         },
         QString(), 0, false, u"Not a regular file"_s},
        {"binary bytes with NULs",
         [&binary](const QString &settings, const QString &history) {
             writeAll(settings, binary);
             writeAll(history, binary);
             return true;
         },
         QString(), -1, true, QString()},
        {"UTF-16 cut in the middle of a unit",
         [](const QString &settings, const QString &history) {
             writeAll(settings, utf16CutShort(u"[Settings]\nStartURL=http://u.test/"_s));
             writeAll(history, utf16CutShort(u"http://u.test/\r\nhttp://v.test/"_s));
             return true;
         },
         u"http://u.test/"_s, 2, true, QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox sandbox;
        if (!c.make(sandbox.settingsPath(), sandbox.historyPath())) {
            std::cout << "[ SKIPPED  ] " << c.name << ": not allowed here\n";
            continue;
        }
        const QString settingsBefore = kindOrSize(sandbox.settingsPath());
        const QString historyBefore = kindOrSize(sandbox.historyPath());

        FifoWatchdog watchdog({sandbox.settingsPath(), sandbox.historyPath()}, kReleaseAfterMs);
        const auto form = sandbox.open();
        ASSERT_TRUE(watchdog.dismiss()) << "start-up blocked on a FIFO";
        EXPECT_TRUE(sandbox.dialogs.seen().empty()) << "files that cannot be read load silently";
        auto &urlBox = child<QComboBox>(*form, u"Edit1"_s);
        if (!c.startUrl.isEmpty()) {
            EXPECT_EQ(urlBox.currentText(), c.startUrl);
        }
        if (c.historyRows >= 0) {
            EXPECT_EQ(urlBox.count(), c.historyRows);
        }

        typeInto(child<QLineEdit>(*form, u"Edit3"_s), u"7000"_s);
        const QStringList afterChange = textsOf(sandbox.dialogs.seen());
        EXPECT_EQ(afterChange, c.settingsWritable ? QStringList()
                                                  : QStringList(4, u"Unable to write to "_s + sandbox.settingsPath()))
            << "one message per keystroke";
        sandbox.dialogs.clear();

        const QString page = sandbox.page(u"a.html"_s, kPageHtml);
        ASSERT_TRUE(collect(*form, page));
        EXPECT_EQ(linksOf(*form->resultsModel()), kPageLinks);
        // The address typed into the box is stored as the start address, then added to the history.
        QStringList expected;
        if (!c.settingsWritable) {
            expected.append(u"Unable to write to "_s + sandbox.settingsPath());
        }
        if (!c.historyRefusal.isEmpty()) {
            expected.append(u"Cannot create file \""_s + sandbox.historyPath() + u"\". "_s + c.historyRefusal);
        }
        EXPECT_EQ(textsOf(sandbox.dialogs.seen()), expected);
        if (!c.settingsWritable) {
            EXPECT_EQ(kindOrSize(sandbox.settingsPath()), settingsBefore);
        }
        if (!c.historyRefusal.isEmpty()) {
            EXPECT_EQ(kindOrSize(sandbox.historyPath()), historyBefore);
        }
        ASSERT_GE(urlBox.count(), 1);
        EXPECT_EQ(urlBox.itemText(0), page) << "the box lists the address the run went on with";
    }
}

// The data folder stops taking writes while the window runs: every change and every Check says so,
// the Check still collects, and what the folder held is still there once it is writable again.
TEST(TAppFormFileFaults, DataFolderTurnsReadOnlyWhileRunning)
{
    struct Case
    {
        const char *name;
        // Makes the folder refuse new files; returns the undo, or nothing when not possible here.
        std::function<std::optional<std::function<void()>>(const QString &folder)> lock;
    };

    const std::vector<Case> cases = {
        {"a regular file put in its place",
         [](const QString &folder) -> std::optional<std::function<void()>> {
             const QString aside = folder + u".aside"_s;
             if (!QDir().rename(folder, aside)) {
                 return std::nullopt;
             }
             writeAll(folder, "not a folder");
             return [folder, aside] {
                 QFile::remove(folder);
                 QDir().rename(aside, folder);
             };
         }},
        {"made immutable",
         [](const QString &folder) -> std::optional<std::function<void()>> {
             if (QProcess::execute(u"chattr"_s, {u"+i"_s, folder}) != 0) {
                 return std::nullopt;
             }
             return [folder] {
                 QProcess::execute(u"chattr"_s, {u"-i"_s, folder});
             };
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox sandbox;
        const QString page = sandbox.page(u"a.html"_s, kPageHtml);
        const auto form = sandbox.open();
        child<QCheckBox>(*form, u"CheckBox3"_s).click();
        ASSERT_TRUE(collect(*form, page));
        ASSERT_TRUE(sandbox.dialogs.seen().empty());
        const QByteArray settings = readAll(sandbox.settingsPath());
        const QByteArray history = readAll(sandbox.historyPath());

        const std::optional<std::function<void()>> undo = c.lock(sandbox.programFolder());
        if (!undo) {
            std::cout << "[ SKIPPED  ] " << c.name << ": not possible here\n";
            continue;
        }
        auto unlock = qScopeGuard(*undo);

        child<QCheckBox>(*form, u"CheckBox3"_s).click();
        ASSERT_EQ(textsOf(sandbox.dialogs.seen()), QStringList{u"Unable to write to "_s + sandbox.settingsPath()});
        sandbox.dialogs.clear();
        const QString other = sandbox.page(u"b.html"_s, kPageHtml);
        ASSERT_TRUE(collect(*form, other));
        // The new address as the start address, then as the first history entry.
        ASSERT_EQ(sandbox.dialogs.seen().size(), 2u);
        EXPECT_EQ(sandbox.dialogs.seen().front().text, u"Unable to write to "_s + sandbox.settingsPath());
        EXPECT_TRUE(sandbox.dialogs.seen().back().text.startsWith(u"Cannot create file \""_s + sandbox.historyPath() +
                                                                  u"\". "_s))
            << sandbox.dialogs.seen().back().text.toStdString();
        EXPECT_EQ(linksOf(*form->resultsModel()), kPageLinks);
        EXPECT_EQ(child<QComboBox>(*form, u"Edit1"_s).itemText(0), other);

        unlock.dismiss();
        (*undo)();
        EXPECT_EQ(readAll(sandbox.settingsPath()), settings);
        EXPECT_EQ(readAll(sandbox.historyPath()), history);
    }
}

// An export that cannot be written (a full disk, a device, a folder that is a file) says so, leaves
// what was at the target, and the window goes on.
TEST(TAppFormFileFaults, ExportOntoABadTarget)
{
    struct Case
    {
        const char *name;
        QString fileName;
        // Prepares the target; false when the system does not allow it here.
        std::function<bool(const QString &path)> make;
        rlim_t fileSizeLimit = RLIM_INFINITY; // a disk that fills up during the export
    };

    const std::vector<Case> cases = {
        {"a disk that fills up", u"links.csv"_s,
         [](const QString &path) {
             writeAll(path, "the export of yesterday\r\n");
             return true;
         },
         8192},
        {"a device", u"full.txt"_s,
         [](const QString &path) {
             return makeFullDevice(path);
         }},
        {"a FIFO", u"fifo.csv"_s,
         [](const QString &path) {
             return makeFifo(path);
         }},
        {"under a regular file", u"file/links.csv"_s,
         [](const QString &path) {
             writeAll(QFileInfo(path).path(), "a file, not a folder");
             return true;
         }},
    };
    Sandbox sandbox;
    QString html;
    for (int i = 0; i < 500; ++i) {
        html += u"<a href=\"http://h.test/page-%1.html\">page %1</a>\n"_s.arg(i);
    }
    const QString page = sandbox.page(u"many.html"_s, html);
    const auto form = sandbox.open();
    QTemporaryDir target;
    ASSERT_TRUE(target.isValid());

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(collect(*form, page));
        ASSERT_EQ(form->resultsModel()->rowCount(), 500);
        const QString folder = target.filePath(QString::fromLatin1(c.name));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString path = QDir(folder).filePath(c.fileName);
        if (!c.make(path)) {
            std::cout << "[ SKIPPED  ] " << c.name << ": not allowed here\n";
            continue;
        }
        const QString before = kindOf(path);
        const QByteArray bytesBefore = before == u"file"_s ? readAll(path) : QByteArray();
        const auto entries = [&folder] {
            return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
        };
        const QStringList entriesBefore = entries();

        std::optional<FileSizeLimit> limit;
        sandbox.dialogs.clear();
        sandbox.dialogs.answerWith(ModalAnswerer::onFileDialog([&](QFileDialog &files) {
            // As if the user answered Yes to replacing what is there.
            files.setOption(QFileDialog::DontConfirmOverwrite);
            files.selectFile(path);
            if (c.fileSizeLimit != RLIM_INFINITY) {
                limit.emplace(c.fileSizeLimit);
            }
            static_cast<QDialog &>(files).accept();
        }));
        {
            FifoWatchdog watchdog({path}, kReleaseAfterMs);
            child<QPushButton>(*form, u"Button3"_s).click();
            EXPECT_TRUE(watchdog.dismiss()) << "the export blocked on a FIFO";
        }
        limit.reset();
        sandbox.dialogs.answerWith({});

        ASSERT_EQ(sandbox.dialogs.seen().size(), 2u) << "the save dialog, then the error";
        EXPECT_TRUE(sandbox.dialogs.seen().back().text.startsWith(u"Cannot create file \""_s + path + u"\". "_s))
            << sandbox.dialogs.seen().back().text.toStdString();
        EXPECT_EQ(kindOf(path), before);
        if (before == u"file"_s) {
            EXPECT_EQ(readAll(path), bytesBefore);
        }
        EXPECT_EQ(entries(), entriesBefore) << "no temporary file is left behind";
    }
    // The window goes on: the next Check collects as before.
    ASSERT_TRUE(collect(*form, page));
    EXPECT_EQ(form->resultsModel()->rowCount(), 500);
}

} // namespace quorvel::test
