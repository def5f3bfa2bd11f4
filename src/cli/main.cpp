#include "cli/AnalyzeJson.h"
#include "cli/CliArguments.h"
#include "core/analyze/Analysis.h"
#include "cli/CliOutput.h"
#include "core/collect/Collector.h"
#include "core/collect/LocalPage.h"
#include "core/common/Http.h"
#include "core/common/Text.h"
#include "core/results/Export.h"
#include "core/results/LinkChecker.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace quorvel;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBroken = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPageFailed = 3;
constexpr int kExitOutputFailed = 4;

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void writeErr(const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

int usageError(const QString &message)
{
    writeErr(u"quorvel-cli: "_s + message);
    writeErr(CliUsage().section(u'\n', 0, 3));
    writeErr(u"Run quorvel-cli --help for the options."_s);
    return kExitUsage;
}

// The address as the URL box would hold it: a path of an existing local file becomes its
// "file:///" address, as Load File would put it there; everything else gets the Check fix-up.
QString boxAddress(const QString &argument)
{
    if (!argument.startsWith(u"http"_s) && !argument.startsWith(u"file:///"_s) && QFileInfo(argument).isFile()) {
        return LocalAddressOf(QFileInfo(argument).absoluteFilePath());
    }
    return FixUpAddress(argument);
}

// Prints the rows or writes the export file; returns false when the file could not be written.
bool emitRows(const LinkRows &rows, const CliArguments &args)
{
    const QChar separator = args.separator.value_or(LocaleListSeparator());
    if (!args.outputFile.isEmpty()) {
        QString error;
        if (!WriteExportFile(args.outputFile, rows, separator, &error)) {
            writeErr(u"quorvel-cli: "_s + error);
            return false;
        }
        return true;
    }
    if (args.format == CliFormat::Json) {
        writeOut(RowsToJson(rows));
        return true;
    }
    const ExportFormat format = args.format == CliFormat::Csv ? ExportFormat::Csv : ExportFormat::Text;
    QByteArray out;
    for (const LinkRow &row : rows) {
        out += ExportLine(row, format, separator).toUtf8() + '\n';
    }
    writeOut(out);
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
            const QByteArray line = "\r\033[K" + text.toUtf8();
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
bool foundBroken(const LinkRows &rows)
{
    for (const LinkRow &row : rows) {
        if (row.icon == kIconBroken || row.response.isEmpty()) {
            return true;
        }
    }
    return false;
}

int runCollectOrCheck(const CliArguments &args)
{
    if (trimControl(args.address).isEmpty()) {
        return usageError(u"Please enter URL!"_s);
    }
    const QString address = boxAddress(args.address);
    if (!args.pageUrl.isEmpty() && !IsLocalAddress(address)) {
        return usageError(u"--page-url is only for a \"file:///\" address"_s);
    }
    QString ignoreUrlsText;
    if (!args.ignoreUrlsFile.isEmpty()) {
        QFile file(args.ignoreUrlsFile);
        if (!file.open(QIODevice::ReadOnly)) {
            return usageError(u"cannot read the Ignore URLs file \"%1\": %2"_s.arg(args.ignoreUrlsFile,
                                                                                    file.errorString()));
        }
        ignoreUrlsText = DecodeLocalFile(file.readAll());
    }

    CollectionSnapshot snapshot;
    snapshot.address = address;
    snapshot.ignoreUrlsText = ignoreUrlsText;
    snapshot.ignoreExtensionsText = trimControl(args.ignoreExtensions);
    snapshot.removeAnchors = args.removeAnchors;
    snapshot.urlBase = args.mode;
    snapshot.userAgent = args.agent;
    snapshot.localPageUrl = args.pageUrl;

    Progress progress;
    CollectionEvents events;
    events.loading = [&progress](const QString &page) { progress.show(u"Loading: "_s + page); };
    CollectionResult run = TCollector::runToEnd(snapshot, events, nullptr);
    progress.done();

    const bool pageFailed = !run.error.isEmpty();
    if (args.command == CliCommand::Check && !pageFailed) {
        QStringList links;
        links.reserve(run.rows.size());
        for (const LinkRow &row : std::as_const(run.rows)) {
            links.append(row.link);
        }
        LinkCheckOptions options;
        options.userAgent = args.agent;
        options.useHead = args.head;
        options.connectTimeout = args.connectTimeout;
        options.responseTimeout = args.responseTimeout;
        options.parallel = args.parallel;
        qsizetype done = 0;
        const qsizetype total = links.size();
        const LinkCheckResults results =
            LinkChecker::checkAll(links, options, nullptr, [&](int, const TURLStatus &) {
                progress.show(u"Checking Broken Links... %1 of %2"_s.arg(++done).arg(total));
            });
        progress.done();
        for (qsizetype i = 0; i < results.size() && i < run.rows.size(); ++i) {
            if (const std::optional<TURLStatus> &status = results[i]) {
                LinkRow &row = run.rows[i];
                row.response = status->MyMessage;
                row.responseTime = status->MyResponseTime;
                row.icon = IconForStatus(status->MyStatus);
            }
        }
    }

    if (!emitRows(run.rows, args)) {
        return kExitOutputFailed;
    }
    if (pageFailed) {
        writeErr(u"quorvel-cli: the page could not be loaded: "_s + run.error);
        return kExitPageFailed;
    }
    if (args.command == CliCommand::Check && foundBroken(run.rows)) {
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
    const AnalysisResult result = RunAnalysis(boxAddress(args.address), options);
    progress.done();
    writeOut(AnalysisToJson(result));
    if (!result.pageError.isEmpty()) {
        writeErr(u"quorvel-cli: the page could not be loaded: "_s + result.pageError);
        return kExitPageFailed;
    }
    return kExitOk;
}

} // namespace

int main(int argc, char **argv)
{
    CurlGlobal curl;
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    QString error;
    const std::optional<CliArguments> args = ParseCliArguments(arguments, &error);
    if (!args) {
        return usageError(error);
    }
    switch (args->command) {
    case CliCommand::Help:
        writeOut(CliUsage().toUtf8());
        return kExitOk;
    case CliCommand::Version:
        writeOut("quorvel-cli 2.2\n");
        return kExitOk;
    case CliCommand::Collect:
    case CliCommand::Check:
        return runCollectOrCheck(*args);
    case CliCommand::Analyze:
        return runAnalyze(*args);
    }
    return kExitUsage;
}
