// The Dromel program: the application object and the event loop.
#include "core/Version.h"
#include "shell/AppDelegate.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

int main(int argc, char **argv) {
    // Answered before any window system is needed, so it runs anywhere.
    for (int index = 1; index < argc; ++index)
        if (std::string_view(argv[index]) == "--version") {
            std::printf("%s %s\n", dromel::kApplicationName, DROMEL_VERSION);
            return 0;
        }
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
