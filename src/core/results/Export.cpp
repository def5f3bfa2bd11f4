#include "core/results/Export.h"

#include "core/common/Text.h"

#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace quorvel {

QString CsvField(const QString &text, QChar separator)
{
    // A line break inside a field would end the record for any reader, so it is quoted too.
    qsizetype quotes = 0;
    bool needsQuotes = false;
    for (const QChar c : text) {
        if (c == u'"') {
            ++quotes;
            needsQuotes = true;
        } else if (c == separator || c == u'\r' || c == u'\n') {
            needsQuotes = true;
        }
    }
    if (!needsQuotes) {
        return text;
    }
    // Written in one pass into a string of the final size: QString::replace of one character by two
    // moves the tail at every match, which made a field of many quotes take quadratic time.
    QString quoted(text.size() + quotes + 2, Qt::Uninitialized);
    QChar *out = quoted.data();
    *out++ = u'"';
    for (const QChar c : text) {
        *out++ = c;
        if (c == u'"') {
            *out++ = c;
        }
    }
    *out = u'"';
    return quoted;
}

QChar LocaleListSeparator(const QLocale &locale)
{
    return locale.decimalPoint() == u","_s ? u';' : u',';
}

ExportFormat exportFormatFor(const QString &fileName)
{
    const QString name = asciiLower(fileName.mid(fileName.lastIndexOf(u'/') + 1));
    const qsizetype dot = name.lastIndexOf(u'.');
    return (dot >= 0 && QStringView(name).sliced(dot) == u".csv") ? ExportFormat::Csv : ExportFormat::Text;
}

QString exportLine(const LinkRow &row, ExportFormat format, QChar separator)
{
    if (format == ExportFormat::Text) {
        return row.link;
    }
    return CsvField(row.link, separator) + separator + CsvField(row.follow, separator) + separator +
           CsvField(row.type, separator) + separator + CsvField(row.anchorText, separator) + separator +
           CsvField(row.response, separator);
}

QByteArray exportBytes(const LinkRows &rows, ExportFormat format, QChar separator)
{
    QByteArray bytes("\xEF\xBB\xBF");
    for (const LinkRow &row : rows) {
        bytes += exportLine(row, format, separator).toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

bool writeExportFile(const QString &fileName, const LinkRows &rows, QChar separator, QString *error)
{
    const QFileInfo info(fileName);
    const QString fullName = info.absoluteFilePath();
    // The replace would put a regular file in place of a device or a FIFO (/dev/full, for one).
    if (info.exists() && !info.isFile() && !info.isDir()) {
        if (error) {
            *error = u"Cannot create file \"%1\". Not a regular file"_s.arg(fullName);
        }
        return false;
    }
    // Unbuffered, so a full disk shows as a short write instead of a committed, truncated file.
    QSaveFile file(fullName);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (ok) {
        const QByteArray bytes = exportBytes(rows, exportFormatFor(fileName), separator);
        ok = file.write(bytes) == bytes.size() && file.commit();
    }
    if (!ok && error) {
        *error = u"Cannot create file \"%1\". %2"_s.arg(fullName, file.errorString());
    }
    return ok;
}

} // namespace quorvel
