#pragma once

#include <QString>
#include <QStringList>

namespace quorvel {

// One whole invocation of quorvel-cli: parses the arguments (without the program name), runs the
// command, writes standard output and standard error and returns the exit status (0 done, 1 check
// found a broken row, 2 bad usage, 3 the page could not be loaded, 4 standard output or the export
// file could not be written, 128 + the signal after SIGINT or SIGTERM). Needs a QCoreApplication
// and libcurl set up (CurlGlobal); installs its own SIGINT and SIGTERM handlers for a run.
int runCommandLine(const QStringList &arguments);

// What --version prints: the program name and the build's AppVersion, ended by a line feed.
QString cliVersionLine();

} // namespace quorvel
