#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace quorvel {

// Where a text from a page goes in a markup report. Pages are hostile input: everything they give
// is escaped, and the characters XML cannot hold at all (C0 controls other than tab, LF and CR,
// U+FFFE, U+FFFF and lone UTF-16 surrogates) become U+FFFD, so the file always parses.
enum class Markup
{
    Html,         // HTML text or a double-quoted attribute value
    XmlText,      // XML character data; a CR is written as a reference, else a reader turns it into LF
    XmlAttribute, // a double-quoted XML attribute value; tab, LF and CR as references, else a reader
                  // turns them into blanks
};

QString markupEscaped(QStringView text, Markup where);

// A JSON string literal in UTF-8, quotes included: '"', '\\' and C0 controls escaped, lone UTF-16
// surrogates written as \uXXXX escapes, everything else as UTF-8.
QByteArray jsonString(QStringView text);

// The text as a Markdown table cell or list item: ASCII punctuation that Markdown reads as markup
// (including '|', '`' and '<') is backslash-escaped, a line break becomes "<br>", a tab a blank,
// other controls and lone surrogates U+FFFD. A text longer than maxChars characters is cut there
// and ends with "…", so a cell stays readable (0: no limit).
QString markdownEscaped(QStringView text, qsizetype maxChars = 0);

// The address as a URI reference: bytes of its UTF-8 outside the characters URIs allow (blanks,
// controls, non-ASCII, quotes, braces, ...) are percent-encoded; '%' and the reserved characters are
// kept as they are.
QString uriReference(QStringView address);

} // namespace quorvel
