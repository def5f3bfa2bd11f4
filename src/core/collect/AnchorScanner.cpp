#include "core/collect/AnchorScanner.h"

#include "core/common/Text.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

// The first "<" at or after from that the tail accepts, or -1; only the few characters after
// each "<" are looked at.
template <typename Tail> qsizetype findAfterLess(QStringView page, qsizetype from, Tail acceptsTail)
{
    const char16_t *text = page.utf16();
    const qsizetype n = page.size();
    while (from < n) {
        const qsizetype less = findUnit(page, from, u'<');
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
constexpr bool isLetterA(char16_t c)
{
    return (c | 0x20) == u'a';
}

// One pass over a tag: the rel and the href are read only with the same quote character.
struct QuotePass
{
    char quote;
    std::string_view rel;
    std::string_view href;
};

constexpr QuotePass kPasses[] = {
    {'"', " rel=\"", " href=\""},
    {'\'', " rel='", " href='"},
};

// The tag with A to Z folded to a to z, one byte per UTF-16 unit so every position is the tag's
// own; a unit outside ASCII becomes a byte that no searched text holds. Tags never overlap, so
// folding each one keeps the scan linear without a folded copy of the whole page.
std::string_view foldTag(QStringView tag, std::string &buffer)
{
    buffer.resize(static_cast<size_t>(tag.size()));
    const char16_t *in = tag.utf16();
    for (qsizetype i = 0, n = tag.size(); i < n; ++i) {
        const char16_t c = in[i];
        buffer[static_cast<size_t>(i)] = c < 0x80 ? static_cast<char>(asciiLower(c)) : '\x80';
    }
    return buffer;
}

// Where needle starts in text at or after from, or -1.
qsizetype find(std::string_view text, std::string_view needle, qsizetype from = 0)
{
    const size_t at = text.find(needle, static_cast<size_t>(from));
    return at == std::string_view::npos ? -1 : static_cast<qsizetype>(at);
}

qsizetype find(std::string_view text, char needle, qsizetype from)
{
    const size_t at = text.find(needle, static_cast<size_t>(from));
    return at == std::string_view::npos ? -1 : static_cast<qsizetype>(at);
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

constexpr NamedReference kNamedReferences[] = {
    {u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}, {u"&apos;", u'\''},
};

// Anchors without a closing tag of their own all run to the same later "</a>", so their texts can
// overlap: n such anchors would hand on n times the page. A page gets a budget of anchor-text
// characters far above what its texts hold when they do not overlap; once it is spent, each further
// anchor text is cut to a short head, which keeps time and memory linear in the page.
constexpr qsizetype kAnchorTextSlack = 1 << 20;
constexpr qsizetype kAnchorTextHeadAfterBudget = 64;

} // namespace

void ScanAnchors(const QString &pageText, const QString &base, const AnchorSink &sink)
{
    if (!sink) {
        return;
    }
    const QStringView page(pageText);
    const char16_t *text = page.utf16();

    ForwardFinder tagStarts([page](qsizetype from) {
        return findAfterLess(page, from, [](const char16_t *tail, qsizetype left) {
            return left >= 2 && isLetterA(tail[0]) && tail[1] == u' ';
        });
    });
    ForwardFinder tagEnds([page](qsizetype from) { return findUnit(page, from, u'>'); });
    ForwardFinder closings([page](qsizetype from) {
        return findAfterLess(page, from, [](const char16_t *tail, qsizetype left) {
            return left >= 3 && tail[0] == u'/' && isLetterA(tail[1]) && tail[2] == u'>';
        });
    });

    std::string tagBuffer;
    qsizetype textBudget = 2 * page.size() + kAnchorTextSlack;
    // Everything before offset has been consumed.
    qsizetype offset = 0;
    while (offset < page.size()) {
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
        const std::string_view lowerTag = foldTag(page.sliced(start, tagLength), tagBuffer);

        for (const QuotePass &pass : kPasses) {
            QString follow = u"dofollow"_s;
            const qsizetype rel = find(lowerTag, pass.rel);
            if (rel >= 0) {
                const qsizetype valueStart = rel + static_cast<qsizetype>(pass.rel.size());
                const qsizetype valueEnd = find(lowerTag, pass.quote, valueStart);
                if (valueEnd >= 0) {
                    follow = followOf(QByteArrayView(lowerTag.data() + valueStart, valueEnd - valueStart));
                }
            }

            const qsizetype href = find(lowerTag, pass.href);
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
            qsizetype textLength = closing > textStart ? closing - textStart : 0;
            if (textLength > textBudget) {
                textLength = std::max(textBudget, std::min(textLength, kAnchorTextHeadAfterBudget));
            }
            textBudget -= std::min(textBudget, textLength);
            const QString anchorText = anchorTextOf(page.sliced(textStart, textLength));

            const QString hrefText(reinterpret_cast<const QChar *>(text + start + hrefStart), hrefEnd - hrefStart);
            const bool mail = startsWithAsciiCI(hrefText, u"mailto:");
            sink(hrefText, mail ? QString() : base, follow, anchorText);
        }

        // The character after the tag's ">" goes too, so an "<a " glued to that ">" is passed over.
        offset = end + 2;
    }
}

qsizetype countAnchorTags(QStringView page)
{
    qsizetype tags = 0;
    qsizetype from = 0;
    while (true) {
        const qsizetype start = findAfterLess(page, from, [](const char16_t *tail, qsizetype left) {
            return left >= 2 && isLetterA(tail[0]) && tail[1] == u' ';
        });
        if (start < 0) {
            return tags;
        }
        ++tags;
        from = start + 3;
    }
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
            if (rest.startsWith(named.written)) {
                out.append(QChar(named.character));
                used = named.written.size();
                break;
            }
        }
        if (used == 0 && rest.startsWith(u"&#")) {
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
