#include "core/common/Text.h"

namespace quorvel {

QStringView trimControl(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32) {
        ++begin;
    }
    while (end > begin && text[end - 1].unicode() <= 32) {
        --end;
    }
    return text.sliced(begin, end - begin);
}

QString trimControl(const QString &text)
{
    const QStringView trimmed = trimControl(QStringView(text));
    if (trimmed.size() == text.size()) {
        return text;
    }
    return trimmed.toString();
}

QString asciiLower(const QString &text)
{
    QString result = text;
    char16_t *data = reinterpret_cast<char16_t *>(result.data());
    for (qsizetype i = 0, n = result.size(); i < n; ++i) {
        data[i] = asciiLower(data[i]);
    }
    return result;
}

QString asciiUpper(const QString &text)
{
    QString result = text;
    char16_t *data = reinterpret_cast<char16_t *>(result.data());
    for (qsizetype i = 0, n = result.size(); i < n; ++i) {
        data[i] = asciiUpper(data[i]);
    }
    return result;
}

bool startsWithAsciiCI(QStringView text, QStringView prefix)
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (asciiLower(text[i].unicode()) != asciiLower(prefix[i].unicode())) {
            return false;
        }
    }
    return true;
}

QString normaliseLineEnds(const QString &text)
{
    if (text.isEmpty()) {
        return text;
    }
    QString result;
    result.reserve(text.size() + text.size() / 32 + 2);
    const QChar *data = text.constData();
    const qsizetype n = text.size();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c != u'\r' && c != u'\n') {
            continue;
        }
        result.append(data + runStart, i - runStart);
        result.append(u"\r\n");
        if (c == u'\r' && i + 1 < n && data[i + 1].unicode() == u'\n') {
            ++i;
        }
        runStart = i + 1;
    }
    if (runStart < n) {
        result.append(data + runStart, n - runStart);
        result.append(u"\r\n");
    }
    return result;
}

QString decodeWindows1252(QByteArrayView bytes)
{
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString result(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(result.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : char16_t(b);
    }
    return result;
}

} // namespace quorvel
