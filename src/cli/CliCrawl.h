#pragma once

#include "cli/CliArguments.h"

namespace quorvel {

// quorvel-cli crawl: crawls the site of args.address, writes the chosen format to standard output
// or --output, the summary to standard error; returns the exit status (as check's, 3 when the start
// page could not be loaded).
int runCrawlCommand(const CliArguments &args);

} // namespace quorvel
