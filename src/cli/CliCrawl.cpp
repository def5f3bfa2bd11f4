#include "cli/CliCrawl.h"

#include "cli/CliIo.h"
#include "cli/CrawlOutput.h"
#include "core/collect/Collector.h"
#include "core/collect/LocalPage.h"
#include "core/common/Text.h"
#include "core/crawl/Crawler.h"
#include "core/report/CsvCrawlWriter.h"
#include "core/report/ReportWriter.h"
#include "core/results/CheckResult.h"
#include "core/results/Export.h"
#include "core/store/SqliteCrawlStore.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>

#include <csignal>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Do two names stand for one file: the same absolute path, or one existing file (links resolved)?
bool sameFileName(const QString &a, const QString &b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.absoluteFilePath() == second.absoluteFilePath()) {
        return true;
    }
    return first.exists() && second.exists() && first.canonicalFilePath() == second.canonicalFilePath();
}

// The format an --output file's name asks for when --format was not given.
CliFormat formatForFile(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"csv") {
        return CliFormat::Csv;
    }
    if (suffix == u"txt") {
        return CliFormat::Txt;
    }
    const std::optional<ReportFormat> report = reportFormatForFile(fileName);
    if (!report) {
        return CliFormat::Json;
    }
    switch (*report) {
    case ReportFormat::Html:
        return CliFormat::Html;
    case ReportFormat::JUnit:
        return CliFormat::Junit;
    case ReportFormat::Sarif:
        return CliFormat::Sarif;
    case ReportFormat::Markdown:
        return CliFormat::Markdown;
    }
    return CliFormat::Json;
}

std::unique_ptr<CrawlSink> makeWriter(CliFormat format, const CliArguments &args, OutputWrite write)
{
    switch (format) {
    case CliFormat::Json:
        return makeJsonCrawlWriter(std::move(write));
    case CliFormat::Csv:
        return makeCsvCrawlWriter(std::move(write), args.separator.value_or(LocaleListSeparator()));
    case CliFormat::Txt:
        return makeTextCrawlWriter(std::move(write));
    case CliFormat::Html:
        return makeReportWriter(ReportFormat::Html, std::move(write));
    case CliFormat::Junit:
        return makeReportWriter(ReportFormat::JUnit, std::move(write));
    case CliFormat::Sarif:
        return makeReportWriter(ReportFormat::Sarif, std::move(write));
    case CliFormat::Markdown:
        return makeReportWriter(ReportFormat::Markdown, std::move(write));
    }
    return nullptr;
}

// Hands each event to every sink in turn. With a store, the store comes first, and the end that
// the others get says what changed since the store's last crawl of the same start.
class SinkFan final : public CrawlSink
{
public:
    SinkFan(std::vector<CrawlSink *> sinks, CrawlStore *store, bool strict)
        : m_sinks(std::move(sinks))
        , m_store(store)
        , m_strict(strict)
    {
        if (m_store) {
            m_sinks.insert(m_sinks.begin(), m_store);
        }
    }

    void begin(const CrawlHeader &header) override
    {
        for (CrawlSink *sink : m_sinks) {
            sink->begin(header);
        }
    }

    void pageDone(const CrawlPage &page, const QList<CrawlRow> &rows) override
    {
        for (CrawlSink *sink : m_sinks) {
            sink->pageDone(page, rows);
        }
    }

    void end(const CrawlEnd &end) override
    {
        CrawlEnd told = end;
        if (m_store) {
            told.changes = m_store->changes(m_strict);
        }
        for (CrawlSink *sink : m_sinks) {
            sink->end(told);
        }
    }

private:
    std::vector<CrawlSink *> m_sinks;
    CrawlStore *m_store;
    bool m_strict;
};

// Counts what the exit status and the summary need.
class CrawlTally final : public CrawlSink
{
public:
    explicit CrawlTally(bool strict)
        : m_strict(strict)
    {}

    void begin(const CrawlHeader &) override {}

    void pageDone(const CrawlPage &, const QList<CrawlRow> &rows) override
    {
        for (const CrawlRow &row : rows) {
            m_failed = m_failed || isProblemVerdict(row.row.verdict, m_strict);
        }
    }

    void end(const CrawlEnd &) override {}

    bool failed() const { return m_failed; }

private:
    bool m_strict;
    bool m_failed = false;
};

LinkCheckOptions checkOptionsOf(const CliArguments &args)
{
    LinkCheckOptions options;
    options.userAgent = args.agent;
    options.useHead = args.head;
    options.connectTimeout = args.connectTimeout;
    options.responseTimeout = args.responseTimeout;
    options.parallel = args.parallel;
    options.perHost = args.perHost;
    options.maxRedirects = args.maxRedirects;
    options.retries = args.retries;
    options.retryWaitMaxMs = args.retryWaitMaxSeconds * 1000;
    options.checkFragments = !args.removeAnchors;
    return options;
}

} // namespace

