#include "core/common/Charset.h"

#include "core/common/Text.h"

#include <QByteArrayView>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// A page's meta elements are looked for up to "</head>", and never beyond this many bytes: a page
// without a head section must not cost a search through megabytes of body.
constexpr qsizetype kHeadSearchLimit = qsizetype{64} * 1024;
// An XML declaration is short; it must end within this many bytes of the start.
constexpr qsizetype kXmlDeclarationLimit = 1024;
// Longer charset names are not names (and are not handed to the converter).
constexpr qsizetype kCharsetNameLimit = 64;

// The decoder our own routine stands in for.
constexpr const char *kWindows1252 = "windows-1252";

struct Label
{
    std::string_view label;
    const char *name; // what QStringDecoder is given, or kWindows1252
};

// Web labels whose meaning differs from the name a converter would take them by (latin1 and ascii
// pages are windows-1252 in practice), or that a converter does not know. Lower case.
constexpr std::array kLabels = {
    Label{"ansi_x3.4-1968", kWindows1252},
    Label{"ascii", kWindows1252},
    Label{"cp1252", kWindows1252},
    Label{"cp819", kWindows1252},
    Label{"csisolatin1", kWindows1252},
    Label{"ibm819", kWindows1252},
    Label{"iso-8859-1", kWindows1252},
    Label{"iso-ir-100", kWindows1252},
    Label{"iso8859-1", kWindows1252},
    Label{"iso88591", kWindows1252},
    Label{"iso_8859-1", kWindows1252},
    Label{"iso_8859-1:1987", kWindows1252},
    Label{"l1", kWindows1252},
    Label{"latin1", kWindows1252},
    Label{"us-ascii", kWindows1252},
    Label{"windows-1252", kWindows1252},
    Label{"x-cp1252", kWindows1252},
    Label{"unicode-1-1-utf-8", "UTF-8"},
    Label{"unicode11utf8", "UTF-8"},
    Label{"unicode20utf8", "UTF-8"},
    Label{"utf-8", "UTF-8"},
    Label{"utf8", "UTF-8"},
    Label{"x-unicode20utf8", "UTF-8"},
    Label{"csunicode", "UTF-16LE"},
    Label{"iso-10646-ucs-2", "UTF-16LE"},
    Label{"ucs-2", "UTF-16LE"},
    Label{"unicode", "UTF-16LE"},
    Label{"unicodefeff", "UTF-16LE"},
    Label{"utf-16", "UTF-16LE"},
    Label{"utf-16le", "UTF-16LE"},
    Label{"unicodefffe", "UTF-16BE"},
    Label{"utf-16be", "UTF-16BE"},
    Label{"iso-8859-9", "windows-1254"},
    Label{"iso8859-9", "windows-1254"},
    Label{"iso88599", "windows-1254"},
    Label{"iso_8859-9", "windows-1254"},
    Label{"l5", "windows-1254"},
    Label{"latin5", "windows-1254"},
    Label{"iso-8859-11", "windows-874"},
    Label{"tis-620", "windows-874"},
    Label{"chinese", "GBK"},
    Label{"csgb2312", "GBK"},
    Label{"gb2312", "GBK"},
    Label{"gb_2312-80", "GBK"},
    Label{"x-gbk", "GBK"},
    Label{"euc-kr", "windows-949"},
    Label{"ks_c_5601-1987", "windows-949"},
    Label{"korean", "windows-949"},
    Label{"x-sjis", "Shift_JIS"},
};

