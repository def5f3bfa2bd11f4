// The address routines: site root, scheme stripping, ".." resolution, the domain, the URL box's
// fix-up, the target of a redirect and the bytes sent for an address. Input: the page address up to
// the first LF, then the href or Location.

#include "FuzzInput.h"

#include "core/collect/Collector.h"
#include "core/collect/LinkResolver.h"
#include "core/common/Http.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace quorvel;

namespace {

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
    const QString address = QString::fromUtf8(in.line());
    const QString href = QString::fromUtf8(in.rest());

    // Both are cut from the text as written: a prefix and a suffix of it.
    const QString root = SiteRoot(address);
    check(address.startsWith(root));
    const QString stripped = StripScheme(address);
    check(address.endsWith(stripped));
    check(SiteRoot(href).size() <= href.size());

    const QString domain = DomainOf(address);
    check(domain.isEmpty() || address.contains(domain, Qt::CaseSensitive));
    (void)DomainOf(href);

    // However many ".." there are, the result never climbs above the base's site root.
    const QString parent = ResolveParentPath(href, address);
    if (!root.isEmpty() && href.startsWith(u"..")) {
        check(parent.startsWith(root));
    }

    (void)fixUpAddress(address);
    (void)RedirectTarget(address, href);
    (void)requestUrlBytes(address);
    (void)requestUrlBytes(href);
    return 0;
}
