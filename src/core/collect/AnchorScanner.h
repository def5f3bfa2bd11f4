#pragma once

#include <QString>
#include <QStringView>

#include <functional>

namespace quorvel {

// What the scanner hands on for every link it finds, in page order. The base is the run's base,
// or empty for a mail link.
using AnchorSink =
    std::function<void(const QString &href, const QString &base, const QString &follow, const QString &anchorText)>;

// Finds the anchors of a page by plain text search (no parser) and calls sink for each link.
// Runs in time linear in the page: each tag is lower-cased once and every search resumes where the
// previous one ended.
void ScanAnchors(const QString &pageText, const QString &base, const AnchorSink &sink);

// How many "<a " (either case) the page holds: what a list of the scan's rows may reserve. A tag
// usually yields at most one link; when the rows outnumber the tags the list simply grows.
qsizetype countAnchorTags(QStringView page);

// Decodes the five named references and numeric ones (decimal, or hex after x, X or $); every other
// ampersand sequence stays as written.
QString decodeCharacterReferences(QStringView text);

} // namespace quorvel
