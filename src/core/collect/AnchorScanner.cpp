#include "core/collect/AnchorScanner.h"

#include "core/common/Text.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Finds a needle in a text for a sequence of start positions that never decrease. A hit found
// earlier that still lies at or after the new start is still the first one there, and "none after
// X" stays true for every later start, so each character is searched at most once over the scan.
template<typename View>
class ForwardFinder
{
public:
    ForwardFinder(View text, View needle)
        : m_text(text)
        , m_needle(needle)
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
        m_hit = m_text.indexOf(m_needle, from);
        m_exhausted = m_hit < 0;
        return m_hit;
    }

private:
    View m_text;
    View m_needle;
    qsizetype m_hit = -1;
    qsizetype m_lastFrom = 0;
    bool m_exhausted = false;
};

// One pass over a tag: the rel and the href are read only with the same quote character.
struct QuotePass
{
    char quote;
    QByteArrayView rel;
    QByteArrayView href;
};

constexpr QuotePass kPasses[] = {
    {'"', " rel=\"", " href=\""},
    {'\'', " rel='", " href='"},
};

// The page with A to Z folded to a to z, one byte per UTF-16 unit so every position is the page's
// own; a unit outside ASCII becomes a byte that no searched text holds. Half the size of a folded
// copy of the text, and searched with the byte routines.
QByteArray foldedBytes(QStringView page)
{
    QByteArray folded(page.size(), Qt::Uninitialized);
    char *out = folded.data();
    const char16_t *in = page.utf16();
    for (qsizetype i = 0, n = page.size(); i < n; ++i) {
        const char16_t c = in[i];
        out[i] = c < 0x80 ? static_cast<char>(asciiLower(c)) : '\x80';
    }
    return folded;
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
    // Folding only A to Z keeps every position of the copy valid in the page itself.
    const QStringView page(pageText);
    const QByteArray lowerBytes = foldedBytes(page);
    const QByteArrayView lower(lowerBytes);

    ForwardFinder<QByteArrayView> tagStarts(lower, "<a ");
    ForwardFinder<QByteArrayView> tagEnds(lower, ">");
    ForwardFinder<QByteArrayView> closings(lower, "</a>");

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
        const QStringView tag = page.sliced(start, tagLength);
        const QByteArrayView lowerTag = lower.sliced(start, tagLength);

        for (const QuotePass &pass : kPasses) {
            QString follow = u"dofollow"_s;
            const qsizetype rel = lowerTag.indexOf(pass.rel);
            if (rel >= 0) {
                const qsizetype valueStart = rel + pass.rel.size();
                const qsizetype valueEnd = lowerTag.indexOf(pass.quote, valueStart);
                if (valueEnd >= 0) {
                    follow = followOf(lowerTag.sliced(valueStart, valueEnd - valueStart));
                }
            }

            const qsizetype href = lowerTag.indexOf(pass.href);
            if (href < 0) {
                continue;
            }
            const qsizetype hrefStart = href + pass.href.size();
            const qsizetype hrefEnd = lowerTag.indexOf(pass.quote, hrefStart);
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
            const QStringView rawText = page.sliced(textStart, textLength);
            const QString anchorText = trimControl(DecodeCharacterReferences(rawText));

            const QString hrefText = tag.sliced(hrefStart, hrefEnd - hrefStart).toString();
            const bool mail = startsWithAsciiCI(hrefText, u"mailto:");
            sink(hrefText, mail ? QString() : base, follow, anchorText);
        }

        // The character after the tag's ">" goes too, so an "<a " glued to that ">" is passed over.
        offset = end + 2;
    }
}

QString DecodeCharacterReferences(QStringView text)
{
    qsizetype amp = text.indexOf(u'&');
    if (amp < 0) {
        return text.toString();
    }
    QString out;
    out.reserve(text.size());
    ForwardFinder<QStringView> semicolons(text, u";");
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
