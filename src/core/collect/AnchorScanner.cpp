#include "core/collect/AnchorScanner.h"

#include "core/common/Text.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Finds something in a text for a sequence of start positions that never decrease. A hit found
// earlier that still lies at or after the new start is still the first one there, and "none after
// X" stays true for every later start, so each character is searched at most once over the scan.
// search(from) gives the first hit at or after from, or -1.
template <typename Search> class ForwardFinder
{
public:
    explicit ForwardFinder(Search search)
        : m_search(std::move(search))
    {}

    // The first occurrence at or after from, or -1.
    qsizetype next(qsizetype from)
    {
        Q_ASSERT(from >= m_lastFrom);
        m_lastFrom = from;
        if (m_exhausted) {
            return -1;
        }
        if (m_hit >= from) {
            return m_hit;
        }
        m_hit = m_search(from);
        m_exhausted = m_hit < 0;
        return m_hit;
    }

private:
    Search m_search;
    qsizetype m_hit = -1;
    qsizetype m_lastFrom = 0;
    bool m_exhausted = false;
};

// The first unit at or after from, or -1: UTF-16 units, or bytes of UTF-8 (whose multi-byte
// sequences hold no ASCII byte, so an ASCII search finds the same characters in either form).
qsizetype findIn(const char16_t *text, qsizetype n, qsizetype from, char16_t unit)
{
    return findUnit(QStringView(text, n), from, unit);
}

qsizetype findIn(const char *text, qsizetype n, qsizetype from, char16_t unit)
{
    if (from >= n) {
        return -1;
    }
    const void *hit = std::memchr(text + from, static_cast<int>(unit), static_cast<size_t>(n - from));
    return hit == nullptr ? -1 : static_cast<const char *>(hit) - text;
}

// The first "<" at or after from that the tail accepts, or -1; only the few characters after
// each "<" are looked at.
template <typename Unit, typename Tail>
qsizetype findAfterLess(const Unit *text, qsizetype n, qsizetype from, Tail acceptsTail)
{
    while (from < n) {
        const qsizetype less = findIn(text, n, from, u'<');
        if (less < 0) {
            return -1;
        }
        if (acceptsTail(text + less + 1, n - less - 1)) {
            return less;
        }
        from = less + 1;
    }
    return -1;
}

// The letter a in either case: A and a are the only units that give 'a' with the 0x20 bit set.
template <typename Unit> constexpr bool isLetterA(Unit c)
{
    return (static_cast<char16_t>(static_cast<std::make_unsigned_t<Unit>>(c)) | 0x20) == u'a';
}

// The tails that follow the "<" of an anchor's opening and closing tags.
template <typename Unit> bool opensAnchor(const Unit *tail, qsizetype left)
{
    return left >= 2 && isLetterA(tail[0]) && tail[1] == ' ';
}

template <typename Unit> bool closesAnchor(const Unit *tail, qsizetype left)
{
    return left >= 3 && tail[0] == '/' && isLetterA(tail[1]) && tail[2] == '>';
}

// Where needle is in text at or after from, or -1.
qsizetype find(std::string_view text, char needle, qsizetype from)
{
    const size_t at = text.find(needle, static_cast<size_t>(from));
    return at == std::string_view::npos ? -1 : static_cast<qsizetype>(at);
}

// One pass over a tag: the rel and the href are read only with the same quote character.
struct QuotePass
{
    char quote;
    std::string_view rel;
    std::string_view href;
};

constexpr std::array<QuotePass, 2> kPasses = {{
    {'"', " rel=\"", " href=\""},
    {'\'', " rel='", " href='"},
}};

// Where each pass's rel and href first start in a folded tag (-1: nowhere), found in one walk over
// its "=" signs instead of a search per pass and attribute.
struct TagMarks
{
    std::array<qsizetype, 2> rel = {-1, -1};
    std::array<qsizetype, 2> href = {-1, -1};
};

