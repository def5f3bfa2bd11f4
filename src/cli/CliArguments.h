#pragma once

#include "core/app/OptionDefaults.h"
#include "core/collect/RunOptions.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorvel {

enum class CliCommand { Collect, Check, Analyze, Help, Version };
enum class CliFormat { Json, Csv, Txt };

// Everything one invocation of quorvel-cli asked for; options missing from the command line keep
// the defaults of a first start of the window program.
struct CliArguments
{
    CliCommand command = CliCommand::Help;
    QString address;
    UrlBaseMode mode = UrlBaseMode::Domain;
    bool removeAnchors = true;
    QString ignoreExtensions = DefaultIgnoreExtensions();
    QString ignoreUrlsFile; // empty: no Ignore URLs lines
    QString agent = DefaultAgent();
    QString pageUrl;
    bool head = false;
    QString connectTimeout = DefaultTimeoutText();
    QString responseTimeout = DefaultTimeoutText();
    int parallel = 16;
    CliFormat format = CliFormat::Json;
    std::optional<QChar> separator;
    QString outputFile;
    QString contentsHost; // analyze: host of the html2txt service; empty: the W3C's
};

// Parses argv (without the program name). On bad usage returns nullopt and sets error.
std::optional<CliArguments> ParseCliArguments(const QStringList &args, QString *error);

// The usage text printed by --help and after a usage error.
QString CliUsage();

} // namespace quorvel
