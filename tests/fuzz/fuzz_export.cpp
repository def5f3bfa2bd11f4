// The export: CSV fields and lines, and the bytes of a whole export. Input: one byte that picks the
// separator and the format, then the fields of the rows, one per line, five to a row.

#include "FuzzInput.h"

#include "core/results/Export.h"

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
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

// Reads one CSV line back into its fields: a field in double quotes holds doubled quotes.
QStringList parseCsvLine(const QString &line, QChar separator)
{
    QStringList fields;
    QString field;
    qsizetype i = 0;
    while (true) {
        field.clear();
        if (i < line.size() && line[i] == u'"') {
            ++i;
            while (true) {
                check(i < line.size()); // an unterminated quoted field
                if (line[i] == u'"') {
                    if (i + 1 < line.size() && line[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            check(i == line.size() || line[i] == separator);
        } else {
            while (i < line.size() && line[i] != separator) {
                check(line[i] != u'"'); // a bare quote in an unquoted field
                field += line[i++];
            }
        }
        fields.append(field);
        if (i == line.size()) {
            return fields;
        }
        ++i; // the separator
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::FuzzInput in(data, size);
    const uint8_t choice = in.byte();
    const std::array<QChar, 4> separators = {u',', u';', u'\t', u'|'};
    const QChar separator = separators[choice % separators.size()];
    const ExportFormat format = (choice & 4) != 0 ? ExportFormat::Text : ExportFormat::Csv;

    const QList<QByteArray> parts = in.rest().split('\n');
    const auto field = [&](qsizetype i) {
        return i < parts.size() ? QString::fromUtf8(parts[i]) : QString();
    };
    LinkRows rows;
    for (qsizetype i = 0; i < parts.size() && rows.size() < 64; i += 5) {
        rows.append(
            LinkRow{field(i), field(i + 1), field(i + 2), field(i + 3), field(i + 4), QString(), kIconCollected});
    }

    for (const LinkRow &row : rows) {
        const QString line = exportLine(row, format, separator);
        if (format == ExportFormat::Text) {
            check(line == row.link);
            continue;
        }
        // Without line breaks in its fields a line reads back into exactly the five fields.
        const QStringList expected = {row.link, row.follow, row.type, row.anchorText, row.response};
        if (!expected.join(QString()).contains(u'\n') && !expected.join(QString()).contains(u'\r')) {
            check(parseCsvLine(line, separator) == expected);
        }
    }
    const QByteArray bytes = exportBytes(rows, format, separator);
    check(bytes.startsWith("\xEF\xBB\xBF") && bytes.endsWith("\r\n"));
    (void)CsvField(QString::fromUtf8(parts.first()), separator);
    return 0;
}
