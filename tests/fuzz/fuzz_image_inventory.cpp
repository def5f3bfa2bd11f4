// The image scan of a page source. Input: the page as UTF-8.

#include "core/analyze/ImageInventory.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString source = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const ImageRows rows = ImagesListele(source);
    // Every value is copied from between two quotes of the source.
    for (const ImageRow &row : rows) {
        if (!source.contains(row.src) || !source.contains(row.alt) || !source.contains(row.title)) {
            std::abort();
        }
    }
    return 0;
}
