#pragma once

#include <QString>

namespace quorvel {

// The host of the W3C service that turns a page into plain text; tests point the analysis at a
// loopback server instead.
inline constexpr const char16_t *kContentsServiceHost = u"www.w3.org";

// Encodes a whole address for a query value: letters, digits, ! $ ' ( ) * - . _ @ pass, a blank
// becomes "+", every other character is written as %XX (upper-case hex) per byte of its UTF-8 form.
// A lone UTF-16 surrogate is taken as U+FFFD.
QString encodeForQuery(const QString &text);

// "https://" + host + "/services/html2txt?url=" + the encoded address.
QString contentsServiceAddress(const QString &host, const QString &address);

} // namespace quorvel
