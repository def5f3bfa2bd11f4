#pragma once

// Runs the quorvel-cli program the tests were built with, as a child process.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace quorvel::test {

struct CliRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline CliRun runCli(const QStringList &args, const QString &workingDirectory = {})
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(QUORVEL_CLI_PATH), args);
    process.waitForFinished(60'000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

} // namespace quorvel::test
