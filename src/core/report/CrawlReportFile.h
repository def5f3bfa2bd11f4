#pragma once

#include <QChar>
#include <QString>

namespace quorvel {

// True for a file name whose suffix names a format saveCrawlReport writes: .html/.htm, .xml
// (JUnit), .sarif, .md/.markdown or .csv, in any case.
bool isCrawlReportFile(const QString &fileName);

// Writes the crawl crawlId of the store at storePath into fileName, in the format its suffix names,
// through the writers the command line uses (CSV with separator). The file is replaced only once
// the report was written whole. Opens a store object of its own, so any thread may call it (a
// window calls it off its UI thread). Returns why it failed; empty on success.
QString saveCrawlReport(const QString &storePath, qint64 crawlId, const QString &fileName, QChar separator);

} // namespace quorvel
