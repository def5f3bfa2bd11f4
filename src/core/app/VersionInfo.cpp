#include "core/app/VersionInfo.h"

#include "core/app/ProjectVersion.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// A block is small; a scan never looks further than this past a marker.
constexpr qsizetype kMaxBlockSize = qsizetype{64} * 1024;
// Markers tried before giving up, so a file stuffed with markers cannot keep the reader busy.
constexpr int kMaxCandidates = 16;
constexpr QByteArrayView kFormatLine = "format 1";
constexpr QByteArrayView kEndLine = "end";

struct StringEntry
{
    QByteArrayView translation;
    QByteArrayView name;
    QString value;
};

struct RawBlock
{
    FixedFileVersion fixed{};
    QList<std::pair<quint16, quint16>> translations;
    QList<StringEntry> strings;
};

struct RawOutcome
{
    RawBlock block;
    QString error;
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<quint16> parseDecimal16(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 5) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<quint16>(value);
}

std::optional<quint16> parseHex16(QByteArrayView text)
{
    if (text.size() != 4) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        const int digit = hexValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return static_cast<quint16>(value);
}

bool isHexKey(QByteArrayView text)
{
    return text.size() == 8 && std::all_of(text.begin(), text.end(), [](char c) { return hexValue(c) >= 0; });
}

bool equalsAsciiCI(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size()) {
        return false;
    }
    auto fold = [](char c) {
        return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    };
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

// Values are single lines; "\\" stands for a backslash and "\n" for a line break.
QString unescapeValue(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == 'n')) {
            out.append(text[i + 1] == 'n' ? '\n' : '\\');
            ++i;
        } else {
            out.append(text[i]);
        }
    }
    return QString::fromUtf8(out);
}

// Splits at single blanks: at most maxParts parts, the last one keeping the rest of the line.
QList<QByteArrayView> splitFields(QByteArrayView line, int maxParts)
{
    QList<QByteArrayView> parts;
    qsizetype start = 0;
    while (parts.size() + 1 < maxParts) {
        const qsizetype blank = line.indexOf(' ', start);
        if (blank < 0) {
            break;
        }
        parts.append(line.sliced(start, blank - start));
        start = blank + 1;
    }
    parts.append(line.sliced(start));
    return parts;
}

// One block whose marker starts at body's first byte - the marker itself already skipped. Reads
// line by line and stops at the first fault, so a false marker costs next to nothing.
RawOutcome parseBody(QByteArrayView body)
{
    RawOutcome outcome;
    body = body.first(std::min(body.size(), kMaxBlockSize));
    // The block is a C string in the program's data: it ends at its zero byte at the latest.
    if (const qsizetype zero = body.indexOf('\0'); zero >= 0) {
        body.truncate(zero);
    }
    qsizetype pos = 0;
    int lineNumber = 0;
    auto damaged = [&outcome, &lineNumber]() {
        outcome.error = u"the version block is damaged (line %1)"_s.arg(lineNumber);
        return outcome;
    };
    while (true) {
        const qsizetype lineEnd = body.indexOf('\n', pos);
        if (lineEnd < 0) {
            outcome.error = u"the version block is cut short"_s;
            return outcome;
        }
        const QByteArrayView line = body.sliced(pos, lineEnd - pos);
        pos = lineEnd + 1;
        ++lineNumber;
        if (lineNumber == 1) {
            if (line != kFormatLine) {
                if (line.startsWith("format ")) {
                    outcome.error = u"the version block has an unknown format"_s;
                    return outcome;
                }
                return damaged();
            }
            continue;
        }
        if (line == kEndLine) {
            break;
        }
        const QList<QByteArrayView> head = splitFields(line, 2);
        const QByteArrayView kind = head.first();
        if (kind == "fixed") {
            const QList<QByteArrayView> parts = splitFields(line, 6);
            if (parts.size() != 5) {
                return damaged();
            }
            for (int i = 0; i < 4; ++i) {
                const std::optional<quint16> number = parseDecimal16(parts[i + 1]);
                if (!number) {
                    return damaged();
                }
                outcome.block.fixed[static_cast<size_t>(i)] = *number;
            }
        } else if (kind == "translation") {
            const QList<QByteArrayView> parts = splitFields(line, 4);
            const std::optional<quint16> language = parts.size() == 3 ? parseHex16(parts[1]) : std::nullopt;
            const std::optional<quint16> codePage = parts.size() == 3 ? parseHex16(parts[2]) : std::nullopt;
            if (!language || !codePage) {
                return damaged();
            }
            outcome.block.translations.append({*language, *codePage});
        } else if (kind == "string") {
            const QList<QByteArrayView> parts = splitFields(line, 4);
            if (parts.size() < 3 || !isHexKey(parts[1]) || parts[2].isEmpty()) {
                return damaged();
            }
            outcome.block.strings.append(
                StringEntry{parts[1], parts[2], parts.size() == 4 ? unescapeValue(parts[3]) : QString()});
        }
        // Other kinds of line are left for later formats to fill.
    }
    if (outcome.block.translations.isEmpty()) {
        outcome.error = u"the version block has no translation table"_s;
    }
    return outcome;
}

