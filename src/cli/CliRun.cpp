#include "cli/CliRun.h"

#include "cli/AnalyzeJson.h"
#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "core/analyze/RunAnalysis.h"
#include "core/app/VersionInfo.h"
#include "core/collect/Collector.h"
#include "core/collect/LocalPage.h"
#include "core/common/Text.h"
#include "core/results/CheckResult.h"
#include "core/results/Export.h"
#include "core/results/LinkChecker.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBroken = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPageFailed = 3;
constexpr int kExitOutputFailed = 4;
// The check's progress line is redrawn at most this often.
constexpr qint64 kProgressIntervalMs = 100;

// An Ignore URLs list is a few lines of address prefixes; a bigger file is a mistake, not a list.
constexpr qint64 kIgnoreUrlsMaxBytes = 16LL * 1024 * 1024;

// The first failed write to standard output (its errno), 0 while every write went through. Later
// writes are skipped: the output is lost either way, and the run ends with kExitOutputFailed.
int g_outError = 0;

void writeOut(const QByteArray &bytes)
{
    if (g_outError != 0 || bytes.isEmpty()) {
        return;
    }
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) !=
        static_cast<size_t>(bytes.size())) {
        g_outError = errno != 0 ? errno : EIO;
    }
}

// Flushes standard output; false when any write to it failed (a full disk, a closed pipe).
bool finishOut()
{
    errno = 0;
    if (g_outError == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)) {
        g_outError = errno != 0 ? errno : EIO;
    }
    return g_outError == 0;
}

// One message line on standard error; control characters in it (from a page, a server, a file
// name) are written as visible escapes. Standard output is flushed first: when both streams go to
// one file, the message follows the rows printed before it instead of landing inside them.
void writeErr(const QString &text)
{
    finishOut();
    const QByteArray bytes = visibleText(text).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

// SIGINT or SIGTERM, once received; the collection run and the check poll g_stop and end early.
std::atomic<bool> g_stop = false;
std::atomic<int> g_signal = 0;
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "set from a signal handler");

void onStopSignal(int signal)
{
    g_signal.store(signal);
    g_stop.store(true);
}

// A first Ctrl-C stops the run and prints what it has; a second one (SA_RESETHAND) ends the
// program at once, as usual.
void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int usageError(const QString &message)
{
    writeErr(u"quorvel-cli: "_s + message);
    for (const QString &line : cliUsage().section(u'\n', 0, 3).split(u'\n')) {
        writeErr(line);
    }
    writeErr(u"Run quorvel-cli --help for the options."_s);
    return kExitUsage;
}

// The address as the URL box would hold it: a path of an existing local file becomes its
// "file:///" address, as Load File would put it there; so does anything written as a path ("/",
// "./", "../"), so that a missing file is reported as such instead of becoming "http:///..." and a
// request; everything else gets the Check fix-up.
QString boxAddress(const QString &argument)
{
    const bool looksLikePath =
        argument.startsWith(u'/') || argument.startsWith(u"./"_s) || argument.startsWith(u"../"_s);
    if (!argument.startsWith(u"http"_s) && !argument.startsWith(u"file:///"_s) &&
        (looksLikePath || QFileInfo(argument).isFile())) {
        return localAddressOf(QFileInfo(argument).absoluteFilePath());
    }
    return fixUpAddress(argument);
}

