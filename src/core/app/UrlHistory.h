#pragma once

#include <QString>
#include <QStringList>

namespace quorvel {

// The file name of the URL history inside the data folder.
inline constexpr const char16_t *kHistoryFileName = u"history.txt";

// A larger history is not this program's: it is not read and never replaced (every Check reads and
// rewrites the whole file on the window's thread).
inline constexpr qint64 kMaxHistoryBytes = 16 << 20;
// The URL box lists at most this many entries, the most recent; the file keeps them all.
inline constexpr qsizetype kHistoryListEntries = 10'000;

// The encoding a text file is decoded with when it has no byte-order mark.
enum class TextEncoding
{
    Utf8,
    Windows1252
};

// The lines of a text file, or why they could not be had.
struct TextLines
{
    enum class Status
    {
        Ok,
        DecodeError,
        ReadError
    };

    // Every line read. With DecodeError: the whole text decoded with U+FFFD in place of the bad
    // bytes (what was read); with ReadError: empty.
    QStringList lines;
    Status status = Status::Ok;
    QString error; // empty when status is Ok
};

// Reads a text file into lines. Anything but a regular file is a ReadError, never opened (a FIFO
// would block until some writer came). A byte-order mark (UTF-8, UTF-16 LE or BE) decides the encoding;
// otherwise the given one is used. Invalid UTF-8 is a DecodeError, so the caller can try again in
// windows-1252; UTF-16 is decoded leniently (a truncated last byte is dropped). Lines are split at
// CR LF, LF and CR; empty lines are kept; a line end at the end of the file adds no empty line.
TextLines ReadTextLines(const QString &path, TextEncoding encoding);

// The outcome of HistoryEkle: the entries for the URL box's list, and the write error if any.
struct HistoryUpdate
{
    QStringList lines; // the first kHistoryListEntries entries of the history
    QString error;     // "Cannot create file "<full path>". <reason>", or empty
};

// "Ekle" = add. Reads dataFolder + "history.txt" (UTF-8, falling back to windows-1252, then to
// whatever was read; never an error). With a non-empty url: removes every entry exactly equal to it,
// puts it first and rewrites the file by atomic replace as UTF-8 with a byte-order mark and CR LF
// after every entry. The lines come back even when the write failed, with url first, so the caller
// can show the error and go on. An existing history that cannot be read at all (not a regular file,
// larger than kMaxHistoryBytes) is never replaced (that would lose it): the addition is then
// reported as a failed write. UI thread.
HistoryUpdate HistoryEkle(const QString &dataFolder, const QString &url);

// The file a history addition writes: UTF-8 byte-order mark, every entry followed by CR LF.
QByteArray historyBytes(const QStringList &lines);

// The one-line text Ctrl+V puts into the URL box: every CR LF, then every LF, then every CR
// becomes one blank.
QString pasteText(const QString &clipboardText);

} // namespace quorvel
