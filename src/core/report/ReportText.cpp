#include "core/report/ReportText.h"

#include <string_view>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// A character that no XML 1.0 document may hold, not even as a reference.
bool isXmlForbidden(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF;
}

// Calls visit(unit, paired) for each UTF-16 unit, with paired true for both halves of a proper
// surrogate pair and false for a lone surrogate.
template <typename Visit> void forEachUnit(QStringView text, Visit &&visit)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            visit(c, true);
            visit(text[i + 1].unicode(), true);
            ++i;
            continue;
        }
        visit(c, false);
    }
}

} // namespace

QString markupEscaped(QStringView text, Markup where)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    forEachUnit(text, [&](char16_t c, bool paired) {
        if (QChar::isSurrogate(c) && !paired) {
            out += QChar(kReplacement);
            return;
        }
        switch (c) {
        case u'&':
            out += u"&amp;"_s;
            return;
        case u'<':
            out += u"&lt;"_s;
            return;
        case u'>':
            out += u"&gt;"_s;
            return;
        case u'"':
            out += u"&quot;"_s;
            return;
        case u'\'':
            out += u"&#39;"_s;
            return;
        case u'\r':
            out += where == Markup::Html ? u"\r"_s : u"&#13;"_s;
            return;
        case u'\n':
            out += where == Markup::XmlAttribute ? u"&#10;"_s : u"\n"_s;
            return;
        case u'\t':
            out += where == Markup::XmlAttribute ? u"&#9;"_s : u"\t"_s;
            return;
        default:
            break;
        }
        out += isXmlForbidden(c) ? QChar(kReplacement) : QChar(c);
    });
    return out;
}

QByteArray jsonString(QStringView text)
{
    constexpr std::string_view kHex = "0123456789abcdef";
    QByteArray out;
    out.reserve(text.size() + 2);
    out += '"';
    QString run; // characters written as they are, encoded to UTF-8 in one go
    auto flush = [&] {
        if (!run.isEmpty()) {
            out += run.toUtf8();
            run.clear();
        }
    };
    forEachUnit(text, [&](char16_t c, bool paired) {
        const char *escape = nullptr;
        switch (c) {
        case u'"':
            escape = "\\\"";
            break;
        case u'\\':
            escape = "\\\\";
            break;
        case u'\n':
            escape = "\\n";
            break;
        case u'\r':
            escape = "\\r";
            break;
        case u'\t':
            escape = "\\t";
            break;
        default:
            break;
        }
        if (escape != nullptr) {
            flush();
            out += escape;
            return;
        }
        if (c < 0x20 || (QChar::isSurrogate(c) && !paired)) {
            flush();
            out += "\\u";
            out += kHex[(c >> 12) & 0xF];
            out += kHex[(c >> 8) & 0xF];
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
            return;
        }
        run += QChar(c);
    });
    flush();
    out += '"';
    return out;
}

QString markdownEscaped(QStringView text, qsizetype maxChars)
{
    bool cut = false;
    if (maxChars > 0 && text.size() > maxChars) {
        qsizetype end = maxChars;
        // Never cut a surrogate pair in two.
        if (QChar::isHighSurrogate(text[end - 1].unicode()) && QChar::isLowSurrogate(text[end].unicode())) {
            --end;
        }
        text = text.first(end);
        cut = true;
    }
    // Backslash escapes work on every ASCII punctuation character in Markdown; these are the ones
    // that start emphasis, code, links (and images), HTML, entities or table cells anywhere.
    constexpr std::u16string_view kMarkup = u"\\`*_[]<>|~&";
    // These start a heading or a list or underline a heading only at the start of a line ("# ",
    // "- ", "+ ", "==="), and '.' or ')' only after leading digits ("1. ").
    constexpr std::u16string_view kLeading = u"#-+=";
    bool digitsSoFar = true;
    QString out;
    out.reserve(text.size() + text.size() / 4);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            out += text[i];
            out += text[i + 1];
            ++i;
        } else if (c == u'\r' || c == u'\n') {
            // CR LF is one line break.
            if (c == u'\r' && i + 1 < n && text[i + 1].unicode() == u'\n') {
                ++i;
            }
            out += u"<br>"_s;
        } else if (c == u'\t') {
            out += u' ';
        } else if (c < 0x20 || c == 0x7F || QChar::isSurrogate(c)) {
            out += QChar(kReplacement);
        } else if (kMarkup.find(c) != std::u16string_view::npos ||
                   (i == 0 && kLeading.find(c) != std::u16string_view::npos) ||
                   (i > 0 && digitsSoFar && (c == u'.' || c == u')'))) {
            out += u'\\';
            out += QChar(c);
        } else {
            out += QChar(c);
        }
        digitsSoFar = digitsSoFar && c >= u'0' && c <= u'9';
    }
    if (cut) {
        out += u"\u2026"_s;
    }
    return out;
}

QString uriReference(QStringView address)
{
    constexpr std::string_view kHex = "0123456789ABCDEF";
    // RFC 3986's unreserved and reserved characters, and '%' for escapes already there.
    constexpr std::string_view kAllowed = "-._~:/?#[]@!$&'()*+,;=%";
    const QByteArray bytes = address.toUtf8();
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
                           (b < 0x80 && kAllowed.find(static_cast<char>(b)) != std::string_view::npos);
        if (plain) {
            out += QLatin1Char(static_cast<char>(b));
        } else {
            out += u'%';
            out += QLatin1Char(kHex[b >> 4]);
            out += QLatin1Char(kHex[b & 0xF]);
        }
    }
    return out;
}

} // namespace quorvel
