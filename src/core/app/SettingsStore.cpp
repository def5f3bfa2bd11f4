#include "core/app/SettingsStore.h"

#include "core/common/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

constexpr QStringView kSection = u"Settings";
// Begins a value stored with escaped line breaks; see the class comment.
constexpr QStringView kLinesMarker = u"@Lines:";

enum class FileEncoding
{
    Utf8,
    Utf8Bom,
    Utf16Le,
    Utf16Be
};

struct IniText
{
    QString text;
    FileEncoding encoding = FileEncoding::Utf8;
};

IniText decodeIni(const QByteArray &bytes)
{
    IniText ini;
    const auto decodeWith = [&bytes](QStringDecoder::Encoding encoding, qsizetype bomSize) {
        // The mark itself is skipped here; a second one inside the text stays a character.
        QByteArrayView body = QByteArrayView(bytes).sliced(bomSize);
        if (encoding != QStringDecoder::Utf8 && body.size() % 2 != 0) {
            body.chop(1); // half a code unit: the file was cut short
        }
        QStringDecoder decoder(encoding, QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
        return QString(decoder.decode(body));
    };
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        ini.encoding = FileEncoding::Utf8Bom;
        ini.text = decodeWith(QStringDecoder::Utf8, 3);
    } else if (bytes.startsWith("\xFF\xFE")) {
        ini.encoding = FileEncoding::Utf16Le;
        ini.text = decodeWith(QStringDecoder::Utf16LE, 2);
    } else if (bytes.startsWith("\xFE\xFF")) {
        ini.encoding = FileEncoding::Utf16Be;
        ini.text = decodeWith(QStringDecoder::Utf16BE, 2);
    } else {
        // Stateless: a sequence cut off at the end of the file counts as invalid.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        ini.text = utf8.decode(bytes);
        if (utf8.hasError()) {
            ini.text = decodeWindows1252(bytes);
        }
    }
    return ini;
}

QByteArray encodeIni(const QString &text, FileEncoding encoding)
{
    switch (encoding) {
    case FileEncoding::Utf8:
        return text.toUtf8();
    case FileEncoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case FileEncoding::Utf16Le: {
        QStringEncoder encoder(QStringEncoder::Utf16LE);
        return QByteArray("\xFF\xFE") + QByteArray(encoder.encode(text));
    }
    case FileEncoding::Utf16Be: {
        QStringEncoder encoder(QStringEncoder::Utf16BE);
        return QByteArray("\xFE\xFF") + QByteArray(encoder.encode(text));
    }
    }
    return text.toUtf8();
}

bool equalsAsciiCI(QStringView a, QStringView b)
{
    return a.size() == b.size() && startsWithAsciiCI(a, b);
}

std::optional<QStringView> sectionName(QStringView content)
{
    QStringView name = trimControl(content);
    if (!name.startsWith(u'[')) {
        return std::nullopt;
    }
    name = name.sliced(1);
    const qsizetype close = name.indexOf(u']');
    if (close >= 0) {
        name = name.first(close);
    }
    return trimControl(name);
}

struct Entry
{
    QStringView key;
    QStringView rawValue;
};

std::optional<Entry> entryOf(QStringView content)
{
    const qsizetype equals = content.indexOf(u'=');
    if (equals < 0) {
        return std::nullopt;
    }
    return Entry{trimControl(content.first(equals)), content.sliced(equals + 1)};
}

// Where the key sits in the first "Settings" section, and the last non-blank line of that section
// (the header when it has no entries), after which a new key goes.
struct Location
{
    qsizetype sectionLine = -1;
    qsizetype keyLine = -1;
    qsizetype lastEntryLine = -1;
};

Location locate(QStringView text, const QList<LineSpan> &lines, QStringView key)
{
    Location loc;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringView content = text.sliced(lines[i].start, lines[i].contentEnd - lines[i].start);
        if (const auto name = sectionName(content)) {
            if (inSection) {
                break;
            }
            if (equalsAsciiCI(*name, kSection)) {
                loc.sectionLine = i;
                loc.lastEntryLine = i;
                inSection = true;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (!trimControl(content).isEmpty()) {
            loc.lastEntryLine = i;
        }
        if (loc.keyLine < 0) {
            const auto entry = entryOf(content);
            if (entry && equalsAsciiCI(entry->key, key)) {
                loc.keyLine = i;
            }
        }
    }
    return loc;
}

QStringView contentOf(QStringView text, const LineSpan &line)
{
    return text.sliced(line.start, line.contentEnd - line.start);
}

bool isQuotedPair(QStringView v)
{
    return v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front();
}

QString unescapeLines(QStringView body)
{
    QString out;
    out.reserve(body.size());
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body[i];
        if (c != u'\\' || i + 1 == body.size()) {
            out.append(c);
            continue;
        }
        const QChar next = body[++i];
        if (next == u'\\') {
            out.append(u'\\');
        } else if (next == u'n') {
            out.append(u'\n');
        } else if (next == u'r') {
            out.append(u'\r');
        } else {
            out.append(c);
            out.append(next);
        }
    }
    return out;
}

QString escapeLines(const QString &value)
{
    QString out;
    out.reserve(value.size() + value.size() / 8 + 1);
    for (const QChar c : value) {
        if (c == u'\\') {
            out.append(u"\\\\");
        } else if (c == u'\n') {
            out.append(u"\\n");
        } else if (c == u'\r') {
            out.append(u"\\r");
        } else {
            out.append(c);
        }
    }
    return out;
}

