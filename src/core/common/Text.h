#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quorvel {

// Removes the characters with codes 0 to 32 from both ends.
QString trimControl(const QString &text);
QStringView trimControl(QStringView text);

// Folds only the ASCII letters, so positions found in the folded copy are valid in the text itself.
QString asciiLower(const QString &text);
QString asciiUpper(const QString &text);

inline char16_t asciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

inline char16_t asciiUpper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

// Does text begin with prefix when ASCII letters are compared without regard to case?
bool startsWithAsciiCI(QStringView text, QStringView prefix);

// The first unit at or after from, or -1; unlike QStringView::indexOf it is inline enough to pay
// off when the next hit lies only a few dozen units ahead.
qsizetype findUnit(QStringView text, qsizetype from, char16_t unit);

// Splits at CR LF, CR or LF and joins with CR LF, with CR LF after the last line. Empty stays empty.
QString normaliseLineEnds(const QString &text);
// The same, reusing the text's own storage when nothing else shares it: the text grows in place
// and is filled from the end, so a page is never held twice.
QString normaliseLineEnds(QString &&text);

// Every byte as its windows-1252 character (bytes the code page leaves undefined keep their code).
QString decodeWindows1252(QByteArrayView bytes);

} // namespace quorvel
