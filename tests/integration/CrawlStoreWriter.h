#pragma once

#include "core/crawl/CrawlTypes.h"

#include <QList>
#include <QString>

namespace quorvel::test {

// The crawl the store writer program writes, page by page, so the test that kills it knows what
// each kept page must hold.
inline const QString kWriterStart = QStringLiteral("http://site.test/");

inline CrawlPage writerPage(int number, int rowCount)
{
    CrawlPage page;
    page.url = kWriterStart + QStringLiteral("page-%1.html").arg(number);
    page.depth = 1;
    page.status = 200;
    page.verdict = Verdict::Ok;
    page.links = rowCount;
    return page;
}

inline QList<CrawlRow> writerRows(int number, int rowCount, int anchorLength = 20)
{
    QList<CrawlRow> rows;
    const CrawlPage page = writerPage(number, rowCount);
    for (int i = 0; i < rowCount; ++i) {
        CrawlRow row;
        row.page = page.url;
        row.row.link = kWriterStart + QStringLiteral("target-%1.html").arg(i % 40);
        row.row.follow = QStringLiteral("dofollow");
        row.row.type = QStringLiteral("Internal");
        row.row.anchorText = QString(anchorLength, QChar(u'a' + i % 26));
        row.row.response = QStringLiteral("HTTP/1.1 200 OK");
        row.row.responseTime = QStringLiteral("7");
        row.row.icon = kIconOk;
        row.row.verdict = Verdict::Ok;
        row.row.finalStatus = 200;
        row.row.chain = {{200, row.row.link}};
        row.line = i + 1;
        row.column = 3;
        rows.append(row);
    }
    return rows;
}

} // namespace quorvel::test