TagMarks marksOf(std::string_view tag)
{
    TagMarks marks;
    const auto n = static_cast<qsizetype>(tag.size());
    for (qsizetype equals = find(tag, '=', 0); equals >= 0 && equals + 1 < n; equals = find(tag, '=', equals + 1)) {
        const char quote = tag[static_cast<size_t>(equals + 1)];
        const int pass = quote == '"' ? 0 : quote == '\'' ? 1 : -1;
        if (pass < 0) {
            continue;
        }
        if (marks.rel[pass] < 0 && equals >= 4 && tag.substr(static_cast<size_t>(equals - 4), 4) == " rel") {
            marks.rel[pass] = equals - 4;
        } else if (marks.href[pass] < 0 && equals >= 5 && tag.substr(static_cast<size_t>(equals - 5), 5) == " href") {
            marks.href[pass] = equals - 5;
        }
    }
    return marks;
}

// The tag with A to Z folded to a to z, one byte per UTF-16 unit so every position is the tag's
// own; a unit outside ASCII becomes a byte that no searched text holds. Tags never overlap, so
// folding each one keeps the scan linear without a folded copy of the whole page.
std::string_view foldTag(const char16_t *tag, qsizetype length, std::string &buffer)
{
    buffer.resize(static_cast<size_t>(length));
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = tag[i];
        buffer[static_cast<size_t>(i)] = c < 0x80 ? static_cast<char>(asciiLower(c)) : '\x80';
    }
    return buffer;
}

// The same for UTF-8: a byte of a multi-byte sequence is 0x80 or above, like the mark above.
std::string_view foldTag(const char *tag, qsizetype length, std::string &buffer)
{
    buffer.resize(static_cast<size_t>(length));
    char *out = buffer.data(); // a local pointer: a char written through it cannot move it
    qsizetype i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time: as signed bytes A to Z are the only ones between '@' and '[', and
    // the bytes of sequences outside ASCII the negative ones.
    const __m128i beforeA = _mm_set1_epi8('A' - 1);
    const __m128i afterZ = _mm_set1_epi8('Z' + 1);
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const auto outsideAscii = static_cast<char>(0x80);
    const __m128i mark = _mm_set1_epi8(outsideAscii);
    for (; i + 16 <= length; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(tag + i));
        const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(bytes, beforeA), _mm_cmplt_epi8(bytes, afterZ));
        const __m128i folded = _mm_or_si128(bytes, _mm_and_si128(upper, caseBit));
        const __m128i high = _mm_cmplt_epi8(bytes, _mm_setzero_si128());
        const __m128i result = _mm_or_si128(_mm_andnot_si128(high, folded), _mm_and_si128(high, mark));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), result);
    }
#endif
    for (; i < length; ++i) {
        const auto c = static_cast<unsigned char>(tag[i]);
        out[i] = c < 0x80 ? static_cast<char>(asciiLower(char16_t(c))) : '\x80';
    }
    return buffer;
}

// The anchor text as rows show it: references decoded, then units 0 to 32 trimmed from both ends.
QString anchorTextOf(QStringView raw)
{
    if (!raw.contains(u'&')) {
        return trimControl(raw).toString(); // nothing to decode: one copy, already trimmed
    }
    const QString decoded = decodeCharacterReferences(raw);
    const QStringView trimmed = trimControl(QStringView(decoded));
    return trimmed.size() == decoded.size() ? decoded : trimmed.toString();
}

// nofollow wins over sponsored, sponsored over ugc; the words count anywhere in the value.
QString followOf(QByteArrayView lowerRel)
{
    if (lowerRel.contains("nofollow")) {
        return u"NOFOLLOW"_s;
    }
    if (lowerRel.contains("sponsored")) {
        return u"SPONSORED"_s;
    }
    if (lowerRel.contains("ugc")) {
        return u"UGC"_s;
    }
    return u"dofollow"_s;
}

int digitValue(char16_t c, int base)
{
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (base == 16) {
        const char16_t lower = asciiLower(c);
        if (lower >= u'a' && lower <= u'f') {
            return lower - u'a' + 10;
        }
    }
    return -1;
}

