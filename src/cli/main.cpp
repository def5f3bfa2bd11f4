#include "core/common/Http.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    quorvel::CurlGlobal curl;
    QCoreApplication app(argc, argv);
    std::fputs("usage: quorvel-cli collect|check|analyze ADDRESS [options]\n", stdout);
    return 0;
}
