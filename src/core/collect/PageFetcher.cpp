#include "core/collect/PageFetcher.h"

using namespace Qt::StringLiterals;

namespace quorvel {

FetchedPage FetchPage(const QString &, const FetchOptions &)
{
    FetchedPage page;
    page.error = u"Unknown Protocol"_s;
    return page;
}

} // namespace quorvel
