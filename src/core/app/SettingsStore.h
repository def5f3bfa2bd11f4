#pragma once

#include <QString>

namespace quorvel {

// The file name of the options inside the data folder.
inline constexpr const char16_t *kSettingsFileName = u"settings.ini";

// The "Settings" section of one INI file, read and written the way the Windows profile-string
// functions do: nothing is cached (every read reads the file), every write goes straight to disk,
// a missing file or key reads as empty, the file is created by the first write. Used on the UI
// thread; it holds only the path, so copies are cheap.
//
// Format: UTF-8 without byte-order mark, lines "key=value" under a "[Settings]" header, new lines
// ended by LF. A file with a UTF-8 or UTF-16 byte-order mark is read as such and keeps its encoding
// when written; a file that is not valid UTF-8 is read as windows-1252 (hand-edited with an old
// editor) and rewritten as UTF-8. Section names and keys are compared ignoring the case of ASCII
// letters; blanks and control characters around keys and values are ignored, and one pair of
// matching quotes around a value is dropped, as the profile functions do.
//
// Values round-trip exactly. A value the plain form cannot carry (line breaks, or text that begins
// with the marker) is stored as "@Lines:" followed by the text with "\\", "\n" and "\r" escaped;
// a value with blanks or control characters at an end, or enclosed in matching quotes, is stored
// inside a pair of double quotes. Any other value, backslashes included, is stored as written, so a
// plain value written by hand or by an older version reads back unchanged.
class SettingsStore
{
public:
    // The profile functions hand back at most this many characters of a value.
    static constexpr qsizetype kMaxValueLength = 2047;
    // A larger file is not this program's: it reads as missing and is never replaced, so a stray
    // huge file neither stalls the window (every read reads the whole file) nor gets lost.
    static constexpr qint64 kMaxFileBytes = 4 << 20;

    // filePath is made absolute at once: it is the path shown in write errors.
    explicit SettingsStore(const QString &filePath);

    // The store of the data folder: folder + "settings.ini".
    static SettingsStore inFolder(const QString &dataFolder);

    const QString &filePath() const { return m_filePath; }

    // The value of key in the "Settings" section, cut to kMaxValueLength characters; empty when the
    // file, the section or the key is missing, or the file cannot be read. Only a regular file is
    // read (a FIFO would block until some writer came), and only up to kMaxFileBytes.
    QString read(const QString &key) const;

    // Sets key to value by atomic replace of the whole file, keeping every other line as it was.
    // On failure returns false, sets error to "Unable to write to <full path>" and leaves the file
    // as it was. An existing file that cannot be read (see read) is never replaced, and no file
    // larger than kMaxFileBytes is written.
    bool write(const QString &key, const QString &value, QString *error = nullptr) const;

private:
    QString m_filePath;
};

} // namespace quorvel