char lowerByte(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

QByteArray lowerBytes(QByteArrayView bytes)
{
    QByteArray result(bytes.size(), Qt::Uninitialized);
    std::transform(bytes.begin(), bytes.end(), result.begin(), lowerByte);
    return result;
}

QByteArrayView trimmed(QByteArrayView bytes)
{
    while (!bytes.isEmpty() && isSpace(bytes.front())) {
        bytes = bytes.sliced(1);
    }
    while (!bytes.isEmpty() && isSpace(bytes.back())) {
        bytes.chop(1);
    }
    return bytes;
}

// The position of needle (lower case) in haystack, ASCII case ignored, or -1.
qsizetype indexOfFolded(QByteArrayView haystack, QByteArrayView needle, qsizetype from = 0)
{
    const qsizetype last = haystack.size() - needle.size();
    for (qsizetype i = from; i <= last; ++i) {
        qsizetype j = 0;
        while (j < needle.size() && lowerByte(haystack[i + j]) == needle[j]) {
            ++j;
        }
        if (j == needle.size()) {
            return i;
        }
    }
    return -1;
}

// The media type of a Content-Type value: before any parameter, trimmed, lower case.
QByteArray mediaTypeOf(QByteArrayView contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    return lowerBytes(trimmed(semicolon < 0 ? contentType : contentType.first(semicolon)));
}

// The charset named in a Content-Type value, the way browsers read it from a meta element too:
// "charset", blanks, "=", blanks, then a quoted value or one up to a blank or ";". Empty if none.
QByteArray charsetParameterOf(QByteArrayView contentType)
{
    qsizetype at = 0;
    while ((at = indexOfFolded(contentType, "charset", at)) >= 0) {
        qsizetype i = at + 7;
        while (i < contentType.size() && isSpace(contentType[i])) {
            ++i;
        }
        if (i >= contentType.size() || contentType[i] != '=') {
            at = i;
            continue;
        }
        ++i;
        while (i < contentType.size() && isSpace(contentType[i])) {
            ++i;
        }
        if (i >= contentType.size()) {
            return {};
        }
        const char quote = contentType[i];
        if (quote == '"' || quote == '\'') {
            const qsizetype end = contentType.indexOf(quote, i + 1);
            return end < 0 ? QByteArray() : contentType.sliced(i + 1, end - i - 1).toByteArray();
        }
        qsizetype end = i;
        while (end < contentType.size() && !isSpace(contentType[end]) && contentType[end] != ';') {
            ++end;
        }
        return contentType.sliced(i, end - i).toByteArray();
    }
    return {};
}

bool isHtmlType(const QByteArray &mediaType)
{
    return mediaType == "text/html" || mediaType == "text/html-sandboxed" || mediaType == "application/xhtml+xml";
}

bool isXmlType(const QByteArray &mediaType)
{
    return mediaType == "text/xml" || mediaType == "application/xml" || mediaType.endsWith("+xml");
}

struct Attribute
{
    QByteArray name; // lower case
    QByteArray value;
};

// Reads one attribute of a tag at pos, moving pos past it; nullopt at the tag's end (pos then
// points past the ">" or at the end of the text).
std::optional<Attribute> nextAttribute(QByteArrayView text, qsizetype &pos)
{
    const qsizetype n = text.size();
    while (pos < n && (isSpace(text[pos]) || text[pos] == '/')) {
        ++pos;
    }
    if (pos >= n) {
        return std::nullopt;
    }
    if (text[pos] == '>') {
        ++pos;
        return std::nullopt;
    }
    Attribute attribute;
    const qsizetype nameStart = pos;
    // An empty name is possible only before "=", which is then passed over: the loop always advances.
    while (pos < n && !isSpace(text[pos]) && text[pos] != '=' && text[pos] != '>' && text[pos] != '/') {
        ++pos;
    }
    attribute.name = lowerBytes(text.sliced(nameStart, pos - nameStart));
    while (pos < n && isSpace(text[pos])) {
        ++pos;
    }
    if (pos >= n || text[pos] != '=') {
        return attribute;
    }
    ++pos;
    while (pos < n && isSpace(text[pos])) {
        ++pos;
    }
    if (pos >= n) {
        return attribute;
    }
    const char quote = text[pos];
    if (quote == '"' || quote == '\'') {
        const qsizetype end = text.indexOf(quote, pos + 1);
        const qsizetype stop = end < 0 ? n : end;
        attribute.value = text.sliced(pos + 1, stop - pos - 1).toByteArray();
        pos = end < 0 ? n : end + 1;
        return attribute;
    }
    const qsizetype valueStart = pos;
    while (pos < n && !isSpace(text[pos]) && text[pos] != '>') {
        ++pos;
    }
    attribute.value = text.sliced(valueStart, pos - valueStart).toByteArray();
    return attribute;
}

// The charset a page declares in its head: the first meta element with a charset attribute, or
// with http-equiv="Content-Type" whose content names a charset. Comments are skipped. Empty if none.
QByteArray metaCharsetOf(QByteArrayView body)
{
    QByteArrayView head = body.first(std::min(body.size(), kHeadSearchLimit));
    const qsizetype headEnd = indexOfFolded(head, "</head");
    if (headEnd >= 0) {
        head = head.first(headEnd);
    }
    const qsizetype n = head.size();
    qsizetype pos = 0;
    while ((pos = head.indexOf('<', pos)) >= 0) {
        if (head.sliced(pos).startsWith("<!--")) {
            const qsizetype end = head.indexOf("-->", pos + 4);
            if (end < 0) {
                return {};
            }
            pos = end + 3;
            continue;
        }
        if (pos + 5 >= n || indexOfFolded(head.sliced(pos, 5), "<meta") != 0 ||
            !(isSpace(head[pos + 5]) || head[pos + 5] == '/')) {
            ++pos;
            continue;
        }
        pos += 5;
        QByteArray charset;
        QByteArray httpEquiv;
        QByteArray content;
        while (std::optional<Attribute> attribute = nextAttribute(head, pos)) {
            if (attribute->name == "charset" && charset.isEmpty()) {
                charset = attribute->value;
            } else if (attribute->name == "http-equiv" && httpEquiv.isEmpty()) {
                httpEquiv = lowerBytes(trimmed(attribute->value));
            } else if (attribute->name == "content" && content.isEmpty()) {
                content = attribute->value;
            }
        }
        if (!trimmed(charset).isEmpty()) {
            return charset;
        }
        if (httpEquiv == "content-type") {
            QByteArray declared = charsetParameterOf(content);
            if (!trimmed(declared).isEmpty()) {
                return declared;
            }
        }
    }
    return {};
}

// The encoding named in an XML declaration at the start of the body, or empty.
QByteArray xmlDeclarationCharsetOf(QByteArrayView body)
{
    if (!body.startsWith("<?xml")) {
        return {};
    }
    const QByteArrayView start = body.first(std::min(body.size(), kXmlDeclarationLimit));
    const qsizetype end = start.indexOf("?>");
    if (end < 0) {
        return {};
    }
    const QByteArrayView declaration = start.first(end);
    qsizetype at = 0;
    while ((at = declaration.indexOf("encoding", at)) >= 0) {
        qsizetype i = at + 8;
        while (i < declaration.size() && isSpace(declaration[i])) {
            ++i;
        }
        if (i >= declaration.size() || declaration[i] != '=') {
            at = i;
            continue;
        }
        ++i;
        while (i < declaration.size() && isSpace(declaration[i])) {
            ++i;
        }
        if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) {
            return {};
        }
        const qsizetype close = declaration.indexOf(declaration[i], i + 1);
        return close < 0 ? QByteArray() : declaration.sliced(i + 1, close - i - 1).toByteArray();
    }
    return {};
}

