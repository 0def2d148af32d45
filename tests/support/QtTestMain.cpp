#include <QCoreApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

// The services post to the main thread through Qt's event loop, so every
// non-core test runs inside a QCoreApplication on the main thread.
int main(int argc, char **argv) {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Dromel");
    QCoreApplication::setOrganizationDomain("dromel.org");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
