#include "core/common/Http.h"

#include <QApplication>

#include <gtest/gtest.h>

// GoogleTest on a QApplication (icons and widgets need one). Being part of the test program, this
// main keeps the QCoreApplication main of the test-support library out of the link.
int main(int argc, char **argv)
{
    quorvel::CurlGlobal curl;
    // CTest sets the offscreen platform; the test listing at build time and a run by hand get it
    // here, so no display is ever needed unless one is asked for.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
