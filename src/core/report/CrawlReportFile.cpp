#include "core/report/CrawlReportFile.h"

#include "core/report/CsvCrawlWriter.h"
#include "core/report/ReportWriter.h"
#include "core/store/CrawlReplay.h"
#include "core/store/SqliteCrawlStore.h"

#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

bool isCsvFile(const QString &fileName)
{
    return QFileInfo(fileName).suffix().compare(u"csv", Qt::CaseInsensitive) == 0;
}

} // namespace

bool isCrawlReportFile(const QString &fileName)
{
    return isCsvFile(fileName) || reportFormatForFile(fileName).has_value();
}

QString saveCrawlReport(const QString &storePath, qint64 crawlId, const QString &fileName, QChar separator)
{
    if (!isCrawlReportFile(fileName)) {
        return u"\"%1\" names no report format: end it in .html, .xml, .sarif, .md or .csv"_s.arg(fileName);
    }
    QString error;
    const std::unique_ptr<CrawlStore> store = openSqliteStore(storePath, &error);
    if (!store) {
        return error;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        return u"Cannot create file \"%1\". %2"_s.arg(fileName, file.errorString());
    }
    bool written = true;
    ReportOutput output = [&file, &written](const QByteArray &bytes) {
        written = written && file.write(bytes) == bytes.size();
        return written;
    };
    const std::unique_ptr<CrawlSink> writer = isCsvFile(fileName)
                                                  ? makeCsvCrawlWriter(std::move(output), separator)
                                                  : makeReportWriter(*reportFormatForFile(fileName), std::move(output));
    if (!replayCrawl(*store, crawlId, *writer, &error)) {
        file.cancelWriting();
        return error;
    }
    if (!written || !file.commit()) {
        return u"Cannot create file \"%1\". %2"_s.arg(fileName, file.errorString());
    }
    return {};
}

} // namespace quorvel