// The code of a numeric reference's number (the text between "&#" and ";"), or nothing when it
// does not parse: empty, a character that is not a digit, or above the last Unicode code point.
std::optional<char32_t> codeOf(QStringView number)
{
    int base = 10;
    if (!number.isEmpty() && (number[0] == u'x' || number[0] == u'X' || number[0] == u'$')) {
        base = 16;
        number = number.sliced(1);
    }
    if (number.isEmpty()) {
        return std::nullopt;
    }
    char32_t value = 0;
    for (const QChar c : number) {
        const int digit = digitValue(c.unicode(), base);
        if (digit < 0) {
            return std::nullopt;
        }
        // value stays at most 0x10FFFF before this step, so it cannot wrap.
        value = value * char32_t(base) + char32_t(digit);
        if (value > 0x10FFFF) {
            return std::nullopt;
        }
    }
    return value;
}

// Codes above FFFF become a surrogate pair; every other code, a lone surrogate or 0 included, is
// kept as the one UTF-16 unit it names.
void appendCode(QString &out, char32_t code)
{
    if (QChar::requiresSurrogates(code)) {
        out.append(QChar(QChar::highSurrogate(code)));
        out.append(QChar(QChar::lowSurrogate(code)));
    } else {
        out.append(QChar(char16_t(code)));
    }
}

struct NamedReference
{
    QStringView written;
    char16_t character;
};

constexpr std::array<NamedReference, 5> kNamedReferences = {{
    {u"&amp;", u'&'},
    {u"&lt;", u'<'},
    {u"&gt;", u'>'},
    {u"&quot;", u'"'},
    {u"&apos;", u'\''},
}};

// QStringView::startsWith for the short reference names: a plain loop costs less than the general
// comparison's set-up.
bool beginsWith(QStringView text, QStringView prefix)
{
    if (text.size() < prefix.size()) {
        return false;
    }
    const char16_t *a = text.utf16();
    const char16_t *b = prefix.utf16();
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

// The set bits of a block's mask (at most 16), without the processor's own count, which the
// baseline x86-64 build does not have.
int bitCount(unsigned mask)
{
    mask = mask - ((mask >> 1) & 0x5555U);
    mask = (mask & 0x3333U) + ((mask >> 2) & 0x3333U);
    mask = (mask + (mask >> 4)) & 0x0F0FU;
    return static_cast<int>((mask + (mask >> 8)) & 0x1FU);
}

// The highest set bit of a non-zero mask.
int highestBit(unsigned mask)
{
    return 31 - std::countl_zero(mask);
}

// The UTF-16 units a unit of the text stands for: one for UTF-16; for UTF-8 one per byte that
// begins a sequence, and one more for the lead of a four-byte sequence (a surrogate pair).
int utf16Units(char16_t /*unit*/)
{
    return 1;
}

int utf16Units(char byte)
{
    const auto c = static_cast<unsigned char>(byte);
    return ((c & 0xC0) != 0x80 ? 1 : 0) + (c >= 0xF0 ? 1 : 0);
}

// Masks of one block of the page (16 bytes or 8 UTF-16 units), a bit per unit in page order.
struct BlockMasks
{
    unsigned lineFeeds;
    unsigned returns;
    unsigned outsideAscii; // bytes of UTF-8's multi-byte sequences; none for UTF-16
};

#if defined(__SSE2__)
constexpr qsizetype kBlockUnits8 = 16;

BlockMasks blockMasks(const char *at)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
    return {static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')))),
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')))),
            static_cast<unsigned>(_mm_movemask_epi8(bytes))};
}

BlockMasks blockMasks(const char16_t *at)
{
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
    // Packed to a byte per unit: each compare gives 0 or -1, which packing keeps.
    const __m128i feeds = _mm_packs_epi16(_mm_cmpeq_epi16(units, _mm_set1_epi16(u'\n')), _mm_setzero_si128());
    const __m128i returns = _mm_packs_epi16(_mm_cmpeq_epi16(units, _mm_set1_epi16(u'\r')), _mm_setzero_si128());
    return {static_cast<unsigned>(_mm_movemask_epi8(feeds)), static_cast<unsigned>(_mm_movemask_epi8(returns)), 0};
}