QString decodeValue(QStringView raw)
{
    QStringView value = trimControl(raw);
    if (isQuotedPair(value)) {
        value = value.sliced(1, value.size() - 2);
    }
    if (value.startsWith(kLinesMarker)) {
        return unescapeLines(value.sliced(kLinesMarker.size()));
    }
    return value.toString();
}

QString encodeValue(const QString &value)
{
    QString stored = value;
    if (value.contains(u'\n') || value.contains(u'\r') || value.startsWith(kLinesMarker)) {
        stored = kLinesMarker.toString() + escapeLines(value);
    }
    if (!stored.isEmpty() &&
        (stored.front().unicode() <= 32 || stored.back().unicode() <= 32 || isQuotedPair(stored))) {
        stored = u'"' + stored + u'"';
    }
    return stored;
}

QString cutToReadLimit(QString value)
{
    if (value.size() > SettingsStore::kMaxValueLength) {
        value.truncate(SettingsStore::kMaxValueLength);
        // Never hand back half of a surrogate pair.
        if (value.back().isHighSurrogate()) {
            value.chop(1);
        }
    }
    return value;
}

// Keys are program constants; refuse anything that would not come back as the same key.
bool isUsableKey(const QString &key)
{
    return !key.isEmpty() && trimControl(QStringView(key)).size() == key.size() && !key.contains(u'=') &&
           !key.contains(u'\n') && !key.contains(u'\r') && !key.startsWith(u'[');
}

// The bytes of the file, or nothing when it cannot be read; see SettingsStore::read.
std::optional<QByteArray> readIniBytes(const QString &path)
{
    if (!QFileInfo(path).isFile()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray bytes = file.read(SettingsStore::kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > SettingsStore::kMaxFileBytes) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace

SettingsStore::SettingsStore(const QString &filePath)
    : m_filePath(QFileInfo(filePath).absoluteFilePath())
{}

SettingsStore SettingsStore::inFolder(const QString &dataFolder)
{
    return SettingsStore(QDir(dataFolder).filePath(QString::fromUtf16(kSettingsFileName)));
}

QString SettingsStore::read(const QString &key) const
{
    const std::optional<QByteArray> bytes = readIniBytes(m_filePath);
    if (!bytes) {
        return {};
    }
    const IniText ini = decodeIni(*bytes);
    const QList<LineSpan> lines = lineSpans(ini.text);
    const Location loc = locate(ini.text, lines, key);
    if (loc.keyLine < 0) {
        return {};
    }
    const auto entry = entryOf(contentOf(ini.text, lines[loc.keyLine]));
    return cutToReadLimit(decodeValue(entry->rawValue));
}

namespace {

// The settings text with `key` set to `value`: a key already there keeps its spelling and only its
// value changes; a new key goes after the section's last entry, or into a new section at the end.
// Line ends follow the file's own.
QString withEntry(const QString &text, const QString &key, const QString &value)
{
    const QList<LineSpan> lines = lineSpans(text);
    const Location loc = locate(text, lines, key);
    QString lineEnd = u"\n"_s;
    for (const LineSpan &line : lines) {
        if (line.end > line.contentEnd) {
            lineEnd = text.sliced(line.contentEnd, line.end - line.contentEnd);
            break;
        }
    }

    QString updated;
    if (loc.keyLine >= 0) {
        // Keep the key as the file spells it; only the value changes.
        const LineSpan &line = lines[loc.keyLine];
        const auto entry = entryOf(contentOf(text, line));
        updated.append(QStringView(text).first(line.start));
        updated.append(entry->key);
        updated.append(u'=');
        updated.append(encodeValue(value));
        updated.append(QStringView(text).sliced(line.contentEnd));
    } else {
        const QString newEntry = key + u'=' + encodeValue(value);
        if (loc.sectionLine >= 0) {
            const LineSpan &after = lines[loc.lastEntryLine];
            updated.append(QStringView(text).first(after.end));
            if (after.end == after.contentEnd) {
                updated.append(lineEnd);
            }
            updated.append(newEntry);
            updated.append(lineEnd);
            updated.append(QStringView(text).sliced(after.end));
        } else {
            updated = text;
            if (!text.isEmpty() && !text.endsWith(u'\n') && !text.endsWith(u'\r')) {
                updated.append(lineEnd);
            }
            updated.append(u'[');
            updated.append(kSection);
            updated.append(u']');
            updated.append(lineEnd);
            updated.append(newEntry);
            updated.append(lineEnd);
        }
    }
    return updated;
}

} // namespace

bool SettingsStore::write(const QString &key, const QString &value, QString *error) const
{
    const auto fail = [&] {
        if (error) {
            *error = u"Unable to write to %1"_s.arg(m_filePath);
        }
        return false;
    };
    if (!isUsableKey(key)) {
        return fail();
    }

    IniText ini;
    if (QFileInfo::exists(m_filePath)) {
        const std::optional<QByteArray> bytes = readIniBytes(m_filePath);
        if (!bytes) {
            return fail();
        }
        ini = decodeIni(*bytes);
    }

    const QString updated = withEntry(ini.text, key, value);

    const QByteArray bytes = encodeIni(updated, ini.encoding);
    if (bytes.size() > kMaxFileBytes) {
        return fail(); // it could never be read back
    }
    // Unbuffered: a buffered write that fails when it is flushed (a full disk) still commits the
    // truncated file; unbuffered, the short write shows and the old file stays.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size() ||
        !file.commit()) {
        return fail();
    }
    return true;
}

} // namespace quorvel
