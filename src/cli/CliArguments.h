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

// One of the words an option's value may be, and the commands that accept it.
struct CliChoice
{
    QString value;
    unsigned scope = 0; // CliScope flags
};

// One option of the command line: what the parser accepts, what the usage text, the manual page
// and the shell completions show.
struct CliOption
{
    QCommandLineOption option;
    unsigned scope = 0;             // CliScope flags
    std::vector<CliChoice> choices; // empty: any value (or none, for a switch)
};

// A heading of the usage text and the commands its options belong to; every option's scope is one
// group's.
struct CliOptionGroup
{
    unsigned scope = 0;
    QString heading; // "options (collect and check):"
};

// The words of the commands (collect, check, crawl, analyze) and their scopes, in the usage's order.
struct CliCommandName
{
    QString name;
    unsigned scope = 0;
};
const std::vector<CliCommandName> &cliCommandNames();

// The value words `entry` accepts for the commands of `scope` (one CliScope flag).
QStringList cliChoicesFor(const CliOption &entry, unsigned scope);

// The crawl's format of that name ("json", ..., "markdown").
std::optional<CliFormat> crawlFormatNamed(QStringView name);

// Every option, in the order the usage text lists them within a group.
const std::vector<CliOption> &cliOptionTable();

// The groups of the usage text, in its order.
const std::vector<CliOptionGroup> &cliOptionGroups();

// "--name VALUE" as the usage text writes an option.
QString cliOptionSynopsis(const CliOption &entry);

// The synopsis lines of the usage text (without "usage: ") and the paragraph about ADDRESS.
QStringList cliSynopsisLines();
QString cliAddressNote();

// Parses argv (without the program name). On bad usage returns nullopt and sets error.
std::optional<CliArguments> parseCliArguments(const QStringList &args, QString *error);

// The usage text printed by --help; its first four lines (the synopsis) follow a usage error.
QString cliUsage();

} // namespace quorvel
