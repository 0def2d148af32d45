#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

// Widget tests run real widgets on the offscreen platform.
int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Dromel");
    QCoreApplication::setOrganizationDomain("dromel.org");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
