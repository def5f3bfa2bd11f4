#pragma once

#include "core/model/LinkRow.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>

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

// Which keys a row object carries: the collection's nine ("link" to "icon", then "line" and
// "column"), or those and the check's verdict keys ("verdict", "final", "final_status", "hops",
// "error").
enum class JsonRowKeys
{
    Collected,
    Checked,
};

// The rows as one JSON array, one object per row in table order.
QByteArray rowsToJson(const LinkRows &rows, JsonRowKeys keys = JsonRowKeys::Collected);

// Appends one row as a JSON object: lead (what goes before the row's keys, its "{" included), then
// the keys from "link" on, then "}".
void appendJsonRow(QByteArray &out, QByteArrayView lead, const LinkRow &row, JsonRowKeys keys);

// rowsToJson's bytes handed to write in pieces of about chunkBytes (a row is never split): the
// output of many rows is never held whole beside the rows.
void writeRowsAsJson(const LinkRows &rows, qsizetype chunkBytes, const std::function<void(const QByteArray &)> &write,
                     JsonRowKeys keys = JsonRowKeys::Collected);

// rowsToJson's array for rows that come in batches: add() each batch in table order, then
// finish(). The bytes go to write in pieces of about pieceBytes, never splitting a row.
class JsonRowsWriter
{
public:
    JsonRowsWriter(qsizetype pieceBytes, std::function<void(const QByteArray &)> write,
                   JsonRowKeys keys = JsonRowKeys::Collected);

    void add(const LinkRows &rows);
    // The end of the array, and what is still held. Call it once, after the last add().
    void finish();

private:
    qsizetype m_pieceBytes;
    std::function<void(const QByteArray &)> m_write;
    JsonRowKeys m_keys;
    QByteArray m_out;
    bool m_anyRow = false;
};

// Appends text as UTF-8, the same bytes as text.toUtf8(), without a copy for an ASCII text.
void appendUtf8(QByteArray &out, QStringView text);

} // namespace quorvel
