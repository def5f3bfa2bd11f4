#include "cli/CliOutput.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvel {

QString visibleText(const QString &text)
{
    static constexpr char16_t kHex[] = u"0123456789abcdef";
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (!isControlCharacter(c)) {
            out += ch;
        } else if (c < 0x80) {
            out += u"\\x"_s + QChar(kHex[c >> 4]) + QChar(kHex[c & 0xF]);
        } else {
            out += u"\\u00"_s + QChar(kHex[c >> 4]) + QChar(kHex[c & 0xF]);
        }
    }
    return out;
}

namespace {

// Appends text as a JSON string, quotes included, written straight into out: a run of characters
// that need no escape is encoded as UTF-8 in place, without a temporary per field.
void appendJsonString(QByteArray &out, QStringView text)
{
    const qsizetype n = text.size();
    // At most 6 bytes per unit (an escape), plus the quotes.
    const qsizetype start = out.size();
    const qsizetype most = start + 6 * n + 2;
    if (most > out.capacity()) {
        out.reserve(std::max(most, 2 * out.capacity()));
    }
    out.resize(most);
    char *const begin = out.data();
    char *w = begin + start;
    *w++ = '"';
    const char16_t *in = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c < 0x80 && !isControlCharacter(c) && c != u'"' && c != u'\\') {
            *w++ = static_cast<char>(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(in[i + 1])) {
            // A proper pair is written as UTF-8.
            const char32_t code = QChar::surrogateToUcs4(c, in[i + 1]);
            ++i;
            *w++ = static_cast<char>(0xF0 | (code >> 18));
            *w++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *w++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *w++ = static_cast<char>(0x80 | (code & 0x3F));
            continue;
        }
        if (!isControlCharacter(c) && c != u'"' && c != u'\\' && !QChar::isSurrogate(c)) {
            if (c < 0x800) {
                *w++ = static_cast<char>(0xC0 | (c >> 6));
            } else {
                *w++ = static_cast<char>(0xE0 | (c >> 12));
                *w++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            }
            *w++ = static_cast<char>(0x80 | (c & 0x3F));
            continue;
        }
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
            *w++ = escape[0];
            *w++ = escape[1];
            continue;
        }
        static constexpr char kHex[] = "0123456789abcdef";
        *w++ = '\\';
        *w++ = 'u';
        *w++ = kHex[(c >> 12) & 0xF];
        *w++ = kHex[(c >> 8) & 0xF];
        *w++ = kHex[(c >> 4) & 0xF];
        *w++ = kHex[c & 0xF];
    }
    *w++ = '"';
    out.truncate(w - begin);
}

} // namespace

QByteArray jsonString(const QString &text)
{
    QByteArray out;
    appendJsonString(out, text);
    return out;
}

QByteArray rowsToJson(const LinkRows &rows)
{
    if (rows.isEmpty()) {
        return "[]\n";
    }
    QByteArray out = "[\n";
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const LinkRow &row = rows[i];
        out += "  {\"link\": ";
        appendJsonString(out, row.link);
        out += ", \"follow\": ";
        appendJsonString(out, row.follow);
        out += ", \"type\": ";
        appendJsonString(out, row.type);
        out += ", \"anchor\": ";
        appendJsonString(out, row.anchorText);
        out += ", \"response\": ";
        appendJsonString(out, row.response);
        out += ", \"time\": ";
        appendJsonString(out, row.responseTime);
        out += ", \"icon\": ";
        out += QByteArray::number(row.icon);
        out += i + 1 < rows.size() ? "},\n" : "}\n";
    }
    out += "]\n";
    return out;
}

} // namespace quorvel
