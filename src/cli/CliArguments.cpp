#include "cli/CliArguments.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace quorvel {

QString CliUsage()
{
    return uR"(usage: quorvel-cli collect ADDRESS [options]
       quorvel-cli check   ADDRESS [options]
       quorvel-cli analyze ADDRESS [--format json] [--contents-host HOST]
       quorvel-cli --version | --help

ADDRESS is an http(s) address, a "file:///" address, or the path of an existing local file.

options (collect and check):
  --mode domain|subdomain|none         how links are typed Internal/External (default domain)
  --remove-anchors | --keep-anchors    cut links at "#" (default: remove)
  --ignore-ext "LIST"                  extensions to drop, separated by blanks ("" for none)
  --ignore-urls FILE                   address prefixes to drop, one per line
  --agent TEXT                         User-Agent of the requests
  --page-url URL                       for a local file: the address it stands for
  --format json|csv|txt                output format (default json)
  --separator C                        CSV list separator (default: the locale's)
  --output FILE                        write the export file (.csv: CSV, else a list of links)
options (check):
  --head                               HEAD instead of GET
  --connect-timeout MS                 default 5000
  --response-timeout MS                default 5000
  --parallel N                         requests in flight, 1 to 1024 (default 16)
)"_s;
}

namespace {

bool isWholeNumber(const QString &text)
{
    if (text.isEmpty() || text.size() > 9) {
        return false;
    }
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<CliArguments> ParseCliArguments(const QStringList &args, QString *error)
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
    if (command == u"collect") {
        parsed.command = CliCommand::Collect;
    } else if (command == u"check") {
        parsed.command = CliCommand::Check;
    } else if (command == u"analyze") {
        parsed.command = CliCommand::Analyze;
    } else {
        return fail(u"unknown command \"%1\""_s.arg(command));
    }

    bool haveAddress = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        auto value = [&](QString *out) {
            if (i + 1 >= args.size()) {
                *error = u"%1 needs a value"_s.arg(arg);
                return false;
            }
            *out = args[++i];
            return true;
        };
        const bool collectOption = parsed.command != CliCommand::Analyze;
        const bool checkOption = parsed.command == CliCommand::Check;
        QString v;
        if (arg == u"--format") {
            if (!value(&v)) {
                return std::nullopt;
            }
            if (v == u"json") {
                parsed.format = CliFormat::Json;
            } else if (v == u"csv" && collectOption) {
                parsed.format = CliFormat::Csv;
            } else if (v == u"txt" && collectOption) {
                parsed.format = CliFormat::Txt;
            } else {
                return fail(u"unknown format \"%1\""_s.arg(v));
            }
        } else if (arg == u"--mode" && collectOption) {
            if (!value(&v)) {
                return std::nullopt;
            }
            if (v == u"domain") {
                parsed.mode = UrlBaseMode::Domain;
            } else if (v == u"subdomain") {
                parsed.mode = UrlBaseMode::Subdomain;
            } else if (v == u"none") {
                parsed.mode = UrlBaseMode::None;
            } else {
                return fail(u"unknown mode \"%1\" (domain, subdomain or none)"_s.arg(v));
            }
        } else if (arg == u"--remove-anchors" && collectOption) {
            parsed.removeAnchors = true;
        } else if (arg == u"--keep-anchors" && collectOption) {
            parsed.removeAnchors = false;
        } else if (arg == u"--ignore-ext" && collectOption) {
            if (!value(&parsed.ignoreExtensions)) {
                return std::nullopt;
            }
        } else if (arg == u"--ignore-urls" && collectOption) {
            if (!value(&parsed.ignoreUrlsFile)) {
                return std::nullopt;
            }
            if (parsed.ignoreUrlsFile.isEmpty()) {
                return fail(u"--ignore-urls needs a file name"_s);
            }
        } else if (arg == u"--agent" && collectOption) {
            if (!value(&parsed.agent)) {
                return std::nullopt;
            }
        } else if (arg == u"--page-url" && collectOption) {
            if (!value(&parsed.pageUrl)) {
                return std::nullopt;
            }
        } else if (arg == u"--separator" && collectOption) {
            if (!value(&v)) {
                return std::nullopt;
            }
            if (v.size() != 1) {
                return fail(u"--separator takes one character"_s);
            }
            // Such a separator would make fields that no reader can split back.
            if (v == u"\"" || v == u"\r" || v == u"\n") {
                return fail(u"--separator cannot be a double quote or a line break"_s);
            }
            parsed.separator = v.front();
        } else if (arg == u"--output" && collectOption) {
            if (!value(&parsed.outputFile)) {
                return std::nullopt;
            }
            if (parsed.outputFile.isEmpty()) {
                return fail(u"--output needs a file name"_s);
            }
        } else if (arg == u"--contents-host" && parsed.command == CliCommand::Analyze) {
            if (!value(&parsed.contentsHost)) {
                return std::nullopt;
            }
        } else if (arg == u"--head" && checkOption) {
            parsed.head = true;
        } else if ((arg == u"--connect-timeout" || arg == u"--response-timeout") && checkOption) {
            if (!value(&v)) {
                return std::nullopt;
            }
            if (!isWholeNumber(v)) {
                return fail(u"%1 takes a whole number of milliseconds"_s.arg(arg));
            }
            (arg == u"--connect-timeout" ? parsed.connectTimeout : parsed.responseTimeout) = v;
        } else if (arg == u"--parallel" && checkOption) {
            if (!value(&v)) {
                return std::nullopt;
            }
            bool ok = false;
            const int n = v.toInt(&ok);
            if (!ok || n < 1 || n > 1024) {
                return fail(u"--parallel takes a number from 1 to 1024"_s);
            }
            parsed.parallel = n;
        } else if (arg.startsWith(u"--") && arg.size() > 2) {
            return fail(u"unknown option \"%1\" for %2"_s.arg(arg, command));
        } else if (!haveAddress) {
            parsed.address = arg;
            haveAddress = true;
        } else {
            return fail(u"more than one address given"_s);
        }
    }
    if (!haveAddress) {
        return fail(u"no address given"_s);
    }
    return parsed;
}

} // namespace quorvel
