#pragma once

#include "core/app/OptionDefaults.h"
#include "core/collect/RunOptions.h"
#include "core/results/ParallelChecks.h"

#include <QChar>
#include <QCommandLineOption>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

namespace quorvel {

enum class CliCommand
{
    Collect,
    Check,
    Crawl,
    Analyze,
    Help,
    Version
};
enum class CliFormat
{
    Json,
    Csv,
    Txt,
    // The crawl's reports.
    Html,
    Junit,
    Sarif,
    Markdown,
};

// Everything one invocation of quorvel-cli asked for; options missing from the command line keep
// the defaults of a first start of the window program.
struct CliArguments
{
    CliCommand command = CliCommand::Help;
    QString address;
    UrlBaseMode mode = UrlBaseMode::Domain;
    bool removeAnchors = true;
    QString ignoreExtensions = defaultIgnoreExtensions();
    QString ignoreUrlsFile; // empty: no Ignore URLs lines
    QString agent = defaultAgent();
    QString pageUrl;
    bool head = false;
    QString connectTimeout = defaultTimeoutText();
    QString responseTimeout = defaultTimeoutText();
    int parallel = kDefaultParallelRequests;
    int perHost = kDefaultPerHostRequests;
    int maxRedirects = 10;
    int retries = 2;
    int retryWaitMaxSeconds = 30;
    bool strict = false; // blocked and rate-limited rows fail the run too
    CliFormat format = CliFormat::Json;
    bool formatGiven = false; // crawl --output: without --format the file name's suffix chooses
    // crawl
    int depth = 10;
    int maxPages = 10'000;
    bool ignoreRobots = false;
    bool sitemap = false;
    QString dbFile;       // empty: the crawl is not recorded
    qint64 cacheAge = -1; // seconds a stored ok/redirected verdict stands for a check; -1: never
    std::optional<QChar> separator;
    QString outputFile;
    QString contentsHost; // analyze: host of the html2txt service; empty: the W3C's
};

// The commands an option belongs to.
enum CliScope : unsigned
{
    kCollectScope = 1,
    kCheckScope = 2,
    kAnalyzeScope = 4,
    kCrawlScope = 8,
};

// One option of the command line: what the parser accepts and what the usage text shows.
struct CliOption
{
    QCommandLineOption option;
    unsigned scope = 0; // CliScope flags
};

// The crawl's format of that name ("json", ..., "markdown").
std::optional<CliFormat> crawlFormatNamed(QStringView name);

// Every option, in the order the usage text lists them within a group.
const std::vector<CliOption> &cliOptionTable();

// Parses argv (without the program name). On bad usage returns nullopt and sets error.
std::optional<CliArguments> parseCliArguments(const QStringList &args, QString *error);

// The usage text printed by --help; its first four lines (the synopsis) follow a usage error.
QString cliUsage();

} // namespace quorvel
