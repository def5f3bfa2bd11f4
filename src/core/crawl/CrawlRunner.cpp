#include "core/crawl/CrawlRunner.h"

#include <QElapsedTimer>
#include <QThread>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Collects finished pages between two batches and passes everything on to an optional sink.
class BatchingSink final : public CrawlSink
{
public:
    explicit BatchingSink(CrawlSink *also)
        : m_also(also)
    {}

    void begin(const CrawlHeader &header) override
    {
        if (m_also) {
            m_also->begin(header);
        }
    }

    void pageDone(const CrawlPage &page, const QList<CrawlRow> &pageRows) override
    {
        if (m_also) {
            m_also->pageDone(page, pageRows);
        }
        pages.append(page);
        rows.append(pageRows);
    }

    void end(const CrawlEnd &end) override
    {
        if (m_also) {
            m_also->end(end);
        }
    }

    QList<CrawlPage> pages;
    QList<CrawlRow> rows;

private:
    CrawlSink *m_also;
};

} // namespace

TCrawler::TCrawler(QString start, CrawlOptions options, SinkFactory makeSink, int batchIntervalMs)
    : m_start(std::move(start))
    , m_options(std::move(options))
    , m_makeSink(std::move(makeSink))
    , m_batchIntervalMs(batchIntervalMs)
{
    qRegisterMetaType<quorvel::CrawlProgress>();
    qRegisterMetaType<quorvel::CrawlEnd>();
}

TCrawler::~TCrawler() = default;

OwnedWorker<TCrawler> TCrawler::create(QString start, CrawlOptions options, SinkFactory makeSink, int batchIntervalMs)
{
    return {std::unique_ptr<TCrawler>(
                new TCrawler(std::move(start), std::move(options), std::move(makeSink), batchIntervalMs)),
            u"TCrawler"_s, &TCrawler::run, [](TCrawler *crawler) {
                crawler->requestStop();
            }};
}

void TCrawler::requestStop()
{
    m_stop = true;
}

void TCrawler::run()
{
    std::unique_ptr<CrawlSink> own = m_makeSink ? m_makeSink() : nullptr;
    BatchingSink batch(own.get());
    const auto flush = [this, &batch] {
        if (!batch.pages.isEmpty()) {
            Q_EMIT pagesFinished(batch.pages, batch.rows);
            batch.pages.clear();
            batch.rows.clear();
        }
    };
    QThread *thread = QThread::currentThread();
    CrawlHooks hooks;
    hooks.shouldStop = [this, thread] {
        return m_stop.load() || thread->isInterruptionRequested();
    };
    hooks.progressIntervalMs = m_batchIntervalMs;
    hooks.progress = [this, &flush](const CrawlProgress &now) {
        flush();
        Q_EMIT progress(now);
    };
    const CrawlEnd end = runCrawl(m_start, m_options, batch, hooks);
    flush();
    // The sink goes here, on its own thread, before the owner hears of the end: closing a store
    // may take a while (its last commit, a checkpoint), and the owner drops this thread then.
    own.reset();
    Q_EMIT finished(end);
}

} // namespace quorvel
