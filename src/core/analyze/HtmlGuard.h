#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace quorvel {

// Why the guard cut a page short before it reached the HTML parser.
enum class GuardCut
{
    None,
    Size,       // longer than maxBytes
    Depth,      // elements nested deeper than maxDepth
    Complexity, // markup that would make the tree builder work far beyond the page's size
};

struct GuardLimits
{
    qsizetype maxBytes = 32LL * 1024 * 1024;
    int maxDepth = 3000;
    // Estimated steps of the tree builder: walks of its stack of open elements, comparisons of
    // attribute names within one tag. About a second of parsing on a desktop machine.
    qint64 maxWork = 150'000'000;
    // Formatting elements the tree builder would re-open after misnested markup.
    qint64 maxReopened = 1'000'000;
};

struct GuardResult
{
    qsizetype safeBytes = 0; // the length of the prefix that may be parsed
    GuardCut cut = GuardCut::None;
    // The deepest nesting of elements the model reached before any cut, not counting html, head
    // and body: a bound on how deep the parser's tree of the safe prefix grows below them.
    int deepest = 0;
};

// Finds how much of a page (UTF-8) the HTML parser can take without running deep or long: a
// linear scan over the tags with a model of the tree builder's stack of open elements (implied
// end tags, table structure, formatting elements re-opened after misnested end tags). The page is
// cut before the first tag or text that would nest deeper than maxDepth or push the estimated work
// over its bounds, or at maxBytes (on a character boundary).
GuardResult guardHtml(QByteArrayView utf8, const GuardLimits &limits = {});

} // namespace quorvel
