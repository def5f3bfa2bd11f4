#include "cli/CliDocs.h"
#include "core/app/VersionInfo.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

// Writes one of quorvel-cli's manual pages or completions on standard output; the build runs it to
// make the files it installs:
//   quorvel-docs man quorvel-cli|quorvel
//   quorvel-docs completion bash|zsh
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString what = args.join(u' ');
    QString text;
    if (what == u"man quorvel-cli") {
        text = quorvel::cliManPage(quorvel::projectAppVersion());
    } else if (what == u"man quorvel") {
        text = quorvel::guiManPage(quorvel::projectAppVersion());
    } else if (what == u"completion bash") {
        text = quorvel::bashCompletion();
    } else if (what == u"completion zsh") {
        text = quorvel::zshCompletion();
    } else {
        std::fputs("usage: quorvel-docs man quorvel-cli|quorvel | completion bash|zsh\n", stderr);
        return 2;
    }
    const QByteArray bytes = text.toUtf8();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
        std::fflush(stdout) != 0) {
        std::fputs("quorvel-docs: cannot write to standard output\n", stderr);
        return 1;
    }
    return 0;
}
