// The readers of the program's own text files: the URL history (ReadTextLines, HistoryEkle) and
// the settings file (SettingsStore). Input: one byte of choices, a key and a value (one line each),
// then the file's bytes, written to a file in a temporary folder for every run.

#include "FuzzInput.h"

#include "core/app/SettingsStore.h"
#include "core/app/UrlHistory.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;
using namespace quorvel;

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    check(file.write(bytes) == bytes.size());
}

const std::array<QString, 4> kKeys = {u"StartURL"_s, u"Agent"_s, u"IgnoreURLS"_s, u"ShowOptions"_s};

void fuzzHistory(const QString &folder, uint8_t choice, const QString &url, const QByteArray &bytes)
{
    const QString path = QDir(folder).filePath(QString::fromUtf16(kHistoryFileName));
    writeFile(path, bytes);
    const auto encoding = (choice & 2) != 0 ? TextEncoding::Windows1252 : TextEncoding::Utf8;
    const TextLines read = ReadTextLines(path, encoding);
    check(read.status != TextLines::Status::ReadError);
    check(read.status != TextLines::Status::Ok || read.error.isEmpty());

    // An addition puts the address first and writes exactly the lines it hands back.
    const HistoryUpdate update = HistoryEkle(folder, url);
    check(update.error.isEmpty());
    if (!url.isEmpty()) {
        check(!update.lines.isEmpty() && update.lines.first() == url);
        check(update.lines.count(url) == 1);
        const TextLines again = ReadTextLines(path, TextEncoding::Utf8);
        check(again.status == TextLines::Status::Ok);
        // A line break inside the address, or a lone surrogate that UTF-8 cannot carry, cannot come
        // back as written; every other history does.
        const QString all = update.lines.join(u'\n');
        if (!url.contains(u'\r') && QString::fromUtf8(all.toUtf8()) == all) {
            check(again.lines == update.lines);
        }
    }
}

void fuzzSettings(const QString &folder, uint8_t choice, const QString &value, const QByteArray &bytes)
{
    const SettingsStore store = SettingsStore::inFolder(folder);
    writeFile(store.filePath(), bytes);
    std::array<QString, kKeys.size()> before;
    for (size_t i = 0; i < kKeys.size(); ++i) {
        before[i] = store.read(kKeys[i]);
        check(before[i].size() <= SettingsStore::kMaxValueLength);
    }

    // A written value reads back exactly, and every other key keeps its value.
    const size_t written = (choice >> 2) % kKeys.size();
    QString error;
    check(store.write(kKeys[written], value, &error));
    if (value.size() <= SettingsStore::kMaxValueLength) {
        check(store.read(kKeys[written]) == value);
    }
    for (size_t i = 0; i < kKeys.size(); ++i) {
        if (i != written) {
            check(store.read(kKeys[i]) == before[i]);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // On a memory file system when there is one: every write syncs the file, which on a disk
    // would take most of the run's time.
    static QTemporaryDir dir(QDir(u"/dev/shm"_s).exists() ? u"/dev/shm/quorvel-fuzz-XXXXXX"_s
                                                          : QDir::tempPath() + u"/quorvel-fuzz-XXXXXX"_s);
    check(dir.isValid());
    fuzz::FuzzInput in(data, size);
    const uint8_t choice = in.byte();
    const QString line = QString::fromUtf8(in.line());
    const QByteArray bytes = in.rest();
    if ((choice & 1) == 0) {
        fuzzHistory(dir.path(), choice, line, bytes);
    } else {
        fuzzSettings(dir.path(), choice, line, bytes);
    }
    return 0;
}
