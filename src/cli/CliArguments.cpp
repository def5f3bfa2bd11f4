#include "cli/CliArguments.h"

#include <QCommandLineParser>
#include <QHash>

#include <algorithm>
#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

constexpr unsigned kCollectOrCheck = kCollectScope | kCheckScope;
constexpr unsigned kRowCommands = kCollectScope | kCheckScope | kCrawlScope;
constexpr unsigned kCheckOrCrawl = kCheckScope | kCrawlScope;
constexpr unsigned kEveryCommand = kCollectScope | kCheckScope | kCrawlScope | kAnalyzeScope;
constexpr int kMaxDepth = 1000;
constexpr int kMaxPages = 10'000'000;
constexpr int kMaxRedirects = 100;
constexpr int kMaxRetries = 10;
constexpr int kMaxRetryWaitSeconds = 3600;

// A whole number from low to high, or nothing.
std::optional<int> boundedNumber(const QString &text, int low, int high)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < low || n > high) {
        return std::nullopt;
    }
    return n;
}

CliOption option(const QString &name, unsigned scope, const QString &description, const QString &valueName = {},
                 std::vector<CliChoice> choices = {})
{
    return {QCommandLineOption(name, description, valueName), scope, std::move(choices)};
}

std::vector<CliOption> makeOptionTable()
{
    return {
        option(u"format"_s, kEveryCommand,
               u"output format (default json; analyze: json only; crawl also html, junit, sarif, markdown)"_s,
               u"json|csv|txt|..."_s,
               {{u"json"_s, kEveryCommand},
                {u"csv"_s, kRowCommands},
                {u"txt"_s, kRowCommands},
                {u"html"_s, kCrawlScope},
                {u"junit"_s, kCrawlScope},
                {u"sarif"_s, kCrawlScope},
                {u"markdown"_s, kCrawlScope}}),
        option(u"mode"_s, kRowCommands, u"how links are typed Internal/External (default domain)"_s,
               u"domain|subdomain|none"_s,
               {{u"domain"_s, kRowCommands}, {u"subdomain"_s, kRowCommands}, {u"none"_s, kRowCommands}}),
        option(u"remove-anchors"_s, kRowCommands, u"cut links at \"#\" (the default)"_s),
        option(u"keep-anchors"_s, kRowCommands, u"keep links whole at \"#\""_s),
        option(u"ignore-ext"_s, kRowCommands, u"extensions to drop, separated by blanks (\"\" for none)"_s,
               u"\"LIST\""_s),
        option(u"ignore-urls"_s, kRowCommands, u"address prefixes to drop, one per line"_s, u"FILE"_s),
        option(u"agent"_s, kRowCommands, u"User-Agent of the requests"_s, u"TEXT"_s),
        option(u"separator"_s, kRowCommands, u"CSV list separator (default: the locale's)"_s, u"C"_s),
        option(u"output"_s, kRowCommands,
               u"collect, check: write the export file (.csv: CSV, else a list of links); crawl: write the "
               u"output to FILE (format by --format, else by the suffix)"_s,
               u"FILE"_s),
        option(u"page-url"_s, kCollectOrCheck, u"for a local file: the address it stands for"_s, u"URL"_s),
        option(u"head"_s, kCheckOrCrawl, u"HEAD instead of GET"_s),
        option(u"connect-timeout"_s, kCheckOrCrawl, u"milliseconds to connect (default %1)"_s.arg(defaultTimeoutText()),
               u"MS"_s),
        option(u"response-timeout"_s, kCheckOrCrawl,
               u"milliseconds to wait for an answer (default %1)"_s.arg(defaultTimeoutText()), u"MS"_s),
        option(u"parallel"_s, kCheckOrCrawl,
               u"requests in flight, %1 to %2 (default %3)"_s.arg(kMinParallelRequests)
                   .arg(kMaxParallelRequests)
                   .arg(kDefaultParallelRequests),
               u"N"_s),
        option(u"per-host"_s, kCheckOrCrawl,
               u"requests in flight to one host:port, %1 to %2 (default %3)"_s.arg(kMinPerHostRequests)
                   .arg(kMaxPerHostRequests)
                   .arg(kDefaultPerHostRequests),
               u"N"_s),
        option(u"max-redirects"_s, kCheckOrCrawl,
               u"redirects followed, 0 to %1 (default 10; 0: none)"_s.arg(kMaxRedirects), u"N"_s),
        option(u"retries"_s, kCheckOrCrawl, u"repeats of a 429/503 or a reset, 0 to %1 (default 2)"_s.arg(kMaxRetries),
               u"N"_s),
        option(u"retry-wait-max"_s, kCheckOrCrawl, u"longest wait before a repeat (default 30)"_s, u"SECONDS"_s),
        option(u"strict"_s, kCheckOrCrawl, u"blocked and rate-limited links fail the run too"_s),
        option(u"depth"_s, kCrawlScope,
               u"pages more links away from ADDRESS are not fetched, 0 to %1 (default 10)"_s.arg(kMaxDepth), u"N"_s),
        option(u"max-pages"_s, kCrawlScope, u"pages fetched at most, 1 to %1 (default 10000)"_s.arg(kMaxPages), u"N"_s),
        option(u"ignore-robots"_s, kCrawlScope, u"fetch pages that robots.txt disallows"_s),
        option(u"sitemap"_s, kCrawlScope, u"also crawl the pages of /sitemap.xml and robots.txt's sitemaps"_s),
        option(u"db"_s, kCrawlScope, u"record the crawl in an SQLite file; report changes since the last"_s, u"FILE"_s),
        option(u"cache-age"_s, kCrawlScope, u"with --db: reuse a stored ok or redirected verdict younger than this"_s,
               u"SECONDS"_s),
        option(u"contents-host"_s, kAnalyzeScope, u"host of the html2txt service (default: the W3C's)"_s, u"HOST"_s),
    };
}

