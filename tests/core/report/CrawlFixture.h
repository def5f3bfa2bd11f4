#pragma once

#include "core/crawl/CrawlTypes.h"
#include "core/report/ReportWriter.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace quorvel::test {

// A crawl as a sink sees it: the header, each page with its rows, the end.
struct FixtureCrawl
{
    CrawlHeader header;
    QList<std::pair<CrawlPage, QList<CrawlRow>>> pages;
    CrawlEnd end;
};

// Text no report may pass through as markup: a script break-out, a CDATA end, a format directive,
// Markdown table and code markers, C0 controls, lone surrogates of both kinds and a line break.
QString hostileText();

// A small site of four pages with every verdict among its rows: a redirect chain, the same broken
// link twice on one page, a page whose own fetch failed, changes since an earlier crawl, an orphan.
// With hostile, one page also carries rows whose link, anchor and error are hostileText() and an
// anchor of 100,000 characters.
FixtureCrawl fixtureCrawl(bool hostile = true);

// The rows of the crawl whose verdict a report lists (problems and warnings), the start page's own
// failure counted when it has one.
qsizetype findingCount(const FixtureCrawl &crawl);

// Feeds the crawl to the sink as the crawler does.
void runCrawl(CrawlSink &sink, const FixtureCrawl &crawl);

// The bytes a writer of the format writes for the crawl; a failed write fails the test.
QByteArray reportBytes(ReportFormat format, const FixtureCrawl &crawl);

// What a markup report makes of a text: characters XML cannot hold become U+FFFD.
QString markupClean(const QString &text);

} // namespace quorvel::test
