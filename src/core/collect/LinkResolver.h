#pragma once

#include "core/collect/RunOptions.h"
#include "core/model/LinkRow.h"

#include <QString>

#include <optional>

namespace quorvel {

// Filters, resolves and classifies one link as the scanner found it: zero or one row.
std::optional<LinkRow> AddLink(const QString &href, const QString &base, const QString &follow,
                               const QString &anchorText, const RunOptions &options);

// Scheme and authority of an http or https address as written, without a trailing slash; empty
// for any other text (the scheme test is case-sensitive).
QString SiteRoot(const QString &text);

// The text without a leading "http://" or "https://", compared without regard to ASCII case.
QString StripScheme(const QString &text);

// Resolves an href that begins with "..": one folder up per "..", never above the site root.
QString ResolveParentPath(const QString &href, const QString &base);

// The host of an address as written: the authority without user information, port or IPv6
// brackets; empty when the address has none.
QString hostNameOf(const QString &address);

// The registrable-looking end of the address's host, or empty.
QString DomainOf(const QString &address);

// The registrable domain of the address's host by the Public Suffix List, in lower case: an IP
// number, a single label or a host that is itself a public suffix stands for itself. Empty when
// the address has no host.
QString registrableDomainOf(const QString &address);

} // namespace quorvel