// "a", "a or b", "a, b or c".
QString wordList(const QStringList &words)
{
    if (words.size() < 2) {
        return words.join(QString());
    }
    return words.mid(0, words.size() - 1).join(u", "_s) + u" or "_s + words.constLast();
}

const CliOption &optionNamed(QStringView name)
{
    const std::vector<CliOption> &table = cliOptionTable();
    return *std::find_if(table.cbegin(), table.cend(),
                         [name](const CliOption &entry) { return entry.option.names().constFirst() == name; });
}

bool isWholeNumber(const QString &text)
{
    if (text.isEmpty() || text.size() > 9) {
        return false;
    }
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

std::optional<CliCommand> commandNamed(const QString &word)
{
    const auto commands = std::to_array<std::pair<QStringView, CliCommand>>({
        {u"collect", CliCommand::Collect},
        {u"check", CliCommand::Check},
        {u"crawl", CliCommand::Crawl},
        {u"analyze", CliCommand::Analyze},
    });
    for (const auto &[name, command] : commands) {
        if (name == word) {
            return command;
        }
    }
    return std::nullopt;
}

unsigned scopeOf(CliCommand command)
{
    switch (command) {
    case CliCommand::Collect:
        return kCollectScope;
    case CliCommand::Check:
        return kCheckScope;
    case CliCommand::Analyze:
        return kAnalyzeScope;
    case CliCommand::Crawl:
        return kCrawlScope;
    case CliCommand::Help:
    case CliCommand::Version:
        break;
    }
    return 0;
}

// The argument as typed that holds the option `name` ("--name", "--name=value", "-name").
QString spellingOf(const QStringList &args, const QString &name)
{
    for (const QString &arg : args) {
        if (arg.startsWith(u'-') && arg.size() > 1) {
            const QString bare = arg.mid(arg.startsWith(u"--"_s) ? 2 : 1).section(u'=', 0, 0);
            if (bare == name) {
                return arg.section(u'=', 0, 0);
            }
        }
    }
    return u"--"_s + name;
}

// Why the parser refused the arguments, in the CLI's words.
QString parseError(const QCommandLineParser &parser, const QStringList &args, const QString &command,
                   const std::vector<const CliOption *> &accepted)
{
    if (!parser.unknownOptionNames().isEmpty()) {
        return u"unknown option \"%1\" for %2"_s.arg(spellingOf(args, parser.unknownOptionNames().constFirst()),
                                                     command);
    }
    // Otherwise one known option was misused: a value missing at the end, or "=value" on a switch.
    for (const CliOption *entry : accepted) {
        const QString name = entry->option.names().constFirst();
        const QString spelled = u"--"_s + name;
        if (entry->option.valueName().isEmpty()) {
            for (const QString &arg : args) {
                if (arg.startsWith(spelled + u'=')) {
                    return u"%1 takes no value"_s.arg(spelled);
                }
            }
        } else if (args.constLast() == spelled || args.constLast() == u'-' + name) {
            return u"%1 needs a value"_s.arg(args.constLast());
        }
    }
    return parser.errorText();
}

QString applyFormat(CliArguments &parsed, const QString &v)
{
    parsed.formatGiven = true;
    const QStringList accepted = cliChoicesFor(optionNamed(u"format"), scopeOf(parsed.command));
    const std::optional<CliFormat> format = crawlFormatNamed(v);
    if (!format || !accepted.contains(v)) {
        if (parsed.command == CliCommand::Crawl) {
            return u"unknown format \"%1\" (%2)"_s.arg(v, wordList(accepted));
        }
        return u"unknown format \"%1\""_s.arg(v);
    }
    parsed.format = *format;
    return {};
}

QString applyMode(CliArguments &parsed, const QString &v)
{
    const QStringList accepted = cliChoicesFor(optionNamed(u"mode"), scopeOf(parsed.command));
    if (!accepted.contains(v)) {
        return u"unknown mode \"%1\" (%2)"_s.arg(v, wordList(accepted));
    }
    if (v == u"domain") {
        parsed.mode = UrlBaseMode::Domain;
    } else if (v == u"subdomain") {
        parsed.mode = UrlBaseMode::Subdomain;
    } else {
        parsed.mode = UrlBaseMode::None;
    }
    return {};
}

// The options that take a number within bounds.
QString applyNumber(CliArguments &parsed, const QString &name, const QString &v)
{
    struct Bounded
    {
        QStringView name;
        int low;
        int high;
        int CliArguments::*field;
    };

    const auto table = std::to_array<Bounded>({
        {u"parallel", kMinParallelRequests, kMaxParallelRequests, &CliArguments::parallel},
        {u"per-host", kMinPerHostRequests, kMaxPerHostRequests, &CliArguments::perHost},
        {u"max-redirects", 0, kMaxRedirects, &CliArguments::maxRedirects},
        {u"retries", 0, kMaxRetries, &CliArguments::retries},
        {u"retry-wait-max", 0, kMaxRetryWaitSeconds, &CliArguments::retryWaitMaxSeconds},
        {u"depth", 0, kMaxDepth, &CliArguments::depth},
        {u"max-pages", 1, kMaxPages, &CliArguments::maxPages},
    });
    for (const Bounded &entry : table) {
        if (entry.name == name) {
            const std::optional<int> n = boundedNumber(v, entry.low, entry.high);
            if (!n) {
                return u"--%1 takes a number from %2 to %3"_s.arg(name).arg(entry.low).arg(entry.high);
            }
            parsed.*entry.field = *n;
            return {};
        }
    }
    return {};
}

// Sets the option `name` to the value `v`; returns why the value is refused, or an empty text.
QString applyOption(CliArguments &parsed, const QString &name, const QString &v)
{
    if (name == u"format") {
        return applyFormat(parsed, v);
    }
    if (name == u"mode") {
        return applyMode(parsed, v);
    }
    if (name == u"remove-anchors" || name == u"keep-anchors") {
        parsed.removeAnchors = name == u"remove-anchors";
    } else if (name == u"ignore-ext") {
        parsed.ignoreExtensions = v;
    } else if (name == u"ignore-urls" || name == u"output") {
        if (v.isEmpty()) {
            return u"--%1 needs a file name"_s.arg(name);
        }
        (name == u"output" ? parsed.outputFile : parsed.ignoreUrlsFile) = v;
    } else if (name == u"agent") {
        parsed.agent = v;
    } else if (name == u"page-url") {
        parsed.pageUrl = v;
    } else if (name == u"separator") {
        if (v.size() != 1) {
            return u"--separator takes one character"_s;
        }
        // Such a separator would make fields that no reader can split back.
        if (v == u"\"" || v == u"\r" || v == u"\n") {
            return u"--separator cannot be a double quote or a line break"_s;
        }
        parsed.separator = v.front();
    } else if (name == u"contents-host") {
        parsed.contentsHost = v;
    } else if (name == u"head") {
        parsed.head = true;
    } else if (name == u"connect-timeout" || name == u"response-timeout") {
        if (!isWholeNumber(v)) {
            return u"--%1 takes a whole number of milliseconds"_s.arg(name);
        }
        (name == u"connect-timeout" ? parsed.connectTimeout : parsed.responseTimeout) = v;
    } else if (name == u"strict") {
        parsed.strict = true;
    } else if (name == u"ignore-robots") {
        parsed.ignoreRobots = true;
    } else if (name == u"sitemap") {
        parsed.sitemap = true;
    } else if (name == u"db") {
        if (v.isEmpty()) {
            return u"--db needs a file name"_s;
        }
        parsed.dbFile = v;
    } else if (name == u"cache-age") {
        if (!isWholeNumber(v)) {
            return u"--cache-age takes a whole number of seconds"_s;
        }
        parsed.cacheAge = v.toLongLong();
    } else {
        return applyNumber(parsed, name, v);
    }
    return {};
}

} // namespace

