#pragma once

#include "core/model/LinkRow.h"

#include <QByteArray>
#include <QString>

namespace quorvel {

// True for the characters a terminal may act on instead of showing: C0 controls, DEL and C1 controls.
constexpr bool isControlCharacter(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The text with every control character written as a visible escape: "\x1b" for C0 controls and
// DEL, "\u009b" for C1 controls. Used for everything the CLI shows on a terminal, so that an escape
// sequence in a page or an answer cannot move the cursor, recolour or retitle it.
QString visibleText(const QString &text);

// A JSON string literal in UTF-8; control characters (C0, DEL, C1) and lone UTF-16 surrogates
// become \uXXXX.
QByteArray jsonString(const QString &text);

// The rows as one JSON array, one object per row in table order.
QByteArray rowsToJson(const LinkRows &rows);

} // namespace quorvel
