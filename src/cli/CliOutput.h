#pragma once

#include "core/results/LinkRow.h"

#include <QByteArray>
#include <QString>

namespace quorvel {

// A JSON string literal in UTF-8; control characters and lone UTF-16 surrogates become \uXXXX.
QByteArray JsonString(const QString &text);

// The rows as one JSON array, one object per row in table order.
QByteArray RowsToJson(const LinkRows &rows);

} // namespace quorvel