std::optional<CliFormat> crawlFormatNamed(QStringView name)
{
    const auto names = std::to_array<std::pair<QStringView, CliFormat>>({
        {u"json", CliFormat::Json},
        {u"csv", CliFormat::Csv},
        {u"txt", CliFormat::Txt},
        {u"html", CliFormat::Html},
        {u"junit", CliFormat::Junit},
        {u"sarif", CliFormat::Sarif},
        {u"markdown", CliFormat::Markdown},
    });
    for (const auto &[word, format] : names) {
        if (word == name) {
            return format;
        }
    }
    return std::nullopt;
}

const std::vector<CliOption> &cliOptionTable()
{
    static const std::vector<CliOption> table = makeOptionTable();
    return table;
}

const std::vector<CliOptionGroup> &cliOptionGroups()
{
    static const std::vector<CliOptionGroup> groups = {
        {kEveryCommand, u"options (every command):"_s},
        {kRowCommands, u"options (collect, check and crawl):"_s},
        {kCollectOrCheck, u"options (collect and check):"_s},
        {kCheckOrCrawl, u"options (check and crawl):"_s},
        {kCrawlScope, u"options (crawl):"_s},
        {kAnalyzeScope, u"options (analyze):"_s},
    };
    return groups;
}

const std::vector<CliCommandName> &cliCommandNames()
{
    static const std::vector<CliCommandName> names = {
        {u"collect"_s, kCollectScope},
        {u"check"_s, kCheckScope},
        {u"crawl"_s, kCrawlScope},
        {u"analyze"_s, kAnalyzeScope},
    };
    return names;
}

