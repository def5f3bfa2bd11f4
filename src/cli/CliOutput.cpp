#include "cli/CliOutput.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

QString VisibleText(const QString &text)
{
    constexpr std::u16string_view kHex = u"0123456789abcdef";
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (!IsControlCharacter(c)) {
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
        if (c < 0x80 && !IsControlCharacter(c) && c != u'"' && c != u'\\') {
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
        if (!IsControlCharacter(c) && c != u'"' && c != u'\\' && !QChar::isSurrogate(c)) {
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
        constexpr std::string_view kHex = "0123456789abcdef";
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

QByteArray JsonString(const QString &text)
{
    QByteArray out;
    appendJsonString(out, text);
    return out;
}

QByteArray RowsToJson(const LinkRows &rows)
{
    QByteArray all;
    WriteRowsAsJson(rows, std::numeric_limits<qsizetype>::max(), [&all](const QByteArray &piece) { all += piece; });
    return all;
}

void WriteRowsAsJson(const LinkRows &rows, qsizetype chunkBytes, const std::function<void(const QByteArray &)> &write)
{
    JsonRowsWriter writer(chunkBytes, write);
    writer.add(rows);
    writer.finish();
}

JsonRowsWriter::JsonRowsWriter(qsizetype pieceBytes, std::function<void(const QByteArray &)> write)
    : m_pieceBytes(pieceBytes)
    , m_write(std::move(write))
{}

void JsonRowsWriter::add(const LinkRows &rows)
{
    for (const LinkRow &row : rows) {
        // "[" before the first row, a comma after every row but the last.
        m_out += m_anyRow ? ",\n  {\"link\": " : "[\n  {\"link\": ";
        m_anyRow = true;
        appendJsonString(m_out, row.link);
        m_out += ", \"follow\": ";
        appendJsonString(m_out, row.follow);
        m_out += ", \"type\": ";
        appendJsonString(m_out, row.type);
        m_out += ", \"anchor\": ";
        appendJsonString(m_out, row.anchorText);
        m_out += ", \"response\": ";
        appendJsonString(m_out, row.response);
        m_out += ", \"time\": ";
        appendJsonString(m_out, row.responseTime);
        m_out += ", \"icon\": ";
        m_out += QByteArray::number(row.icon);
        m_out += '}';
        if (m_out.size() >= m_pieceBytes) {
            m_write(m_out);
            m_out.truncate(0); // the capacity stays for the next piece
        }
    }
}

void JsonRowsWriter::finish()
{
    m_out += m_anyRow ? "\n]\n" : "[]\n";
    m_write(m_out);
    m_out = QByteArray();
}

void AppendUtf8(QByteArray &out, QStringView text)
{
    const char16_t *in = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (in[i] >= 0x80) {
            out += text.toUtf8();
            return;
        }
    }
    const qsizetype start = out.size();
    out.resize(start + n);
    char *w = out.data() + start;
    for (qsizetype i = 0; i < n; ++i) {
        w[i] = static_cast<char>(in[i]);
    }
}

} // namespace quorvel
