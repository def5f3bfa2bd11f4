#include "core/store/CrawlReplay.h"

using namespace Qt::StringLiterals;

namespace quorvel {

bool replayCrawl(CrawlStore &store, qint64 crawlId, CrawlSink &sink, QString *error)
{
    const auto fail = [&store, error](const QString &fallback) {
        if (error) {
            *error = store.lastError().isEmpty() ? fallback : store.lastError();
        }
        return false;
    };
    const QList<StoredCrawl> crawls = store.crawls();
    const auto found = std::find_if(crawls.cbegin(), crawls.cend(),
                                    [crawlId](const StoredCrawl &crawl) { return crawl.id == crawlId; });
    if (found == crawls.cend()) {
        return fail(u"the store holds no crawl %1"_s.arg(crawlId));
    }
    const QList<CrawlPage> pages = store.pages(crawlId);
    if (!store.lastError().isEmpty()) {
        return fail(QString());
    }
    sink.begin({found->start, found->startedAt, found->options});
    for (const CrawlPage &page : pages) {
        const QList<CrawlRow> rows = store.rowsOfPage(crawlId, page.url);
        if (!store.lastError().isEmpty()) {
            return fail(QString());
        }
        sink.pageDone(page, rows);
    }
    CrawlEnd end;
    end.pages = pages;
    end.orphans = found->orphans;
    end.summary = found->summary;
    end.changes = store.changesOf(crawlId);
    end.stopped = found->stopped;
    end.endedAt = found->endedAt;
    sink.end(end);
    return true;
}

} // namespace quorvel
