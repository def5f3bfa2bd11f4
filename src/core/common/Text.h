#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
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

// One line of a text: its content is [start, contentEnd), its line break [contentEnd, end).
struct LineSpan
{
    qsizetype start = 0;
    qsizetype contentEnd = 0;
    qsizetype end = 0;
};

// What follows the last line break: DropEmpty gives a line only when text follows it (so an empty
// text has no lines); KeepEmpty always gives that last line, empty or not.
enum class LastLine
{
    DropEmpty,
    KeepEmpty
};

// Calls visit(LineSpan) for each line of text, which breaks at CR LF, a lone CR or a lone LF.
template <typename Visit> void forEachLine(QStringView text, LastLine last, Visit &&visit)
{
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c != u'\r' && c != u'\n') {
            continue;
        }
        const qsizetype contentEnd = i;
        if (c == u'\r' && i + 1 < n && text[i + 1].unicode() == u'\n') {
            ++i;
        }
        visit(LineSpan{start, contentEnd, i + 1});
        start = i + 1;
    }
    if (start < n || last == LastLine::KeepEmpty) {
        visit(LineSpan{start, n, n});
    }
}

// The lines of text, as spans or as strings without their breaks (see forEachLine).
QList<LineSpan> lineSpans(QStringView text, LastLine last = LastLine::DropEmpty);
QStringList splitLines(QStringView text, LastLine last = LastLine::DropEmpty);

// Splits at CR LF, CR or LF and joins with CR LF, with CR LF after the last line. Empty stays empty.
QString normaliseLineEnds(const QString &text);
// The same, reusing the text's own storage when nothing else shares it: the text grows in place
// and is filled from the end, so a page is never held twice.
QString normaliseLineEnds(QString &&text);

// Every byte as its windows-1252 character (bytes the code page leaves undefined keep their code).
QString decodeWindows1252(QByteArrayView bytes);

} // namespace quorvel
