#include "cli/CliRun.h"
#include "core/common/Http.h"

#include <QCoreApplication>

// The headless front end: everything but the process set-up lives in the quorvel_cli library.
int main(int argc, char **argv)
{
    quorvel::CurlGlobal curl;
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return quorvel::runCommandLine(arguments);
}
