// The analysis of a page: the guard in front of the HTML parser, the parse, the extraction and the
// rendered text. Input: one byte that picks the limits (the defaults, or small ones so the cuts are
// reached by small inputs), then the page as UTF-8.

#include "FuzzInput.h"

#include "core/analyze/HtmlGuard.h"
#include "core/analyze/PageAnalysis.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;
using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::FuzzInput in(data, size);
    const uint8_t pick = in.byte();
    const QByteArray bytes = in.rest();

    AnalyzeLimits limits;
    // A time budget would make the outcome depend on the machine; a slow parse is the fuzzer's
    // own time-out to find.
    limits.parseTime = std::chrono::hours(1);
    if ((pick & 1) != 0) {
        limits.guard.maxBytes = 64 + (pick >> 1) * 16;
        limits.guard.maxDepth = 1 + (pick >> 2);
        limits.guard.maxWork = 200 + (pick >> 1) * 50;
        limits.guard.maxReopened = 1 + (pick >> 3);
        // The parser takes its memory a MiB at a time: a budget of one lets a larger page overrun it.
        limits.parseMemory = size_t(1) << (20 + (pick >> 6));
    }

    const GuardResult guard = guardHtml(bytes, limits.guard);
    if (guard.safeBytes < 0 || guard.safeBytes > bytes.size() ||
        (guard.cut == GuardCut::None) != (guard.safeBytes == bytes.size())) {
        std::abort();
    }

    const QString source = QString::fromUtf8(bytes);
    const PageAnalysis page = analyzeHtml(source, limits);
    (void)memoText(page.text);
    (void)rowsBlock(page.h1);
    (void)countsFor(QString(), page.title, page.description, page.h1, page.h2, page.h3, page.text);
    if ((pick & 2) != 0 && source.size() < 4096) {
        (void)ExtractTitle(source);
        (void)ExtractMetaDescription(source);
        (void)ExtractHeadings(source, u"H2"_s);
    }
    return 0;
}
