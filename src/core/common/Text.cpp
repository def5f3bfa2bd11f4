#include "core/common/Text.h"

#include <array>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    auto *data = reinterpret_cast<char16_t *>(result.data());
    for (qsizetype i = 0, n = result.size(); i < n; ++i) {
        data[i] = asciiLower(data[i]);
    }
    return result;
}

QString asciiUpper(const QString &text)
{
    QString result = text;
    auto *data = reinterpret_cast<char16_t *>(result.data());
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

qsizetype findUnit(QStringView text, qsizetype from, char16_t unit)
{
    const char16_t *units = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = from;
#if defined(__SSE2__)
    // Eight units at a time (every x86-64 processor has SSE2).
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
    for (; i + 8 <= n; i += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + i));
        const auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(block, wanted)));
        if (hits != 0) {
            return i + std::countr_zero(hits) / 2; // two mask bits per unit
        }
    }
#endif
    for (; i < n; ++i) {
        if (units[i] == unit) {
            return i;
        }
    }
    return -1;
}

QList<LineSpan> lineSpans(QStringView text, LastLine last)
{
    QList<LineSpan> spans;
    forEachLine(text, last, [&spans](const LineSpan &span) { spans.append(span); });
    return spans;
}

QStringList splitLines(QStringView text, LastLine last)
{
    QStringList lines;
    forEachLine(text, last, [&](const LineSpan &span) {
        lines.append(text.sliced(span.start, span.contentEnd - span.start).toString());
    });
    return lines;
}

QString normaliseLineEnds(const QString &text)
{
    if (text.isEmpty()) {
        return text;
    }
    QString result;
    result.reserve(text.size() + text.size() / 32 + 2);
    const QChar *data = text.constData();
    forEachLine(text, LastLine::DropEmpty, [&](const LineSpan &span) {
        result.append(data + span.start, span.contentEnd - span.start);
        result.append(u"\r\n");
    });
    return result;
}

namespace {

// normaliseLineEnds for a detached text without CR: every LF becomes CR LF. The LFs are counted
// with Qt's vectorised character search, then the lines move as blocks, from the end.
QString normaliseLineFeeds(QString &&text)
{
    const qsizetype n = text.size();
    const auto *units = reinterpret_cast<const char16_t *>(text.constData());
    qsizetype feeds = 0;
    qsizetype i = 0;
#if defined(__SSE2__)
    // Eight counters, one per lane: a match is -1 in its lane, subtracted. They are added up before
    // any of them could pass 16 bits.
    const __m128i lineFeed = _mm_set1_epi16(u'\n');
    const auto addLanes = [](__m128i counters) {
        alignas(16) std::array<quint16, 8> lanes{};
        _mm_store_si128(reinterpret_cast<__m128i *>(lanes.data()), counters);
        qsizetype sum = 0;
        for (const quint16 lane : lanes) {
            sum += lane;
        }
        return sum;
    };
    __m128i counters = _mm_setzero_si128();
    int blocks = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + i));
        counters = _mm_sub_epi16(counters, _mm_cmpeq_epi16(block, lineFeed));
        if (++blocks == 0x7FFF) {
            feeds += addLanes(counters);
            counters = _mm_setzero_si128();
            blocks = 0;
        }
    }
    feeds += addLanes(counters);
#endif
    for (; i < n; ++i) {
        feeds += units[i] == u'\n' ? 1 : 0;
    }
    const bool openLastLine = text.back() != u'\n';
    const qsizetype grow = feeds + (openLastLine ? 2 : 0);
    if (grow == 0) {
        return std::move(text);
    }
    text.resize(n + grow);
    auto *data = reinterpret_cast<char16_t *>(text.data());
    qsizetype out = n + grow;
    if (openLastLine) {
        data[--out] = u'\n';
        data[--out] = u'\r';
    }
    qsizetype end = n; // the text still to move is [0, end)
    while (out > end) {
        // out > end means an LF is still ahead, so this search stops.
        qsizetype feed = end - 1;
#if defined(__SSE2__)
        while (feed >= 7) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + feed - 7));
            const auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(block, lineFeed)));
            if (hits != 0) {
                feed = feed - 7 + (31 - std::countl_zero(hits)) / 2; // the last hit's upper mask bit
                break;
            }
            feed -= 8;
        }
#endif
        while (data[feed] != u'\n') {
            --feed;
        }
        const qsizetype line = end - (feed + 1);
        out -= line;
        std::memmove(data + out, data + feed + 1, static_cast<size_t>(line) * sizeof(char16_t));
        data[--out] = u'\n';
        data[--out] = u'\r';
        end = feed;
    }
    return std::move(text);
}

} // namespace

QString normaliseLineEnds(QString &&text)
{
    if (text.isEmpty() || !text.isDetached()) {
        return normaliseLineEnds(std::as_const(text));
    }
    const qsizetype n = text.size();
    if (!text.contains(u'\r')) {
        return normaliseLineFeeds(std::move(text));
    }
    const auto *in = reinterpret_cast<const char16_t *>(text.constData());
    // Each lone CR and each lone LF gains a unit; a last line without an end gains CR LF.
    qsizetype grow = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c == u'\r') {
            grow += (i + 1 < n && in[i + 1] == u'\n') ? 0 : 1;
        } else if (c == u'\n') {
            grow += (i > 0 && in[i - 1] == u'\r') ? 0 : 1;
        }
    }
    const char16_t last = in[n - 1];
    if (last != u'\r' && last != u'\n') {
        grow += 2;
    }
    if (grow == 0) {
        return std::move(text);
    }
    text.resize(n + grow);
    auto *data = reinterpret_cast<char16_t *>(text.data());
    // From the end: the write position never falls below the read position, so nothing unread is
    // overwritten.
    qsizetype out = n + grow;
    if (last != u'\r' && last != u'\n') {
        data[--out] = u'\n';
        data[--out] = u'\r';
    }
    for (qsizetype i = n - 1; i >= 0; --i) {
        const char16_t c = data[i];
        if (c == u'\n') {
            if (i > 0 && data[i - 1] == u'\r') {
                --i;
            }
            data[--out] = u'\n';
            data[--out] = u'\r';
        } else if (c == u'\r') {
            data[--out] = u'\n';
            data[--out] = u'\r';
        } else {
            data[--out] = c;
        }
    }
    Q_ASSERT(out == 0);
    return std::move(text);
}

QString decodeWindows1252(QByteArrayView bytes)
{
    static constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString result(bytes.size(), Qt::Uninitialized);
    auto *out = reinterpret_cast<char16_t *>(result.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : char16_t(b);
    }
    return result;
}

} // namespace quorvel
