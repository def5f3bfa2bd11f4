#include "core/analyze/ContentsService.h"

#include <string_view>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

bool passesUnchanged(char32_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) {
        return true;
    }
    switch (c) {
    case u'!':
    case u'$':
    case u'\'':
    case u'(':
    case u')':
    case u'*':
    case u'-':
    case u'.':
    case u'_':
    case u'@':
        return true;
    default:
        return false;
    }
}

void appendByte(QString &out, unsigned byte)
{
    constexpr std::u16string_view kHex = u"0123456789ABCDEF";
    out += u'%';
    out += QChar(kHex[(byte >> 4) & 0xF]);
    out += QChar(kHex[byte & 0xF]);
}

void appendUtf8(QString &out, char32_t c)
{
    if (c < 0x80) {
        appendByte(out, c);
    } else if (c < 0x800) {
        appendByte(out, 0xC0 | (c >> 6));
        appendByte(out, 0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        appendByte(out, 0xE0 | (c >> 12));
        appendByte(out, 0x80 | ((c >> 6) & 0x3F));
        appendByte(out, 0x80 | (c & 0x3F));
    } else {
        appendByte(out, 0xF0 | (c >> 18));
        appendByte(out, 0x80 | ((c >> 12) & 0x3F));
        appendByte(out, 0x80 | ((c >> 6) & 0x3F));
        appendByte(out, 0x80 | (c & 0x3F));
    }
}

} // namespace

QString encodeForQuery(const QString &text)
{
    QString out;
    out.reserve(text.size() * 3);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = QChar::ReplacementCharacter;
        }
        if (passesUnchanged(c)) {
            out += QChar(static_cast<char16_t>(c));
        } else if (c == u' ') {
            out += u'+';
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

QString contentsServiceAddress(const QString &host, const QString &address)
{
    return u"https://"_s + host + u"/services/html2txt?url="_s + encodeForQuery(address);
}

} // namespace quorvel