// A bit for each unit of a block that is a CR, an LF or (UTF-8) a byte outside ASCII. A whole
// block without any adds a column per unit: that is most blocks of most pages, and the usual step.
unsigned specialUnits(const char *at)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
    const __m128i lineEnds =
        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(bytes, lineEnds)));
}

unsigned specialUnits(const char16_t *at)
{
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
    const __m128i lineEnds =
        _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16(u'\n')), _mm_cmpeq_epi16(units, _mm_set1_epi16(u'\r')));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(lineEnds, _mm_setzero_si128())));
}

// The UTF-16 units of the bytes of a block that the mask selects.
int maskedUtf16Units(const char *at, unsigned mask)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
    // As signed bytes the continuing ones are -128 to -65; the four-byte leads F0 to F7.
    const auto starts = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(-65))));
    const __m128i fourByteLead = _mm_set1_epi8(static_cast<char>(0xF0));
    const auto fourByte =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(bytes, fourByteLead), bytes)));
    return bitCount(starts & mask) + bitCount(fourByte & mask);
}
#endif

// The line and column of positions of a page, asked for in an order that never goes back: the
// text between one position and the next is read once, in blocks, so a page costs one pass
// however many links it holds. Nothing before the last position asked for is read again, so the
// page before it may be handed back.
template <typename Unit> class LinePositions
{
public:
    LinePositions(const Unit *text, qsizetype n)
        : m_text(text)
        , m_n(n)
    {}

    TextPosition at(qsizetype position)
    {
        advance(position);
        const auto clamp = [](qsizetype value) {
            return static_cast<int>(std::min<qsizetype>(value, std::numeric_limits<int>::max()));
        };
        return {clamp(m_lineEnds + 1), clamp(m_column + 1)};
    }

    // Counts the text up to position.
    void advance(qsizetype position)
    {
        Q_ASSERT(position >= m_counted && position <= m_n);
        qsizetype i = m_counted;
#if defined(__SSE2__)
        constexpr qsizetype kBlock = sizeof(Unit) == 1 ? kBlockUnits8 : kBlockUnits8 / 2;
        // Whole blocks while one lies inside the page; the last may reach past position, whose
        // units the mask leaves out.
        for (; i < position && i + kBlock <= m_n; i += kBlock) {
            if (i + kBlock <= position && specialUnits(m_text + i) == 0) {
                m_column += kBlock;
                continue;
            }
            const qsizetype inside = std::min(kBlock, position - i);
            const unsigned wanted = (1U << inside) - 1;
            const BlockMasks masks = blockMasks(m_text + i);
            const unsigned feeds = masks.lineFeeds & wanted;
            const unsigned returns = masks.returns & wanted;
            unsigned counted = wanted; // the units after the block's last line end
            qsizetype run = inside;
            if ((feeds | returns) != 0) {
                // A CR followed by an LF ends no line of its own; the unit after the block is
                // looked at for the last one.
                const bool feedAfter = i + kBlock < m_n && m_text[i + kBlock] == Unit('\n');
                const unsigned feedNext = (masks.lineFeeds >> 1) | (feedAfter ? 1U << (kBlock - 1) : 0U);
                m_lineEnds += bitCount(feeds) + bitCount(returns & ~feedNext);
                const int last = highestBit(feeds | returns);
                counted = wanted & ~((2U << last) - 1);
                run = inside - last - 1;
                m_column = 0;
            }
            if constexpr (sizeof(Unit) == 1) {
                m_column += (masks.outsideAscii & counted) == 0 ? run : maskedUtf16Units(m_text + i, counted);
            } else {
                m_column += run;
            }
        }
#endif
        for (; i < position; ++i) {
            const Unit c = m_text[i];
            if (c == Unit('\n') || c == Unit('\r')) {
                const bool halfOfCrLf = c == Unit('\r') && i + 1 < m_n && m_text[i + 1] == Unit('\n');
                m_lineEnds += halfOfCrLf ? 0 : 1;
                m_column = 0;
            } else {
                m_column += utf16Units(c);
            }
        }
        m_counted = position;
    }

private:
    const Unit *m_text;
    qsizetype m_n;
    qsizetype m_counted = 0;  // the text before this is counted
    qsizetype m_lineEnds = 0; // in the text before m_counted
    qsizetype m_column = 0;   // UTF-16 units from the start of m_counted's line to m_counted
};

