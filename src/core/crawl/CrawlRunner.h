#pragma once

#include "core/common/OwnedThread.h"
#include "core/crawl/Crawler.h"

#include <QList>
#include <QMetaType>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

namespace quorvel {

// One crawl (runCrawl) living on an owned worker thread, for a window: create() puts it on a new
// thread; its owner connects the signals (queued), calls start() on the handle, and drops the
// handle after finished, or earlier, which stops the crawl and waits for its thread. Finished pages
// and the progress arrive in batches, at most every batchIntervalMs.
class TCrawler final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TCrawler)

public:
    // makeSink, when given, is called on the crawl's thread before it starts: a sink that lives
    // there (a store's connection belongs to the thread that opened it) and gets every page too. It
    // is destroyed there before finished is sent, so dropping the handle then waits for nothing.
    using SinkFactory = std::function<std::unique_ptr<CrawlSink>()>;

    static OwnedWorker<TCrawler> create(QString start, CrawlOptions options, SinkFactory makeSink = {},
                                        int batchIntervalMs = 50);
    ~TCrawler() override;

    // STOP: the crawl ends at its next look (within the poll interval); finished pages are kept.
    // Safe from any thread.
    void requestStop();

Q_SIGNALS:
    void progress(const quorvel::CrawlProgress &now);
    // Pages whose rows are all checked, with those rows, in the order they finished.
    void pagesFinished(const QList<quorvel::CrawlPage> &pages, const QList<quorvel::CrawlRow> &rows);
    void finished(const quorvel::CrawlEnd &end);

private:
    TCrawler(QString start, CrawlOptions options, SinkFactory makeSink, int batchIntervalMs);
    void run();

    const QString m_start;
    const CrawlOptions m_options;
    const SinkFactory m_makeSink;
    const int m_batchIntervalMs;
    std::atomic<bool> m_stop{false};
};

} // namespace quorvel

Q_DECLARE_METATYPE(quorvel::CrawlProgress)
Q_DECLARE_METATYPE(quorvel::CrawlEnd)
