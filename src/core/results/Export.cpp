#include "core/results/Export.h"

#include "core/common/Text.h"

#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace quorvel {

QString CsvField(const QString &text, QChar separator)
{
    // A line break inside a field would end the record for any reader, so it is quoted too.
    if (!text.contains(separator) && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n')) {
        return text;
    }
    QString quoted = text;
    quoted.replace(u"\""_s, u"\"\""_s);
    return u'"' + quoted + u'"';
}

QChar LocaleListSeparator(const QLocale &locale)
{
    return locale.decimalPoint() == u","_s ? u';' : u',';
}

ExportFormat ExportFormatFor(const QString &fileName)
{
    const QString name = asciiLower(fileName.mid(fileName.lastIndexOf(u'/') + 1));
    const qsizetype dot = name.lastIndexOf(u'.');
    return (dot >= 0 && QStringView(name).sliced(dot) == u".csv") ? ExportFormat::Csv : ExportFormat::Text;
}

QString ExportLine(const LinkRow &row, ExportFormat format, QChar separator)
{
    if (format == ExportFormat::Text) {
        return row.link;
    }
    return CsvField(row.link, separator) + separator + CsvField(row.follow, separator) + separator +
           CsvField(row.type, separator) + separator + CsvField(row.anchorText, separator) + separator +
           CsvField(row.response, separator);
}

QByteArray ExportBytes(const LinkRows &rows, ExportFormat format, QChar separator)
{
    QByteArray bytes("\xEF\xBB\xBF");
    for (const LinkRow &row : rows) {
        bytes += ExportLine(row, format, separator).toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

bool WriteExportFile(const QString &fileName, const LinkRows &rows, QChar separator, QString *error)
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
        const QByteArray bytes = ExportBytes(rows, ExportFormatFor(fileName), separator);
        ok = file.write(bytes) == bytes.size() && file.commit();
    }
    if (!ok && error) {
        *error = u"Cannot create file \"%1\". %2"_s.arg(fullName, file.errorString());
    }
    return ok;
}

} // namespace quorvel
