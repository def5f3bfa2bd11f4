#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "core/collect/Collector.h"
#include "core/collect/LocalPage.h"
#include "core/common/Http.h"
#include "core/common/Text.h"
#include "core/results/Export.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

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

int runCollect(const CliArguments &args)
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
    if (!IsLocalAddress(address)) {
        writeErr(u"quorvel-cli: http and https addresses are not supported yet"_s);
        return kExitUsage;
    }

    const PageText page = ReadLocalPage(address);
    const QString base = args.pageUrl.isEmpty() ? LocalPathOf(address) : args.pageUrl;
    const QString classifyAgainst = args.pageUrl.isEmpty() ? address : args.pageUrl;
    const RunOptions options =
        RunOptions::make(ignoreUrlsText, args.ignoreExtensions, args.removeAnchors, args.mode, classifyAgainst);
    const LinkRows rows = CollectLinks(page.text, base, options);
    if (!emitRows(rows, args)) {
        return kExitOutputFailed;
    }
    if (!page.error.isEmpty()) {
        writeErr(u"quorvel-cli: the page could not be loaded: "_s + page.error);
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
        return runCollect(*args);
    case CliCommand::Check:
    case CliCommand::Analyze:
        writeErr(u"quorvel-cli: this command is not supported yet"_s);
        return kExitUsage;
    }
    return kExitUsage;
}
