// Scans a page for anchors and passes every link through AddLink, in all three URL Base modes.
// Input: one byte of mode bits, one byte that picks the page address (or takes it from the next
// line), then the page text as UTF-8. The links' positions must not change when the page is
// scanned with its line ends made CR LF, or as its UTF-8 bytes.

#include "FuzzInput.h"

#include "core/collect/AnchorScanner.h"
#include "core/collect/LinkResolver.h"
#include "core/collect/RunOptions.h"
#include "core/common/Text.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace Qt::StringLiterals;
using namespace quorvel;

namespace {

const std::array<QString, 7> kPageAddresses = {
    u"http://www.example.com/a/b/page.html"_s,
    u"https://sub.example.co.uk/"_s,
    u"http://example.com"_s,
    u"https://h.com/a/b/c/d/?q=1#frag"_s,
    u"file:///tmp/page.html"_s,
    u"http://127.0.0.1:8080/x"_s,
    u"www.example.org/no-scheme"_s,
};

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    const uint8_t pick = in.byte();
    const auto urlBase = std::array{UrlBaseMode::Domain, UrlBaseMode::Subdomain, UrlBaseMode::None}[mode % 3];
    const bool removeAnchors = (mode & 0x4) != 0;
    const QString pageAddress =
        (pick % 8) < kPageAddresses.size() ? kPageAddresses[pick % 8] : QString::fromUtf8(in.line());
    const QString ignoreUrls = (mode & 0x8) != 0 ? u"http://www.example.com/skip\r\n\r\nmailto:"_s : QString();
    const QString ignoreExtensions = (mode & 0x10) != 0 ? u" .jpg .PDF  zip "_s : QString();
    const RunOptions options = RunOptions::make(ignoreUrls, ignoreExtensions, removeAnchors, urlBase, pageAddress);

    const QString page = QString::fromUtf8(in.rest());
    qsizetype rows = 0;
    std::vector<TextPosition> positions;
    ScanAnchors(page, pageAddress,
                [&](const QString &href, const QString &base, const QString &follow, const QString &anchorText,
                    TextPosition at) {
                    positions.push_back(at);
                    if (AddLink(href, base, follow, anchorText, options)) {
                        ++rows;
                    }
                });
    // Every link has a place, in page order, and the place does not depend on how the line ends
    // are written or whether the page is scanned as its UTF-8 bytes.
    for (size_t i = 0; i < positions.size(); ++i) {
        const TextPosition at = positions[i];
        check(at.line >= 1 && at.column >= 1);
        check(i == 0 || at.line > positions[i - 1].line ||
              (at.line == positions[i - 1].line && at.column >= positions[i - 1].column));
    }
    const QByteArray bytes = page.toUtf8();
    if (QString::fromUtf8(bytes) == page && !bytes.startsWith("\xEF\xBB\xBF")) {
        std::vector<TextPosition> fromBytes;
        scanAnchorsUtf8(bytes, pageAddress,
                        [&](const QString &, const QString &, const QString &, const QString &, TextPosition at) {
                            fromBytes.push_back(at);
                        });
        check(fromBytes == positions);
    }
    std::vector<TextPosition> normalised;
    ScanAnchors(normaliseLineEnds(page), pageAddress,
                [&](const QString &, const QString &, const QString &, const QString &, TextPosition at) {
                    normalised.push_back(at);
                });
    check(normalised == positions);
    (void)decodeCharacterReferences(page);
    (void)rows;
    return 0;
}