// Anchors without a closing tag of their own all run to the same later "</a>", so their texts can
// overlap: n such anchors would hand on n times the page. A page gets a budget of anchor-text
// characters far above what its texts hold when they do not overlap; once it is spent, each further
// anchor text is cut to a short head, which keeps time and memory linear in the page.
constexpr qsizetype kAnchorTextSlack = 1 << 20;
constexpr qsizetype kAnchorTextHeadAfterBudget = 64;

// The texts of a UTF-16 page: views of it, cut to the anchor-text budget.
class Utf16Texts
{
public:
    explicit Utf16Texts(qsizetype pageUnits)
        : m_budget(2 * pageUnits + kAnchorTextSlack)
    {}

    static QString href(const char16_t *start, qsizetype length)
    {
        return QString(reinterpret_cast<const QChar *>(start), length);
    }

    QString anchorText(const char16_t *start, qsizetype length)
    {
        if (length > m_budget) {
            length = std::max(m_budget, std::min(length, kAnchorTextHeadAfterBudget));
        }
        m_budget -= std::min(m_budget, length);
        return anchorTextOf(QStringView(start, length));
    }

    static void passed(qsizetype /*position*/, LinePositions<char16_t> & /*lines*/) {}

private:
    qsizetype m_budget;
};

// The UTF-16 length of valid UTF-8 bytes [from, to) of a page of n bytes once its line ends are
// CR LF: a unit per sequence, two for a four-byte one, and one more for each CR or LF that is not
// half of a CR LF. That is a unit for each byte that does not continue a sequence (10xxxxxx), one
// more for each 11110xxx, CR and LF, and two fewer for each CR followed by LF (the byte after to is
// looked at for that). The CR LF after an open last line is not counted.
qsizetype crLfUnits(const char *text, qsizetype from, qsizetype to, qsizetype n)
{
    qsizetype units = 0;
    qsizetype i = from;
#if defined(__SSE2__)
    // Sixteen bytes at a time, while the byte after the block exists. As signed bytes the
    // continuing ones are -128 to -65; the four-byte leads F0 to F7. A lane gains 0 to 2 per
    // block, so 127 blocks fit in its byte.
    const __m128i lastContinuing = _mm_set1_epi8(-65);
    const __m128i fourByteLead = _mm_set1_epi8(static_cast<char>(0xF0));
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i one = _mm_set1_epi8(1);
    const __m128i two = _mm_set1_epi8(2);
    while (i + 16 <= to && i + 17 <= n) {
        __m128i counts = _mm_setzero_si128();
        for (int block = 0; block < 127 && i + 16 <= to && i + 17 <= n; ++block, i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i + 1));
            const __m128i starts = _mm_cmpgt_epi8(bytes, lastContinuing);
            const __m128i fourByte = _mm_cmpeq_epi8(_mm_max_epu8(bytes, fourByteLead), bytes);
            const __m128i isCr = _mm_cmpeq_epi8(bytes, cr);
            const __m128i lineEnd = _mm_or_si128(isCr, _mm_cmpeq_epi8(bytes, lf));
            const __m128i crLf = _mm_and_si128(isCr, _mm_cmpeq_epi8(next, lf));
            __m128i gain = _mm_and_si128(starts, one);
            gain = _mm_add_epi8(gain, _mm_and_si128(_mm_or_si128(fourByte, lineEnd), one));
            counts = _mm_sub_epi8(_mm_add_epi8(counts, gain), _mm_and_si128(crLf, two));
        }
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        units += _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
    }
#endif
    for (; i < to; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        units += ((c & 0xC0) != 0x80 ? 1 : 0) + (c >= 0xF0 || c == '\r' || c == '\n' ? 1 : 0);
        if (c == '\r' && i + 1 < n && text[i + 1] == '\n') {
            units -= 2;
        }
    }
    return units;
}

