#include "cli/CliOutput.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

QString visibleText(const QString &text)
{
    constexpr std::u16string_view kHex = u"0123456789abcdef";
    // Most texts hold no control character: they are returned as they are, without a copy.
    const auto clean =
        std::none_of(text.cbegin(), text.cend(), [](const QChar ch) { return isControlCharacter(ch.unicode()); });
    if (clean) {
        return text;
    }
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
// The most bytes writeJsonString writes for a text: 6 per unit (an escape), and the quotes.
qsizetype jsonStringBound(QStringView text)
{
    return 6 * text.size() + 2;
}

// Writes text as a JSON string, quotes included, at w, which has room for jsonStringBound(text)
// bytes; returns the end of what it wrote. A run of characters that need no escape is encoded as
// UTF-8 in place, without a temporary per field.
char *writeJsonString(char *w, QStringView text)
{
    const qsizetype n = text.size();
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
        constexpr std::string_view kHex = "0123456789abcdef";
        *w++ = '\\';
        *w++ = 'u';
        *w++ = kHex[(c >> 12) & 0xF];
        *w++ = kHex[(c >> 8) & 0xF];
        *w++ = kHex[(c >> 4) & 0xF];
        *w++ = kHex[c & 0xF];
    }
    *w++ = '"';
    return w;
}

// Appends text as a JSON string, quotes included.
void appendJsonString(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    const qsizetype most = start + jsonStringBound(text);
    if (most > out.capacity()) {
        out.reserve(std::max(most, 2 * out.capacity()));
    }
    out.resize(most);
    char *const begin = out.data();
    out.truncate(writeJsonString(begin + start, text) - begin);
}

// Copies a text known when compiling, without its terminating zero; returns the end.
// NOLINTNEXTLINE(modernize-avoid-c-arrays): the literal's own array, its length known when compiled
template <size_t N> char *writeLiteral(char *w, const char (&text)[N])
{
    std::memcpy(w, text, N - 1);
    return w + N - 1;
}

// The check's keys of a row, after its "column"; add() makes room for them: 128 more characters for
// the names, the verdict's word (at most 16) and two numbers (at most 11 each), and the two strings.
char *writeVerdictKeys(char *w, const LinkRow &row)
{
    w = writeLiteral(w, R"(, "verdict": ")");
    const QByteArray word = verdictName(row.verdict).toLatin1();
    std::memcpy(w, word.constData(), size_t(word.size()));
    w += word.size();
    w = writeLiteral(w, R"(", "final": )");
    w = writeJsonString(w, row.finalUrl);
    w = writeLiteral(w, ", \"final_status\": ");
    w = std::to_chars(w, w + 11, row.finalStatus).ptr;
    w = writeLiteral(w, ", \"hops\": ");
    w = std::to_chars(w, w + 11, row.hops).ptr;
    w = writeLiteral(w, ", \"error\": ");
    return writeJsonString(w, row.verdictError);
}

} // namespace

QByteArray jsonString(const QString &text)
{
    QByteArray out;
    appendJsonString(out, text);
    return out;
}

QByteArray rowsToJson(const LinkRows &rows, JsonRowKeys keys)
{
    QByteArray all;
    writeRowsAsJson(
        rows, std::numeric_limits<qsizetype>::max(), [&all](const QByteArray &piece) { all += piece; }, keys);
    return all;
}

void writeRowsAsJson(const LinkRows &rows, qsizetype chunkBytes, const std::function<void(const QByteArray &)> &write,
                     JsonRowKeys keys)
{
    JsonRowsWriter writer(chunkBytes, write, keys);
    writer.add(rows);
    writer.finish();
}

JsonRowsWriter::JsonRowsWriter(qsizetype pieceBytes, std::function<void(const QByteArray &)> write, JsonRowKeys keys)
    : m_pieceBytes(pieceBytes)
    , m_write(std::move(write))
    , m_keys(keys)
{}

void appendJsonRow(QByteArray &out, QByteArrayView lead, const LinkRow &row, JsonRowKeys keys)
{
    // Room for the whole row at once, then written through a pointer: the field names, the strings,
    // three numbers (at most 11 characters each) and the punctuation.
    const qsizetype start = out.size();
    const qsizetype most = start + lead.size() + (keys == JsonRowKeys::Checked ? 320 : 192) +
                           jsonStringBound(row.link) + jsonStringBound(row.follow) + jsonStringBound(row.type) +
                           jsonStringBound(row.anchorText) + jsonStringBound(row.response) +
                           jsonStringBound(row.responseTime) + jsonStringBound(row.finalUrl) +
                           jsonStringBound(row.verdictError);
    if (most > out.capacity()) {
        out.reserve(std::max(most, 2 * out.capacity()));
    }
    out.resize(most);
    char *const begin = out.data();
    char *w = begin + start;
    std::memcpy(w, lead.data(), size_t(lead.size()));
    w += lead.size();
    w = writeLiteral(w, "\"link\": ");
    w = writeJsonString(w, row.link);
    w = writeLiteral(w, ", \"follow\": ");
    w = writeJsonString(w, row.follow);
    w = writeLiteral(w, ", \"type\": ");
    w = writeJsonString(w, row.type);
    w = writeLiteral(w, ", \"anchor\": ");
    w = writeJsonString(w, row.anchorText);
    w = writeLiteral(w, ", \"response\": ");
    w = writeJsonString(w, row.response);
    w = writeLiteral(w, ", \"time\": ");
    w = writeJsonString(w, row.responseTime);
    w = writeLiteral(w, ", \"icon\": ");
    w = std::to_chars(w, w + 11, row.icon).ptr;
    w = writeLiteral(w, ", \"line\": ");
    w = std::to_chars(w, w + 11, row.line).ptr;
    w = writeLiteral(w, ", \"column\": ");
    w = std::to_chars(w, w + 11, row.column).ptr;
    if (keys == JsonRowKeys::Checked) {
        w = writeVerdictKeys(w, row);
    }
    *w++ = '}';
    out.truncate(w - begin);
}

void JsonRowsWriter::add(const LinkRows &rows)
{
    for (const LinkRow &row : rows) {
        // "[" before the first row, a comma after every row but the last.
        appendJsonRow(m_out, m_anyRow ? ",\n  {" : "[\n  {", row, m_keys);
        m_anyRow = true;
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

void appendUtf8(QByteArray &out, QStringView text)
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
