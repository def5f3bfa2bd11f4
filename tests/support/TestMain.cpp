#include "core/common/Http.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

// GoogleTest on a Qt event loop: tests of threaded operations wait with QSignalSpy.
int main(int argc, char **argv)
{
    quorvel::CurlGlobal curl;
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
