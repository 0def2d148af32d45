// The settings window and the user-settings keys: written in normal runs,
// never read or written in fixture runs.
#include "shell/AppDelegate.h"

#include "browser/BrowserStore.h"
#include "shell/UserSettings.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"
#include "window/BrowserController.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QMainWindow>
#include <QPalette>
#include <gtest/gtest.h>

using namespace dromel;
using dromel::test::ScopedEnv;
using dromel::test::TempTree;
using dromel::test::waitUntil;

namespace {

class AppDelegateSettings : public ::testing::Test {
protected:
    AppDelegateSettings()
        : home("HOME", tree.makeFolder("home")), config("XDG_CONFIG_HOME", tree.makeFolder("config")),
          state("XDG_STATE_HOME", tree.makeFolder("state")) {
        tree.writeFile("home/.hidden", "h");
        tree.writeFile("home/shown", "s");
    }

    std::unique_ptr<AppDelegate> launch(std::vector<std::string> arguments,
                                        std::optional<std::string> fixture = {}) {
        auto app = std::make_unique<AppDelegate>(
            std::move(arguments),
            [fixture](const char *name) -> std::optional<std::string> {
                if (fixture && std::string(name) == "DromelFixtureDirectory")
                    return fixture;
                return std::nullopt;
            },
            tree.root());
        bool launched = false;
        QObject::connect(app.get(), &AppDelegate::launched, [&launched] { launched = true; });
        app->applicationDidFinishLaunching();
        EXPECT_TRUE(waitUntil([&] { return launched && !app->store()->current().loading; },
                              std::chrono::seconds(20)));
        return app;
    }

    bool settingsFileExists() const { return QFileInfo::exists(UserSettings::filePath()); }

    TempTree tree;
    ScopedEnv home, config, state;
};

TEST_F(AppDelegateSettings, SettingsWindowIsBuiltOnce) {
    auto app = launch({});
    app->showPreferences();
    QWidget *first = app->settingsWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    first->close();
    app->controller()->preferences();
    EXPECT_EQ(app->settingsWindow(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(app->languageControl()->count(), 3);
    EXPECT_EQ(app->languageControl()->itemText(1), QStringLiteral("English"));
    EXPECT_EQ(app->languageControl()->itemText(2), QStringLiteral("简体中文"));
    EXPECT_EQ(app->appearanceControl()->count(), 3);
    EXPECT_EQ(app->skinControl()->count(), 2);
    EXPECT_TRUE(app->restoreControl()->isEnabled());
}

TEST_F(AppDelegateSettings, NormalRunsWriteEachKeyWhenItChanges) {
    auto app = launch({});
    app->showPreferences();
    EXPECT_FALSE(app->hiddenControl()->isChecked());
    app->hiddenControl()->click();
    EXPECT_TRUE(app->store()->showHidden());
    ASSERT_TRUE(waitUntil([&] { return app->store()->current().entries().size() == 2; }));

    app->keysControl()->click();
    EXPECT_FALSE(app->store()->windowsKeys);
    app->restoreControl()->click();
    app->languageChanged(1);
    {
        UserSettings stored(true);
        EXPECT_EQ(stored.showHidden(), true);
        EXPECT_EQ(stored.windowsKeys(), false);
        EXPECT_EQ(stored.restoreTabs(), false);
        ASSERT_TRUE(stored.presentation());
        EXPECT_TRUE(stored.presentation()->contains("\"language\":\"en\""));
    }

    // Hidden items toggled from the window are written too, and the box follows.
    app->controller()->toggleHidden();
    EXPECT_FALSE(app->hiddenControl()->isChecked());
    EXPECT_EQ(UserSettings(true).showHidden(), false);
    app.reset();

    auto again = launch({});
    EXPECT_FALSE(again->store()->showHidden());
    EXPECT_FALSE(again->store()->windowsKeys);
    EXPECT_EQ(again->presentation().language, AppLanguage::english);
}

TEST_F(AppDelegateSettings, FixtureRunsReadAndWriteNoSettings) {
    {
        UserSettings planted(true);
        planted.setShowHidden(true);
        planted.setWindowsKeys(false);
    }
    const QString planted = UserSettings::filePath();
    const QByteArray before = [&] {
        QFile file(planted);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    ASSERT_FALSE(before.isEmpty());

    auto app = launch({}, tree.path("home"));
    EXPECT_FALSE(app->store()->showHidden()) << "fixture runs ignore the stored settings";
    EXPECT_TRUE(app->store()->windowsKeys);
    app->showPreferences();
    EXPECT_FALSE(app->restoreControl()->isEnabled());
    app->hiddenControl()->click();
    app->keysControl()->click();
    app->appearanceChanged(2);
    app->skinChanged(1);
    app->languageChanged(1);
    app->controller()->toggleHidden();
    app->window()->close();
    ASSERT_TRUE(waitUntil([&] { return !app->window()->isVisible(); }));
    app.reset();

    UserSettings stored(true);
    EXPECT_EQ(stored.showHidden(), true);
    EXPECT_EQ(stored.windowsKeys(), false);
    EXPECT_FALSE(stored.presentation());
    EXPECT_FALSE(stored.restoreTabs());
    QFile file(planted);
    file.open(QIODevice::ReadOnly);
    EXPECT_EQ(file.readAll(), before) << "the file is left byte for byte";
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(tree.path("state/Dromel/window.conf"))));
}

TEST_F(AppDelegateSettings, AppearanceSwitchesLive) {
    auto app = launch({});
    app->showPreferences();
    app->appearanceControl()->setCurrentIndex(2);
    emit app->appearanceControl()->activated(2);
    EXPECT_LT(QApplication::palette().color(QPalette::Window).lightness(), 128);
    app->appearanceChanged(1);
    EXPECT_GT(QApplication::palette().color(QPalette::Window).lightness(), 128);
    EXPECT_TRUE(UserSettings(true).presentation()->contains("\"appearance\":\"light\""));
}

} // namespace