struct ByteOrderMark
{
    qsizetype length = 0;
    const char *name = nullptr;
};

ByteOrderMark byteOrderMarkOf(QByteArrayView body)
{
    if (body.startsWith("\xEF\xBB\xBF")) {
        return {3, "UTF-8"};
    }
    if (body.startsWith("\xFF\xFE")) {
        return {2, "UTF-16LE"};
    }
    if (body.startsWith("\xFE\xFF")) {
        return {2, "UTF-16BE"};
    }
    return {};
}

// "<?" written in UTF-16 without a byte-order mark: the XML way of saying the document is UTF-16.
const char *xmlUtf16Of(QByteArrayView body)
{
    if (body.startsWith(QByteArrayView("<\0?\0", 4))) {
        return "UTF-16LE";
    }
    if (body.startsWith(QByteArrayView("\0<\0?", 4))) {
        return "UTF-16BE";
    }
    return nullptr;
}

// The decoder name for a charset label: the web label table first, else the label itself.
QByteArray decoderNameOf(QByteArrayView label)
{
    const QByteArray folded = lowerBytes(trimmed(label));
    const std::string_view key(folded.constData(), static_cast<size_t>(folded.size()));
    for (const Label &entry : kLabels) {
        if (entry.label == key) {
            return {entry.name};
        }
    }
    return trimmed(label).toByteArray();
}

// Decodes with the named charset; a name no decoder knows gives every byte as its own code.
QString decodeAs(QByteArrayView bytes, QByteArrayView label)
{
    const QByteArray name = decoderNameOf(label);
    if (name.isEmpty() || name.size() > kCharsetNameLimit || name.contains('\0')) {
        return QString::fromLatin1(bytes);
    }
    if (name == kWindows1252) {
        return decodeWindows1252(bytes);
    }
    // Stateless: an incomplete sequence at the end of the body becomes a replacement character
    // instead of being held back for input that will never come.
    QStringDecoder decoder(name.constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) {
        return QString::fromLatin1(bytes);
    }
    return decoder.decode(bytes);
}

// A charset that a page names in ASCII-compatible bytes cannot be UTF-16; browsers read it as UTF-8.
QByteArray declaredInPage(QByteArray label)
{
    const QByteArray name = decoderNameOf(label);
    if (name.startsWith("UTF-16")) {
        return "UTF-8";
    }
    return label;
}

} // namespace

QString decodeBody(const QByteArray &contentType, const QByteArray &body)
{
    // A byte-order mark is the strongest evidence there is: it wins over every declaration.
    const ByteOrderMark bom = byteOrderMarkOf(body);
    if (bom.length > 0) {
        return decodeAs(QByteArrayView(body).sliced(bom.length), bom.name);
    }

    const QByteArray mediaType = mediaTypeOf(contentType);
    QByteArray charset = charsetParameterOf(contentType);
    bool declared = false;
    if (isHtmlType(mediaType)) {
        const QByteArray meta = metaCharsetOf(body);
        if (!meta.isEmpty()) {
            charset = declaredInPage(meta);
            declared = true;
        }
    }
    if (!declared && isXmlType(mediaType)) {
        if (const char *utf16 = xmlUtf16Of(body)) {
            charset = utf16;
        } else if (const QByteArray encoding = xmlDeclarationCharsetOf(body); !encoding.isEmpty()) {
            charset = declaredInPage(encoding);
        } else if (trimmed(charset).isEmpty()) {
            charset = "UTF-8";
        }
    }
    return decodeAs(body, charset);
}

} // namespace quorvel