VersionBlock fromRaw(const RawBlock &raw)
{
    VersionBlock result;
    result.fileVersion = raw.fixed;
    // Only the first translation counts; later ones are ignored.
    const auto [language, codePage] = raw.translations.first();
    result.translationKey = QString::asprintf("%.4x%.4x", language, codePage);
    const QByteArray key = result.translationKey.toLatin1();

    struct Field
    {
        QByteArrayView name;
        QString TEXEVersionData::*member;
    };

    static constexpr auto kFields = std::to_array<Field>({
        {"CompanyName", &TEXEVersionData::CompanyName},
        {"FileDescription", &TEXEVersionData::FileDescription},
        {"FileVersion", &TEXEVersionData::FileVersion},
        {"InternalName", &TEXEVersionData::InternalName},
        {"LegalCopyright", &TEXEVersionData::LegalCopyright},
        {"LegalTrademarks", &TEXEVersionData::LegalTrademarks},
        {"OriginalFileName", &TEXEVersionData::OriginalFileName},
        {"ProductName", &TEXEVersionData::ProductName},
        {"ProductVersion", &TEXEVersionData::ProductVersion},
        {"Comments", &TEXEVersionData::Comments},
        {"PrivateBuild", &TEXEVersionData::PrivateBuild},
        {"SpecialBuild", &TEXEVersionData::SpecialBuild},
    });

    for (const Field &field : kFields) {
        // Keys and names match without regard to ASCII case, as the platform's own lookup does.
        const auto found = std::find_if(raw.strings.begin(), raw.strings.end(), [&](const StringEntry &entry) {
            return equalsAsciiCI(entry.translation, key) && equalsAsciiCI(entry.name, field.name);
        });
        if (found != raw.strings.end()) {
            result.strings.*field.member = found->value;
        }
    }
    return result;
}

} // namespace

QByteArray versionBlockMagic()
{
    QByteArray magic = QByteArrayLiteral("quorvel-version").toUpper();
    magic.prepend('\x89');
    magic.append("\r\n\x1A\n");
    return magic;
}

VersionBlock parseVersionBlock(QByteArrayView fileBytes)
{
    const QByteArray magic = versionBlockMagic();
    QString firstError;
    qsizetype from = 0;
    for (int candidate = 0; candidate < kMaxCandidates; ++candidate) {
        const qsizetype at = fileBytes.indexOf(magic, from);
        if (at < 0) {
            break;
        }
        const RawOutcome outcome = parseBody(fileBytes.sliced(at + magic.size()));
        if (outcome.error.isEmpty()) {
            return fromRaw(outcome.block);
        }
        if (firstError.isEmpty()) {
            firstError = outcome.error;
        }
        from = at + 1;
    }
    VersionBlock failed;
    failed.error = firstError.isEmpty() ? u"no version block found"_s : firstError;
    return failed;
}

VersionBlock readVersionStrings(const QString &path)
{
    auto failure = [&path](const QString &reason) {
        VersionBlock failed;
        failed.error = u"Cannot read the version information of \"%1\": %2"_s.arg(path, reason);
        return failed;
    };
    // Devices and pipes could be endless; only a regular file is read.
    if (!QFileInfo(path).isFile()) {
        return failure(u"not a file"_s);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return failure(file.errorString());
    }
    VersionBlock result;
    const qint64 size = file.size();
    if (uchar *mapped = size > 0 ? file.map(0, size) : nullptr) {
        result = parseVersionBlock(QByteArrayView(mapped, size));
        file.unmap(mapped);
    } else {
        result = parseVersionBlock(file.readAll());
    }
    if (!result.error.isEmpty()) {
        return failure(result.error);
    }
    return result;
}

QString appVersionOf(const FixedFileVersion &fileVersion)
{
    return QString::asprintf("%d.%d", int(fileVersion[0]), int(fileVersion[1]));
}

QString projectAppVersion()
{
    return appVersionOf(kProjectFileVersion);
}

QString appTitleOf(const TEXEVersionData &strings)
{
    return strings.CompanyName + u" - "_s + strings.ProductName;
}

AppIdentity readAppIdentity(const QString &programFile)
{
    const VersionBlock block = readVersionStrings(programFile);
    AppIdentity identity;
    if (!block.error.isEmpty()) {
        identity.error = block.error;
        return identity;
    }
    identity.AppProductName = block.strings.ProductName;
    identity.AppTitle = appTitleOf(block.strings);
    identity.AppVersion = appVersionOf(block.fileVersion);
    identity.CompanyName = block.strings.CompanyName;
    return identity;
}

} // namespace quorvel