// How many bytes a UTF-8 sequence takes, from its first byte.
qsizetype sequenceLength(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// What a text of the page holds that its copy must see to: a bit per kind of byte.
constexpr unsigned kHoldsLineEnd = 1;
constexpr unsigned kHoldsAmpersand = 2;

// One walk over a short text instead of a library search for each kind.
unsigned kindsIn(const char *start, qsizetype length)
{
    unsigned kinds = 0;
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i ampersand = _mm_set1_epi8('&');
    __m128i lineEnds = _mm_setzero_si128();
    __m128i ampersands = _mm_setzero_si128();
    for (; i + 16 <= length; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(start + i));
        lineEnds = _mm_or_si128(lineEnds, _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
        ampersands = _mm_or_si128(ampersands, _mm_cmpeq_epi8(bytes, ampersand));
    }
    kinds |= _mm_movemask_epi8(lineEnds) != 0 ? kHoldsLineEnd : 0;
    kinds |= _mm_movemask_epi8(ampersands) != 0 ? kHoldsAmpersand : 0;
#endif
    for (; i < length; ++i) {
        const char c = start[i];
        kinds |= (c == '\r' || c == '\n') ? kHoldsLineEnd : 0;
        kinds |= c == '&' ? kHoldsAmpersand : 0;
    }
    return kinds;
}

// Decodes UTF-8 with every line end (CR LF, a lone CR, a lone LF) written as CR LF, as in the page
// the UTF-16 scan reads.
QString decodeWithCrLf(const char *start, qsizetype length, unsigned kinds)
{
    if ((kinds & kHoldsLineEnd) == 0) {
        return QString::fromUtf8(start, length);
    }
    QByteArray bytes;
    bytes.reserve(2 * length);
    for (qsizetype i = 0; i < length; ++i) {
        const char c = start[i];
        if (c == '\r' || c == '\n') {
            bytes += "\r\n";
            i += (c == '\r' && i + 1 < length && start[i + 1] == '\n') ? 1 : 0;
        } else {
            bytes += c;
        }
    }
    return QString::fromUtf8(bytes);
}

QString decodeWithCrLf(const char *start, qsizetype length)
{
    return decodeWithCrLf(start, length, kindsIn(start, length));
}

// The texts of a valid UTF-8 page whose line ends are as written, decoded with CR LF line ends as
// they are handed on: the same texts as from the decoded page with its line ends made CR LF (the
// scan's marks hold no CR or LF, so both find the same places). The anchor-text budget counts the
// units of that decoded page. Its start needs the page's length in them, which is counted only when
// a text could reach it: a page has at least a unit per three bytes, and a text at most two units
// per byte.
class Utf8Texts
{
public:
    Utf8Texts(const char *page, qsizetype pageBytes, const ScanPassed &passed)
        : m_page(page)
        , m_pageBytes(pageBytes)
        , m_passed(&passed)
    {}

    // The page before position is never read again. Its units and lines are counted first, in case
    // the budget or a later link's position needs them once it is gone.
    void passed(qsizetype position, LinePositions<char> &lines)
    {
        if (!*m_passed || position - m_counted < kPassedStep) {
            return;
        }
        lines.advance(position);
        m_countedUnits += crLfUnits(m_page, m_counted, position, m_pageBytes);
        m_counted = position;
        (*m_passed)(position);
    }

    static QString href(const char *start, qsizetype length) { return decodeWithCrLf(start, length); }

    QString anchorText(const char *start, qsizetype length)
    {
        if (m_budget < 0 && m_handedOn + 2 * length > 2 * (m_pageBytes / 3) + kAnchorTextSlack) {
            qsizetype pageUnits = m_countedUnits + crLfUnits(m_page, m_counted, m_pageBytes, m_pageBytes);
            const char last = m_page[m_pageBytes - 1]; // a text lies inside, so the page is not empty
            pageUnits += last != '\r' && last != '\n' ? 2 : 0;
            m_budget = 2 * pageUnits + kAnchorTextSlack;
        }
        const qsizetype left = m_budget < 0 ? 2 * length : std::max<qsizetype>(0, m_budget - m_handedOn);
        if (2 * length <= left) {
            return wholeText(start, length);
        }
        // The text may pass the budget: decoded only as far as it can be kept.
        const qsizetype head = std::max(left, kAnchorTextHeadAfterBudget);
        qsizetype bytes = 0;
        qsizetype units = 0;
        while (bytes < length && units < head) {
            const auto lead = static_cast<unsigned char>(start[bytes]);
            if (lead == '\r' || lead == '\n') {
                bytes += (lead == '\r' && bytes + 1 < length && start[bytes + 1] == '\n') ? 2 : 1;
                units += 2;
            } else {
                const qsizetype sequence = sequenceLength(lead);
                bytes += sequence;
                units += sequence == 4 ? 2 : 1;
            }
        }
        qsizetype kept = head;
        if (bytes >= length) {
            kept = units <= left ? units : std::min(units, head);
        }
        QString raw = decodeWithCrLf(start, bytes);
        raw.truncate(kept); // a pair cut in two keeps its first half, as a cut of the decoded page does
        m_handedOn += raw.size();
        return anchorTextOf(QStringView(raw));
    }

private:
    QString wholeText(const char *start, qsizetype length)
    {
        const unsigned kinds = kindsIn(start, length);
        if ((kinds & kHoldsAmpersand) != 0) {
            const QString raw = decodeWithCrLf(start, length, kinds);
            m_handedOn += raw.size();
            return anchorTextOf(QStringView(raw));
        }
        // Nothing to decode: the units 0 to 32 (CR and LF among them) are single bytes, trimmed
        // before the one copy. A CR LF is trimmed whole or not at all.
        qsizetype from = 0;
        qsizetype to = length;
        while (from < to && static_cast<unsigned char>(start[from]) <= 32) {
            ++from;
        }
        while (to > from && static_cast<unsigned char>(start[to - 1]) <= 32) {
            --to;
        }
        QString text = decodeWithCrLf(start + from, to - from, kinds);
        if ((kinds & kHoldsLineEnd) == 0) {
            m_handedOn += length - (to - from) + text.size();
        } else {
            m_handedOn += text.size() + crLfUnits(start, 0, from, length) + crLfUnits(start, to, length, length);
        }
        return text;
    }

    // The scan tells of its progress in steps of about this many bytes.
    static constexpr qsizetype kPassedStep = 1 << 20;

    const char *m_page;
    qsizetype m_pageBytes;
    const ScanPassed *m_passed;
    qsizetype m_counted = 0;      // bytes before this were counted and handed back
    qsizetype m_countedUnits = 0; // their units, line ends as CR LF
    qsizetype m_handedOn = 0;     // units of the texts handed on, after any cut
    qsizetype m_budget = -1;      // in units, once counted
};

template <typename Unit, typename Texts>
void scanAnchorsIn(const Unit *text, qsizetype n, Texts &texts, const QString &base, const AnchorSink &sink)
{
    ForwardFinder tagStarts([text, n](qsizetype from) { return findAfterLess(text, n, from, opensAnchor<Unit>); });
    ForwardFinder tagEnds([text, n](qsizetype from) { return findIn(text, n, from, u'>'); });
    ForwardFinder closings([text, n](qsizetype from) { return findAfterLess(text, n, from, closesAnchor<Unit>); });

    LinePositions<Unit> lines(text, n);
    std::string tagBuffer;
    // Everything before offset has been consumed.
    qsizetype offset = 0;
    while (offset < n) {
        texts.passed(offset, lines);
        const qsizetype start = tagStarts.next(offset);
        if (start < 0) {
            return;
        }
        const qsizetype end = tagEnds.next(start);
        if (end < 0) {
            // No later "<a " can find a ">" either, so nothing more can yield a link.
            return;
        }
        const qsizetype tagLength = end - start + 1;
        const std::string_view lowerTag = foldTag(text + start, tagLength, tagBuffer);

        const TagMarks marks = marksOf(lowerTag);
        for (int passIndex = 0; passIndex < 2; ++passIndex) {
            const QuotePass &pass = kPasses[passIndex];
            QString follow = u"dofollow"_s;
            const qsizetype rel = marks.rel[passIndex];
            if (rel >= 0) {
                const qsizetype valueStart = rel + static_cast<qsizetype>(pass.rel.size());
                const qsizetype valueEnd = find(lowerTag, pass.quote, valueStart);
                if (valueEnd >= 0) {
                    follow = followOf(QByteArrayView(lowerTag.data() + valueStart, valueEnd - valueStart));
                }
            }

            const qsizetype href = marks.href[passIndex];
            if (href < 0) {
                continue;
            }
            const qsizetype hrefStart = href + static_cast<qsizetype>(pass.href.size());
            const qsizetype hrefEnd = find(lowerTag, pass.quote, hrefStart);
            if (hrefEnd < 0) {
                continue;
            }

            // The closing tag is looked for from the "<a " on, so one inside the tag itself counts
            // and leaves the anchor text empty.
            const qsizetype closing = closings.next(start);
            if (closing < 0) {
                // Without a "</a>" ahead no anchor here or later can yield a link.
                return;
            }
            const qsizetype textStart = end + 1;
            const qsizetype textLength = closing > textStart ? closing - textStart : 0;
            const QString anchorText = texts.anchorText(text + textStart, textLength);

            const QString hrefText = Texts::href(text + start + hrefStart, hrefEnd - hrefStart);
            const bool mail = startsWithAsciiCI(hrefText, u"mailto:");
            sink(hrefText, mail ? QString() : base, follow, anchorText, lines.at(start));
        }

        // The character after the tag's ">" goes too, so an "<a " glued to that ">" is passed over.
        offset = end + 2;
    }
}

template <typename Unit> qsizetype countAnchorTags(const Unit *text, qsizetype n)
{
    qsizetype tags = 0;
    qsizetype from = 0;
    while (true) {
        const qsizetype start = findAfterLess(text, n, from, opensAnchor<Unit>);
        if (start < 0) {
            return tags;
        }
        ++tags;
        from = start + 3;
    }
}

} // namespace

