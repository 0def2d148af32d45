// The launch decides whether the program offers its services on the session
// bus: here the session bus is a private one, so nothing reaches the desktop.
#include "shell/AppDelegate.h"

#include "browser/BrowserStore.h"
#include "core/Location.h"
#include "desktop/FileManagerService.h"
#include "shell/LaunchOptions.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "table/FileTable.h"
#include "window/BrowserController.h"

#include "PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QMainWindow>
#include <gtest/gtest.h>

#include <map>

using namespace dromel;
using namespace dromel::test;

namespace {

LaunchOptions::Environment environmentOf(std::map<std::string, std::string> variables) {
    return [variables](const char *name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        if (found == variables.end())
            return std::nullopt;
        return found->second;
    };
}

std::unique_ptr<AppDelegate> launch(const std::string &folder, std::map<std::string, std::string> variables) {
    variables["DromelFixtureDirectory"] = folder;
    variables["DromelFixtureLanguage"] = "en";
    auto app =
        std::make_unique<AppDelegate>(std::vector<std::string>{}, environmentOf(std::move(variables)), "/");
    bool launched = false;
    QObject::connect(app.get(), &AppDelegate::launched, [&launched] { launched = true; });
    app->applicationDidFinishLaunching();
    EXPECT_TRUE(
        waitUntil([&] { return launched && !app->store()->current().loading; }, std::chrono::seconds(20)));
    return app;
}

TEST(DesktopServicesLaunch, AFixtureRunAnswersTheBusOnlyWhenAsked) {
    PrivateBus bus;
    if (!bus.running())
        GTEST_SKIP() << "dbus-daemon could not be started: no private session bus";
    TempTree tree;
    ScopedEnv home("HOME", tree.makeFolder("home"));
    ScopedEnv config("XDG_CONFIG_HOME", tree.makeFolder("config"));
    ScopedEnv state("XDG_STATE_HOME", tree.makeFolder("state"));
    ScopedEnv session("DBUS_SESSION_BUS_ADDRESS", bus.address().toStdString());
    const std::string work = tree.makeFolder("work");
    tree.makeFolder("docs");
    const std::string report = tree.writeFile("docs/report.txt", "r");
    QDBusConnection watcher = bus.connect("watcher");

    {
        auto app = launch(work, {});
        EXPECT_EQ(app->fileManagerService(), nullptr);
        EXPECT_FALSE(watcher.interface()->isServiceRegistered(FileManagerService::kServiceName).value());
    }

    auto app = launch(work, {{"DromelFixtureDesktopBus", "1"}});
    ASSERT_NE(app->fileManagerService(), nullptr);
    EXPECT_TRUE(app->fileManagerService()->registered());
    const QDBusMessage reply = bus.callElsewhere(
        FileManagerService::kServiceName, FileManagerService::kObjectPath, "org.freedesktop.FileManager1",
        "ShowItems", {QStringList{QString::fromLatin1(Location::fileURL(report, false))}, QString()});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    ASSERT_EQ(app->store()->tabs().size(), 2u);
    EXPECT_EQ(app->store()->current().url(), tree.path("docs"));
    EXPECT_TRUE(waitUntil([&] {
        const auto selected = app->controller()->table()->selectedEntries();
        return selected.size() == 1 && selected.front().url() == report;
    }));

    // Quitting gives the name back.
    app->window()->close();
    EXPECT_TRUE(waitUntil([&] { return !app->window()->isVisible(); }));
    app.reset();
    EXPECT_TRUE(waitUntil(
        [&] { return !watcher.interface()->isServiceRegistered(FileManagerService::kServiceName).value(); }));
}

} // namespace