// Do two paths name the same existing file (same device and inode, whatever the names)?
bool sameFile(const QString &a, const QString &b)
{
    struct stat sa = {};
    struct stat sb = {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Prints rows on standard output as they come, in table order: add() each batch, then finish().
// The bytes go out a megabyte at a time, so the output of many rows is never held whole.
class RowPrinter
{
public:
    explicit RowPrinter(const CliArguments &args)
        : m_json(args.format == CliFormat::Json)
        , m_format(args.format == CliFormat::Csv ? ExportFormat::Csv : ExportFormat::Text)
        , m_separator(args.separator.value_or(LocaleListSeparator()))
        // A terminal shows the rows with control characters escaped; a file or a pipe gets them
        // byte for byte.
        , m_terminal(::isatty(STDOUT_FILENO) == 1)
        , m_jsonWriter(
              kPieceBytes, [](const QByteArray &piece) { writeOut(piece); },
              args.command == CliCommand::Check ? JsonRowKeys::Checked : JsonRowKeys::Collected)
    {}

    void add(const LinkRows &rows)
    {
        if (m_json) {
            m_jsonWriter.add(rows);
            return;
        }
        for (const LinkRow &row : rows) {
            if (m_format == ExportFormat::Text && !m_terminal) {
                appendUtf8(m_out, row.link); // the text line is the link itself
            } else {
                const QString line = exportLine(row, m_format, m_separator);
                appendUtf8(m_out, m_terminal ? visibleText(line) : line);
            }
            m_out += '\n';
            if (m_out.size() >= kPieceBytes) {
                writeOut(m_out);
                m_out.truncate(0); // the capacity stays for the next piece
            }
        }
    }

    void finish()
    {
        if (m_json) {
            m_jsonWriter.finish();
        } else {
            writeOut(m_out);
            m_out = QByteArray();
        }
    }

private:
    static constexpr qsizetype kPieceBytes = 1 << 20;

    bool m_json;
    ExportFormat m_format;
    QChar m_separator;
    bool m_terminal;
    JsonRowsWriter m_jsonWriter;
    QByteArray m_out;
};

// Prints the rows or writes the export file; returns false when the file could not be written.
bool emitRows(const LinkRows &rows, const CliArguments &args)
{
    if (!args.outputFile.isEmpty()) {
        QString error;
        if (!writeExportFile(args.outputFile, rows, args.separator.value_or(LocaleListSeparator()), &error)) {
            writeErr(u"quorvel-cli: "_s + error);
            return false;
        }
        return true;
    }
    RowPrinter printer(args);
    printer.add(rows);
    printer.finish();
    return true;
}

// Shows how far a long operation is, on standard error and only when that is a terminal.
class Progress
{
public:
    Progress()
        : m_enabled(::isatty(STDERR_FILENO) == 1)
    {}

    void show(const QString &text)
    {
        if (m_enabled) {
            const QByteArray line = "\r\033[K" + visibleText(text).toUtf8();
            std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
            m_shown = true;
        }
    }

    void done()
    {
        if (m_shown) {
            std::fputs("\r\033[K", stderr);
            m_shown = false;
        }
    }

private:
    bool m_enabled;
    bool m_shown = false;
};

// Did the check find a broken row: answered 400 to 599, or no answer at all (mail links excepted)?
// True when a checked row fails the run: broken, timed out, unreachable, or its fragment missing;
// with --strict also blocked by a bot wall or still rate-limited.
bool foundBroken(const LinkRows &rows, bool strict)
{
    for (const LinkRow &row : rows) {
        switch (row.verdict) {
        case Verdict::Broken:
        case Verdict::Timeout:
        case Verdict::Unreachable:
        case Verdict::FragmentMissing:
            return true;
        case Verdict::Blocked:
        case Verdict::RateLimited:
            if (strict) {
                return true;
            }
            break;
        case Verdict::None:
        case Verdict::Ok:
        case Verdict::Redirected:
        case Verdict::Skipped:
            break;
        }
    }
    return false;
}

// "Checked N links: O ok, R redirected, ..." over the rows that got a verdict.
QString checkSummary(const LinkRows &rows)
{
    const auto order = std::to_array<Verdict>({Verdict::Ok, Verdict::Redirected, Verdict::Broken, Verdict::Blocked,
                                               Verdict::RateLimited, Verdict::Timeout, Verdict::Unreachable,
                                               Verdict::FragmentMissing, Verdict::Skipped});
    std::array<qsizetype, order.size()> counts{};
    qsizetype checked = 0;
    for (const LinkRow &row : rows) {
        const auto at = std::find(order.cbegin(), order.cend(), row.verdict);
        if (at != order.cend()) {
            ++counts[size_t(at - order.cbegin())];
            ++checked;
        }
    }
    QStringList parts;
    for (size_t i = 0; i < order.size(); ++i) {
        parts << u"%1 %2"_s.arg(counts[i]).arg(verdictName(order[i]));
    }
    return u"Checked %1 links: %2"_s.arg(checked).arg(parts.join(u", "_s));
}

// The run's inputs, checked before anything is fetched: a refusal is the usage error's exit status.
std::optional<int> prepareSnapshot(const CliArguments &args, CollectionSnapshot &snapshot)
{
    if (trimControl(args.address).isEmpty()) {
        return usageError(u"Please enter URL!"_s);
    }
    const QString address = boxAddress(args.address);
    if (!args.pageUrl.isEmpty() && !isLocalAddress(address)) {
        return usageError(u"--page-url is only for a \"file:///\" address"_s);
    }
    QString ignoreUrlsText;
    if (!args.ignoreUrlsFile.isEmpty()) {
        const FileBytes file = readRegularFile(args.ignoreUrlsFile, kIgnoreUrlsMaxBytes);
        if (!file.error.isEmpty()) {
            return usageError(u"cannot read the Ignore URLs file: "_s + file.error);
        }
        ignoreUrlsText = decodeLocalFile(file.bytes);
    }
    if (!args.outputFile.isEmpty()) {
        // Compared by device and inode: another spelling or a link of the same file counts too.
        if (isLocalAddress(address) && sameFile(args.outputFile, localPathOf(address))) {
            return usageError(u"--output names the page being read: \"%1\""_s.arg(args.outputFile));
        }
        if (!args.ignoreUrlsFile.isEmpty() && sameFile(args.outputFile, args.ignoreUrlsFile)) {
            return usageError(u"--output names the Ignore URLs file: \"%1\""_s.arg(args.outputFile));
        }
    }

    snapshot.address = address;
    snapshot.ignoreUrlsText = ignoreUrlsText;
    snapshot.ignoreExtensionsText = trimControl(args.ignoreExtensions);
    snapshot.removeAnchors = args.removeAnchors;
    snapshot.urlBase = args.mode;
    snapshot.userAgent = args.agent;
    snapshot.localPageUrl = args.pageUrl;
    return std::nullopt;
}

// The broken-link check of the collected rows, its results put into them.
void checkRows(const CliArguments &args, LinkRows &rows, Progress &progress)
{
    const QStringList links = linksOfRows(rows);
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
    qsizetype done = 0;
    const qsizetype total = links.size();
    QElapsedTimer elapsed;
    elapsed.start();
    qint64 shownAt = -kProgressIntervalMs;
    const LinkCheckResults results = checkLinks(links, options, &g_stop, [&](int, const TURLStatus &) {
        ++done;
        const qint64 now = elapsed.elapsed();
        if (now - shownAt < kProgressIntervalMs && done < total) {
            return; // redrawn at most ten times a second
        }
        shownAt = now;
        const double seconds = double(std::max<qint64>(now, 1)) / 1000.0;
        progress.show(u"Checking links: %1/%2, %3/s, %4 s"_s.arg(done)
                          .arg(total)
                          .arg(qRound(double(done) / seconds))
                          .arg(seconds, 0, 'f', 1));
    });
    progress.done();
    for (qsizetype i = 0; i < results.size() && i < rows.size(); ++i) {
        if (const std::optional<TURLStatus> &status = results[i]) {
            applyCheckResult(rows[i], *status);
        }
    }
}

int runCollectOrCheck(const CliArguments &args)
{
    CollectionSnapshot snapshot;
    if (const std::optional<int> refused = prepareSnapshot(args, snapshot)) {
        return *refused;
    }

    Progress progress;
    CollectionEvents events;
    events.loading = [&progress](const QString &page) {
        progress.show(u"Loading: "_s + page);
    };
    // Collected rows printed on standard output go out as they come and are not kept: nothing
    // later needs them, and a page of many links is never held with all of its rows.
    std::optional<RowPrinter> printer;
    if (args.command == CliCommand::Collect && args.outputFile.isEmpty()) {
        printer.emplace(args);
        events.keepRows = false;
        events.redirected = [&](const LinkRow &row, const QString &) {
            progress.done();
            printer->add(LinkRows{row});
        };
        events.rows = [&](const LinkRows &batch) {
            progress.done();
            printer->add(batch);
        };
    }
    catchStopSignals();
    CollectionResult run = runCollection(snapshot, events, &g_stop);
    progress.done();

    const bool pageFailed = !run.error.isEmpty();
    // A stop during the run may have cut the page short: its rows are printed, not exported.
    const bool collected = !pageFailed && !g_stop.load();
    if (args.command == CliCommand::Check && collected) {
        checkRows(args, run.rows, progress);
    }

    // An export file is written only for a whole collection (an earlier one is kept otherwise); a
    // check stopped by a signal still exports the rows it finished.
    if (printer) {
        printer->finish(); // every row went out as it came
    } else if (collected || args.outputFile.isEmpty()) {
        if (!emitRows(run.rows, args)) {
            return kExitOutputFailed;
        }
    } else {
        writeErr(u"quorvel-cli: \"%1\" was not written"_s.arg(args.outputFile));
    }
    if (const int signal = g_signal.load(); signal != 0) {
        writeErr(u"quorvel-cli: stopped by %1; the rows finished so far were kept"_s.arg(
            signal == SIGINT ? u"SIGINT"_s : u"SIGTERM"_s));
        return 128 + signal;
    }
    if (pageFailed) {
        writeErr(u"quorvel-cli: the page could not be loaded: "_s + run.error);
        return kExitPageFailed;
    }
    if (args.command == CliCommand::Check && collected) {
        writeErr(checkSummary(run.rows));
    }
    if (args.command == CliCommand::Check && foundBroken(run.rows, args.strict)) {
        return kExitBroken;
    }
    return kExitOk;
}

int runAnalyze(const CliArguments &args)
{
    if (trimControl(args.address).isEmpty()) {
        return usageError(u"Please enter URL!"_s);
    }
    AnalysisOptions options;
    options.userAgent = args.agent;
    if (!args.contentsHost.isEmpty()) {
        options.contentsHost = args.contentsHost;
    }
    Progress progress;
    progress.show(u"Analyzing..."_s);
    const AnalysisResult result = runAnalysis(boxAddress(args.address), options);
    progress.done();
    writeOut(analysisToJson(result));
    if (!result.pageError.isEmpty()) {
        writeErr(u"quorvel-cli: the page could not be loaded: "_s + result.pageError);
        return kExitPageFailed;
    }
    return kExitOk;
}

} // namespace

int runCommandLine(const QStringList &arguments)
{
    QString error;
    const std::optional<CliArguments> args = parseCliArguments(arguments, &error);
    if (!args) {
        return usageError(error);
    }
    int status = kExitUsage;
    switch (args->command) {
    case CliCommand::Help:
        writeOut(cliUsage().toUtf8());
        status = kExitOk;
        break;
    case CliCommand::Version:
        writeOut(cliVersionLine().toUtf8());
        status = kExitOk;
        break;
    case CliCommand::Collect:
    case CliCommand::Check:
        status = runCollectOrCheck(*args);
        break;
    case CliCommand::Analyze:
        status = runAnalyze(*args);
        break;
    }
    if (!finishOut()) {
        writeErr(u"quorvel-cli: cannot write to standard output: "_s +
                 QString::fromLocal8Bit(std::strerror(g_outError)));
        return kExitOutputFailed;
    }
    return status;
}

QString cliVersionLine()
{
    return u"quorvel-cli "_s + projectAppVersion() + u'\n';
}

} // namespace quorvel