int runCrawlCommand(const CliArguments &args)
{
    if (trimControl(args.address).isEmpty()) {
        return usageError(u"Please enter URL!"_s);
    }
    const QString start = fixUpAddress(args.address);
    if (!isCheckedAddress(start)) {
        return usageError(u"crawl takes an http or https address"_s);
    }
    if (args.cacheAge >= 0 && args.dbFile.isEmpty()) {
        return usageError(u"--cache-age needs --db"_s);
    }
    CrawlOptions options;
    if (!args.ignoreUrlsFile.isEmpty()) {
        const FileBytes file = readRegularFile(args.ignoreUrlsFile, kIgnoreUrlsMaxBytes);
        if (!file.error.isEmpty()) {
            return usageError(u"cannot read the Ignore URLs file: "_s + file.error);
        }
        options.ignoreUrlsText = decodeLocalFile(file.bytes);
    }
    options.ignoreExtensionsText = trimControl(args.ignoreExtensions);
    options.removeAnchors = args.removeAnchors;
    options.urlBase = args.mode;
    options.check = checkOptionsOf(args);
    options.maxDepth = args.depth;
    options.maxPages = args.maxPages;
    options.ignoreRobots = args.ignoreRobots;
    options.useSitemap = args.sitemap;

    // The output replaces its file at the end: it must not be the store or the Ignore URLs list.
    for (const QString &other : {args.dbFile, args.ignoreUrlsFile}) {
        if (!args.outputFile.isEmpty() && !other.isEmpty() && sameFileName(args.outputFile, other)) {
            return usageError(u"--output names the file of %1: \"%2\""_s.arg(
                other == args.dbFile ? u"--db"_s : u"--ignore-urls"_s, args.outputFile));
        }
    }
    const CliFormat format =
        !args.outputFile.isEmpty() && !args.formatGiven ? formatForFile(args.outputFile) : args.format;
    // An output file is replaced only when the crawl's output was written whole.
    std::optional<QSaveFile> file;
    if (!args.outputFile.isEmpty()) {
        file.emplace(args.outputFile);
        if (!file->open(QIODevice::WriteOnly)) {
            writeErr(u"quorvel-cli: Cannot create file \"%1\". %2"_s.arg(args.outputFile, file->errorString()));
            return kExitOutputFailed;
        }
    }
    OutputWrite write = [&file](const QByteArray &bytes) {
        if (file) {
            return file->write(bytes) == bytes.size();
        }
        writeOut(bytes);
        return true;
    };
    const std::unique_ptr<CrawlSink> writer = makeWriter(format, args, write);
    std::unique_ptr<CrawlStore> store;
    if (!args.dbFile.isEmpty()) {
        QString error;
        store = openSqliteStore(args.dbFile, &error);
        if (!store) {
            writeErr(u"quorvel-cli: "_s + error);
            return kExitUsage;
        }
    }
    CrawlTally tally(args.strict);
    SinkFan sinks({writer.get(), &tally}, store.get(), args.strict);

    Progress progress;
    QElapsedTimer elapsed;
    elapsed.start();
    CrawlHooks hooks;
    hooks.shouldStop = [] {
        return g_stop.load();
    };
    hooks.progressIntervalMs = int(kProgressIntervalMs);
    if (store && args.cacheAge >= 0) {
        hooks.cachedCheck = [&store, &args](const QString &address) -> std::optional<TURLStatus> {
            const std::optional<CachedCheck> cached = store->cachedCheck(address, args.cacheAge);
            return cached ? std::optional<TURLStatus>(cached->status) : std::nullopt;
        };
    }
    hooks.progress = [&progress, &elapsed](const CrawlProgress &now) {
        const double seconds = double(std::max<qint64>(elapsed.elapsed(), 1)) / 1000.0;
        progress.show(u"Crawling: %1/%2 pages, %3 links checked, %4/s, %5 s"_s.arg(now.pagesDone)
                          .arg(now.pagesFound)
                          .arg(now.linksChecked)
                          .arg(qRound(double(now.linksChecked) / seconds))
                          .arg(seconds, 0, 'f', 1));
    };
    catchStopSignals();
    const CrawlEnd end = runCrawl(start, options, sinks, hooks);
    progress.done();

    if (file && !file->commit()) {
        writeErr(u"quorvel-cli: Cannot create file \"%1\". %2"_s.arg(args.outputFile, file->errorString()));
        return kExitOutputFailed;
    }
    const QString storeError = store ? store->crawlError() : QString();
    store.reset(); // commits what is still pending
    if (!storeError.isEmpty()) {
        writeErr(u"quorvel-cli: the crawl was not recorded whole: "_s + storeError);
    }
    writeErr(u"Crawled %1 pages; %2 orphans"_s.arg(end.summary.pages).arg(end.orphans.size()));
    writeErr(checkSummaryOf([&end](Verdict verdict) { return end.summary.count(verdict); }));
    if (const int signal = g_signal.load(); signal != 0) {
        writeErr(u"quorvel-cli: stopped by %1; the pages finished so far were kept"_s.arg(
            signal == SIGINT ? u"SIGINT"_s : u"SIGTERM"_s));
        return 128 + signal;
    }
    const bool startFailed = !end.pages.isEmpty() && end.pages.constFirst().url == start &&
                             end.pages.constFirst().verdict != Verdict::Ok &&
                             end.pages.constFirst().verdict != Verdict::Redirected;
    if (startFailed) {
        writeErr(u"quorvel-cli: the page could not be loaded: "_s + end.pages.constFirst().error);
        return kExitPageFailed;
    }
    if (!storeError.isEmpty()) {
        return kExitOutputFailed;
    }
    return tally.failed() ? kExitBroken : kExitOk;
}

} // namespace quorvel
