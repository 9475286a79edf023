// The GUI suites share one QApplication on Qt's offscreen platform (also when
// ctest lists the tests, which runs this binary without the test environment).
#include <gtest/gtest.h>

#include <QApplication>

#include "kernel/data_files.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The data files that ship are found beside the test binary, as the programs find them.
    tallivo::setExecutablePath(argv[0]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
