// The Dromel program: the application object and the event loop.
#include "core/Version.h"
#include "shell/AppDelegate.h"

#include <QApplication>
#include <QDir>

#include <string>
#include <vector>

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(dromel::kApplicationName);
    QApplication::setApplicationVersion(DROMEL_VERSION);
    QApplication::setOrganizationDomain("dromel.org");
    QApplication::setDesktopFileName(dromel::kApplicationIdentifier);
    // The application object decides when the last window closing quits.
    QApplication::setQuitOnLastWindowClosed(false);

    // Raw bytes: a folder named in a foreign encoding still arrives intact.
    std::vector<std::string> arguments(argv + 1, argv + argc);
    dromel::AppDelegate delegate(std::move(arguments), dromel::LaunchOptions::processEnvironment(),
                                 QDir::currentPath().toStdString());
    delegate.applicationDidFinishLaunching();
    return application.exec();
}