void ScanAnchors(const QString &pageText, const QString &base, const AnchorSink &sink)
{
    if (!sink) {
        return;
    }
    Utf16Texts texts(pageText.size());
    scanAnchorsIn(QStringView(pageText).utf16(), pageText.size(), texts, base, sink);
}

void scanAnchorsUtf8(QByteArrayView page, const QString &base, const AnchorSink &sink, const ScanPassed &passed)
{
    if (!sink) {
        return;
    }
    Utf8Texts texts(page.data(), page.size(), passed);
    scanAnchorsIn(page.data(), page.size(), texts, base, sink);
}

qsizetype countAnchorTags(QStringView page)
{
    return countAnchorTags(page.utf16(), page.size());
}

qsizetype countAnchorTagsUtf8(QByteArrayView page)
{
    return countAnchorTags(page.data(), page.size());
}

QString decodeCharacterReferences(QStringView text)
{
    qsizetype amp = text.indexOf(u'&');
    if (amp < 0) {
        return text.toString();
    }
    QString out;
    out.reserve(text.size());
    ForwardFinder semicolons([text](qsizetype from) { return text.indexOf(u';', from); });
    qsizetype copied = 0;
    while (amp >= 0) {
        out.append(text.sliced(copied, amp - copied));
        const QStringView rest = text.sliced(amp);
        qsizetype used = 0;
        for (const NamedReference &named : kNamedReferences) {
            if (beginsWith(rest, named.written)) {
                out.append(QChar(named.character));
                used = named.written.size();
                break;
            }
        }
        if (used == 0 && rest.size() >= 2 && rest[1] == u'#') {
            const qsizetype numberStart = amp + 2;
            const qsizetype semicolon = semicolons.next(numberStart);
            if (semicolon >= 0) {
                if (const auto code = codeOf(text.sliced(numberStart, semicolon - numberStart))) {
                    appendCode(out, *code);
                    used = semicolon + 1 - amp;
                }
            }
        }
        if (used == 0) {
            // Not a reference we know: the ampersand stays and decoding goes on right after it.
            out.append(u'&');
            used = 1;
        }
        copied = amp + used;
        amp = text.indexOf(u'&', copied);
    }
    out.append(text.sliced(copied));
    return out;
}

} // namespace quorvel
