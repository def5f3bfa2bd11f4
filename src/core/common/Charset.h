#pragma once

#include "core/common/Http.h"

#include <QByteArray>
#include <QString>

namespace quorvel {

// Decodes a response body to text: the Content-Type charset, then (HTML types) meta http-equiv or
// meta charset in the head, then (XML types) the XML declaration or a byte-order mark; web labels
// are mapped first; an unknown or missing charset turns every byte into the character of that code.
QString decodeBody(const QByteArray &contentType, const QByteArray &body);

} // namespace quorvel
