#pragma once

#include "core/analyze/HtmlGuard.h"

#include <QByteArrayView>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstddef>

namespace quorvel {

// What one parse of a page yields for the Analyze window.
struct PageAnalysis
{
    QString title;       // the first title element's text, white space collapsed and trimmed
    QString description; // the content of the last meta element named "description"
    QStringList h1;      // one row per line of each heading's rendered text, in document order
    QStringList h2;
    QStringList h3;
    QString text; // the page's rendered text, lines joined by CR LF
    QString note; // empty, or why only the first part of the page was analysed
};

// What one analysis may cost. A page beyond the guard's bounds is cut before parsing; a parse that
// still outgrows its memory or time is abandoned and a quarter as much of the page parsed instead.
struct AnalyzeLimits
{
    GuardLimits guard;
    size_t parseMemory = size_t(1) << 30;
    std::chrono::milliseconds parseTime{5000};
};

// Parses the page once (HTML5 rules; scripts do not run) and extracts everything above. Pages over
// 32 MiB, nested deeper than a few thousand levels or with markup that would make the parser work
// far beyond their size are cut to a safe prefix first, and the note says so.
PageAnalysis analyzeHtml(const QString &source, const AnalyzeLimits &limits = {});

// The names a fragment ("#name") of an address into the page can point at: every element's id and
// every <a>'s name, as written. The page (UTF-8) is guarded and parsed as analyzeHtml parses it.
QSet<QString> fragmentTargetsOf(QByteArrayView utf8, const AnalyzeLimits &limits = {});

// The three extraction routines on their own, each with a parse of its own.
QString ExtractTitle(const QString &html);
QString ExtractMetaDescription(const QString &html);
// The headings with the tag "h1", "h2" or "h3" (any ASCII case) as a block of lines, each followed
// by CR LF; another tag gives empty text.
QString ExtractHeadings(const QString &html, const QString &tag);

// Rows as one block: every row followed by CR LF.
QString rowsBlock(const QStringList &rows);

// Line breaks (CR, LF, CR LF) as CR LF, nothing added at the end: how a memo holds a text.
QString memoText(const QString &text);

// The seven count labels of the Analyze tab, in UTF-16 code units.
struct AnalysisCounts
{
    qsizetype url = 0;
    qsizetype title = 0;
    qsizetype description = 0; // the memo's text as given
    qsizetype h1 = 0;          // the rows as a block: their lengths plus 2 per row
    qsizetype h2 = 0;
    qsizetype h3 = 0;
    qsizetype contents = 0;

    friend bool operator==(const AnalysisCounts &, const AnalysisCounts &) = default;
};

AnalysisCounts countsFor(const QString &url, const QString &title, const QString &description, const QStringList &h1,
                         const QStringList &h2, const QStringList &h3, const QString &contents);

} // namespace quorvel
