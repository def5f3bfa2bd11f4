#pragma once

#include "core/model/LinkRow.h"

#include <QByteArray>
#include <QChar>
#include <QLocale>
#include <QString>

namespace quorvel {

enum class ExportFormat
{
    Csv,
    Text
};

// Quotes one CSV field when it holds the separator, a double quote, CR or LF; a quote inside is
// doubled. Linear in the field's length.
QString CsvField(const QString &text, QChar separator);

// ';' when the locale writes decimals with a comma, otherwise ','.
QChar LocaleListSeparator(const QLocale &locale = QLocale());

// CSV exactly when the lower-cased extension of the file name's last component is ".csv".
ExportFormat exportFormatFor(const QString &fileName);

// One export line per row, without its line end: five CSV fields, or the link alone.
QString exportLine(const LinkRow &row, ExportFormat format, QChar separator);

// The whole export file: UTF-8 byte-order mark, every line ended by CR LF.
QByteArray exportBytes(const LinkRows &rows, ExportFormat format, QChar separator);

// Writes the export by atomic replace; on failure returns false and sets error to
// "Cannot create file "<name>". <reason>", leaving any existing file as it was. An existing target
// that is not a regular file (a device, a FIFO) is refused, never replaced.
bool writeExportFile(const QString &fileName, const LinkRows &rows, QChar separator, QString *error);

} // namespace quorvel
