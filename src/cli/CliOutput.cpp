#include "cli/CliOutput.h"

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

void appendEscape(QByteArray &out, char16_t unit)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\u";
    out += kHex[(unit >> 12) & 0xF];
    out += kHex[(unit >> 8) & 0xF];
    out += kHex[(unit >> 4) & 0xF];
    out += kHex[unit & 0xF];
}

} // namespace

QString VisibleText(const QString &text)
{
    static constexpr char16_t kHex[] = u"0123456789abcdef";
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

QByteArray JsonString(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    out += '"';
    const qsizetype n = text.size();
    qsizetype runStart = 0; // start of a run of characters that need no escape
    auto flush = [&](qsizetype end) {
        if (end > runStart) {
            out += QStringView(text).sliced(runStart, end - runStart).toUtf8();
        }
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        const bool high = QChar::isHighSurrogate(c);
        const bool low = QChar::isLowSurrogate(c);
        if (high && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i; // a proper pair is written as UTF-8
            continue;
        }
        if (!IsControlCharacter(c) && c != u'"' && c != u'\\' && !high && !low) {
            continue;
        }
        flush(i);
        switch (c) {
        case u'"':
            out += "\\\"";
            break;
        case u'\\':
            out += "\\\\";
            break;
        case u'\n':
            out += "\\n";
            break;
        case u'\r':
            out += "\\r";
            break;
        case u'\t':
            out += "\\t";
            break;
        default:
            appendEscape(out, c);
            break;
        }
        runStart = i + 1;
    }
    flush(n);
    out += '"';
    return out;
}

QByteArray RowsToJson(const LinkRows &rows)
{
    if (rows.isEmpty()) {
        return "[]\n";
    }
    QByteArray out = "[\n";
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const LinkRow &row = rows[i];
        out += "  {\"link\": " + JsonString(row.link) + ", \"follow\": " + JsonString(row.follow) +
               ", \"type\": " + JsonString(row.type) + ", \"anchor\": " + JsonString(row.anchorText) +
               ", \"response\": " + JsonString(row.response) + ", \"time\": " + JsonString(row.responseTime) +
               ", \"icon\": " + QByteArray::number(row.icon) + "}";
        out += i + 1 < rows.size() ? ",\n" : "\n";
    }
    out += "]\n";
    return out;
}

} // namespace quorvel
