// main() for tests of windows: an offscreen Qt application around GoogleTest,
// whose events go on while a test waits.

#include "test_support.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    testing_support::SetWhileWaiting([] { QCoreApplication::processEvents(); });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