QStringList cliChoicesFor(const CliOption &entry, unsigned scope)
{
    QStringList words;
    for (const CliChoice &choice : entry.choices) {
        if ((choice.scope & scope) != 0) {
            words.append(choice.value);
        }
    }
    return words;
}

QString cliOptionSynopsis(const CliOption &entry)
{
    QString text = u"--"_s + entry.option.names().constFirst();
    if (!entry.option.valueName().isEmpty()) {
        text += u' ' + entry.option.valueName();
    }
    return text;
}

QStringList cliSynopsisLines()
{
    return {
        u"quorvel-cli collect ADDRESS [options]"_s,
        u"quorvel-cli check   ADDRESS [options]"_s,
        u"quorvel-cli crawl   ADDRESS [options]"_s,
        u"quorvel-cli analyze ADDRESS [--format json] [--contents-host HOST]"_s,
        u"quorvel-cli --version | --help"_s,
    };
}

QString cliAddressNote()
{
    return uR"(ADDRESS is an http(s) address, a "file:///" address, or the path of an existing local file
(crawl: an http(s) address).
)"_s;
}

QString cliUsage()
{
    QString text = u"usage: "_s + cliSynopsisLines().join(u"\n       "_s) + u"\n\n"_s + cliAddressNote();
    const std::vector<CliOption> &table = cliOptionTable();
    qsizetype width = 0;
    for (const CliOption &entry : table) {
        width = std::max(width, cliOptionSynopsis(entry).size());
    }
    for (const CliOptionGroup &group : cliOptionGroups()) {
        text += u'\n' + group.heading + u'\n';
        for (const CliOption &entry : table) {
            if (entry.scope == group.scope) {
                text +=
                    u"  "_s + cliOptionSynopsis(entry).leftJustified(width + 3) + entry.option.description() + u'\n';
            }
        }
    }
    return text;
}

std::optional<CliArguments> parseCliArguments(const QStringList &args, QString *error)
{
    CliArguments parsed;
    auto fail = [error](const QString &message) {
        *error = message;
        return std::nullopt;
    };
    if (args.isEmpty()) {
        return fail(u"no command given"_s);
    }
    const QString &command = args.first();
    if (command == u"--help" || command == u"-h" || command == u"help") {
        parsed.command = CliCommand::Help;
        return parsed;
    }
    if (command == u"--version") {
        parsed.command = CliCommand::Version;
        return parsed;
    }
    const std::optional<CliCommand> named = commandNamed(command);
    if (!named) {
        return fail(u"unknown command \"%1\""_s.arg(command));
    }
    parsed.command = *named;

    // Only the command's own options are known to the parser: another command's option is unknown.
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    std::vector<const CliOption *> accepted;
    for (const CliOption &entry : cliOptionTable()) {
        if ((entry.scope & scopeOf(parsed.command)) != 0) {
            parser.addOption(entry.option);
            accepted.push_back(&entry);
        }
    }
    const QStringList rest = args.mid(1);
    if (!parser.parse(QStringList{u"quorvel-cli"_s} + rest)) {
        return fail(parseError(parser, rest, command, accepted));
    }

    // The values in the order they were given; for a repeated option the last one counts.
    QHash<QString, qsizetype> seen;
    for (const QString &name : parser.optionNames()) {
        const qsizetype occurrence = seen[name]++;
        const QStringList values = parser.values(name);
        const QString v = occurrence < values.size() ? values.at(occurrence) : QString();
        const QString refusal = applyOption(parsed, name, v);
        if (!refusal.isEmpty()) {
            return fail(refusal);
        }
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        return fail(u"no address given"_s);
    }
    if (positional.size() > 1) {
        return fail(u"more than one address given"_s);
    }
    parsed.address = positional.constFirst();
    return parsed;
}

} // namespace quorvel
