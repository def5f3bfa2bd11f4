#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>

namespace quorvel {

// Where a link's "<a" stands in the page text, both counted from 1. A CR LF, a lone CR and a lone
// LF each end a line, so a page gives the same numbers whatever its line ends are written as (a
// local file's text has them all made CR LF). The column counts UTF-16 code units, as SARIF 2.1.0
// does by default (its columnKind "utf16CodeUnits"): a character outside the Basic Multilingual
// Plane takes two.
struct TextPosition
{
    int line = 0;
    int column = 0;

    friend bool operator==(const TextPosition &, const TextPosition &) = default;
};

// What the scanner hands on for every link it finds, in page order. The base is the run's base,
// or empty for a mail link; at is where the link's tag begins.
using AnchorSink = std::function<void(const QString &href, const QString &base, const QString &follow,
                                      const QString &anchorText, TextPosition at)>;

// Finds the anchors of a page by plain text search (no parser) and calls sink for each link.
// Runs in time linear in the page: each tag is lower-cased once and every search resumes where the
// previous one ended.
void ScanAnchors(const QString &pageText, const QString &base, const AnchorSink &sink);
// The same for a page held as valid UTF-8 without a byte-order mark: the same calls as for its
// decoded text with every line end made CR LF (decodeLocalFile), without holding that text; the
// positions too are those of the decoded text.
// passed, when given, is called now and then with a position before which the scan will read
// nothing more of the page: the caller may hand that memory back.
using ScanPassed = std::function<void(qsizetype position)>;
void scanAnchorsUtf8(QByteArrayView page, const QString &base, const AnchorSink &sink, const ScanPassed &passed = {});

// How many "<a " (either case) the page holds: what a list of the scan's rows may reserve. A tag
// usually yields at most one link; when the rows outnumber the tags the list simply grows.
qsizetype countAnchorTags(QStringView page);
qsizetype countAnchorTagsUtf8(QByteArrayView page);

// Decodes the five named references and numeric ones (decimal, or hex after x, X or $); every other
// ampersand sequence stays as written.
QString decodeCharacterReferences(QStringView text);

} // namespace quorvel
