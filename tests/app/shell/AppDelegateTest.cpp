// Launch switches, fixture keys, session restore, the settings window and the
// user-settings keys, with the real store on real folders and the user's
// folders pointed at a temporary tree.
#include "shell/AppDelegate.h"

#include "browser/BrowserStore.h"
#include "browser/SessionPersistence.h"
#include "browser/SessionStore.h"
#include "core/FileEntry.h"
#include "look/ThumbnailLoader.h"
#include "presentation/Localization.h"
#include "shell/LaunchOptions.h"
#include "shell/UserSettings.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"
#include "table/FileTable.h"
#include "window/BrowserController.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <tuple>

using namespace dromel;
using dromel::test::ScopedEnv;
using dromel::test::TempTree;
using dromel::test::waitUntil;

namespace {

using Variables = std::map<std::string, std::string>;

LaunchOptions::Environment environmentOf(Variables variables) {
    return [variables](const char *name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        if (found == variables.end())
            return std::nullopt;
        return found->second;
    };
}

// A home, config and state folder of its own for every test.
class AppDelegateLaunch : public ::testing::Test {
protected:
    AppDelegateLaunch()
        : home("HOME", tree.makeFolder("home")), config("XDG_CONFIG_HOME", tree.makeFolder("config")),
          state("XDG_STATE_HOME", tree.makeFolder("state")) {
        tree.makeFolder("home/Documents");
        tree.writeFile("home/notes.txt", "n");
        tree.writeFile("home/.hidden", "h");
        tree.makeFolder("work");
        tree.writeFile("work/a.txt", "a");
        tree.writeFile("work/b.txt", "b");
        tree.makeFolder("other");
    }

    std::unique_ptr<AppDelegate> launch(std::vector<std::string> arguments, Variables variables = {}) {
        auto app = std::make_unique<AppDelegate>(std::move(arguments), environmentOf(std::move(variables)),
                                                 tree.root());
        bool launched = false;
        QObject::connect(app.get(), &AppDelegate::launched, [&launched] { launched = true; });
        app->applicationDidFinishLaunching();
        EXPECT_TRUE(waitUntil([&] { return launched && !app->store()->current().loading; },
                              std::chrono::seconds(20)));
        return app;
    }

    // Closes the main window the way the user does and waits until the final
    // save let it close.
    static void quit(AppDelegate &app) {
        app.window()->close();
        EXPECT_TRUE(waitUntil([&] { return !app.window()->isVisible(); }));
    }

    std::string sessionPath() const { return tree.path("state/Dromel/session.json"); }
    static bool exists(const std::string &path) { return QFileInfo::exists(QString::fromStdString(path)); }

    TempTree tree;
    ScopedEnv home, config, state;
};

TEST(LaunchOptionsTest, SwitchesAndFixtureKeys) {
    const auto parse = [](std::vector<std::string> arguments, Variables variables = {}) {
        return LaunchOptions::parse(arguments, environmentOf(std::move(variables)), "/work");
    };
    EXPECT_EQ(parse({"--directory", "/tmp/x/../y"}).startFolder, "/tmp/y");
    EXPECT_EQ(parse({"--directory", "sub"}).startFolder, "/work/sub");
    EXPECT_FALSE(parse({"--directory"}).startFolder) << "ignored as the last argument";
    EXPECT_FALSE(parse({"--directory", "/a"}).fixtureMode);

    // Outside fixture mode the session file and fixture keys are ignored.
    const LaunchOptions normal = parse({"--session-file", "/s.json"}, {{"DromelFixtureCompact", "1"}});
    EXPECT_FALSE(normal.sessionFile);
    EXPECT_FALSE(normal.compact);
    EXPECT_FALSE(normal.fixtureLanguage);

    const LaunchOptions isolated = parse({"--isolated", "--session-file", "/s.json"});
    EXPECT_TRUE(isolated.fixtureMode);
    EXPECT_EQ(isolated.sessionFile, "/s.json");
    EXPECT_EQ(isolated.fixtureLanguage, "zh-Hans") << "absent means simplified Chinese";
    EXPECT_FALSE(parse({"--isolated", "--session-file", "s.json"}).sessionFile)
        << "relative paths are refused";
    EXPECT_FALSE(parse({"--isolated", "--session-file", "s.json"}, {{"DromelFixtureSessionFile", "/f.json"}})
                     .sessionFile)
        << "the switch wins over the key even when it is refused";
    EXPECT_EQ(parse({"--isolated"}, {{"DromelFixtureSessionFile", "/f.json"}}).sessionFile, "/f.json");

    const LaunchOptions fixture = parse({"--directory", "/ignored"}, {{"DromelFixtureDirectory", "/fx"},
                                                                      {"DromelFixtureCompact", "true"},
                                                                      {"DromelFixtureLanguage", "en"}});
    EXPECT_TRUE(fixture.fixtureMode);
    EXPECT_EQ(fixture.startFolder, "/fx") << "the fixture folder wins over --directory";
    EXPECT_TRUE(fixture.compact);
    EXPECT_EQ(fixture.fixtureLanguage, "en");
    EXPECT_TRUE(parse({}, {{"DromelFixtureDirectory", "/fx"}, {"DromelFixtureCompact", "1"}}).compact);
    EXPECT_FALSE(parse({}, {{"DromelFixtureDirectory", "/fx"}, {"DromelFixtureCompact", "yes"}}).compact);
    EXPECT_FALSE(parse({}, {{"DromelFixtureDirectory", ""}}).fixtureMode) << "empty counts as unset";

    // Normal runs offer the desktop services; fixture runs only when asked.
    EXPECT_TRUE(parse({}).desktopBus);
    EXPECT_FALSE(parse({}, {{"DromelFixtureDirectory", "/fx"}}).desktopBus);
    EXPECT_TRUE(parse({}, {{"DromelFixtureDirectory", "/fx"}, {"DromelFixtureDesktopBus", "1"}}).desktopBus);
    EXPECT_FALSE(parse({}, {{"DromelFixtureDirectory", "/fx"}, {"DromelFixtureDesktopBus", "0"}}).desktopBus);
}

TEST_F(AppDelegateLaunch, FreshMachineOpensTheHomeFolderInANormalWindow) {
    auto app = launch({});
    EXPECT_FALSE(app->fixtureMode());
    ASSERT_EQ(app->store()->tabs().size(), 1u);
    EXPECT_EQ(app->store()->current().url(), tree.path("home"));
    EXPECT_EQ(app->store()->current().entries().size(), 2u);
    EXPECT_EQ(app->journalPath(), tree.path("state/Dromel/operations.sqlite"));

    // About sits in the Help menu, the last one.
    const QList<QAction *> menus = app->window()->menuBar()->actions();
    ASSERT_FALSE(menus.isEmpty());
    const Localization texts = Localization::current();
    EXPECT_EQ(menus.back()->text(), texts.text(TextKey::helpMenu));
    ASSERT_NE(menus.back()->menu(), nullptr);
    ASSERT_EQ(menus.back()->menu()->actions().size(), 1);
    EXPECT_EQ(menus.back()->menu()->actions().front()->text(), texts.text(TextKey::about));

    quit(*app);
    EXPECT_TRUE(exists(sessionPath())) << "quitting saves the session";
}

TEST_F(AppDelegateLaunch, DirectoryIgnoresTheSavedSessionInNormalMode) {
    const BrowserSession saved = BrowserSession::fromPaths({tree.path("work"), tree.path("other")}, 1);
    SessionStore(sessionPath()).save(saved);
    {
        auto app = launch({"--directory", tree.path("work")});
        ASSERT_EQ(app->store()->tabs().size(), 1u);
        EXPECT_EQ(app->store()->current().url(), tree.path("work"));
    }
    // That run may have saved its own tab by now; put the two back.
    SessionStore(sessionPath()).save(saved);
    auto restored = launch({});
    ASSERT_EQ(restored->store()->tabs().size(), 2u);
    EXPECT_EQ(restored->store()->current().url(), tree.path("other"));
}

TEST_F(AppDelegateLaunch, IsolatedRunsUseOnlyAnAbsoluteSessionFile) {
    const std::string file = tree.path("fixture-session.json");
    // The selected item's id is only known once the folder was read.
    std::string selectedID;
    {
        auto probe = launch({"--isolated", "--directory", tree.path("work")});
        EXPECT_EQ(probe->sessionStore(), nullptr) << "no session file: no persistence at all";
        for (const FileEntry &entry : probe->store()->current().entries())
            if (entry.name() == "b.txt")
                selectedID = entry.id();
        quit(*probe);
    }
    ASSERT_FALSE(selectedID.empty());
    EXPECT_FALSE(exists(sessionPath()));

    SessionStore(file).save(BrowserSession(
        {TabSession({tree.path("other")}, 0, "", FileSort(), {}, 0),
         TabSession({tree.path("home"), tree.path("work")}, 1, "", FileSort(), {selectedID}, 0)},
        1));
    {
        auto relative = launch(
            {"--isolated", "--directory", tree.path("other"), "--session-file", "fixture-session.json"});
        EXPECT_EQ(relative->sessionStore(), nullptr);
        EXPECT_EQ(relative->store()->tabs().size(), 1u);
    }
    auto app = launch({"--isolated", "--directory", tree.path("other"), "--session-file", file});
    ASSERT_EQ(app->store()->tabs().size(), 2u) << "a chosen session file wins over the start folder";
    EXPECT_EQ(app->store()->current().url(), tree.path("work"));
    EXPECT_TRUE(app->store()->current().history.back().has_value());
    ASSERT_TRUE(waitUntil([&] { return app->store()->current().selection.size() == 1; }));
    EXPECT_EQ(*app->store()->current().selection.begin(), selectedID);

    app->store()->addTab(tree.path("home"));
    quit(*app);
    const std::optional<BrowserSession> saved = SessionStore(file).load();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->tabs.size(), 3u) << "the isolated run saves to its own file";
    EXPECT_FALSE(exists(sessionPath()));
}

TEST_F(AppDelegateLaunch, SessionFileRestoresEachTabsScrollOffset) {
    for (int index = 0; index < 300; ++index)
        tree.writeFile("other/item-" + std::to_string(1000 + index), "x");
    const std::string file = tree.path("scrolled-session.json");
    SessionStore(file).save(BrowserSession({TabSession({tree.path("work")}, 0, "", FileSort(), {}, 0),
                                            TabSession({tree.path("other")}, 0, "", FileSort(), {}, 2400)},
                                           1));
    auto app = launch({"--isolated", "--session-file", file});
    ASSERT_EQ(app->store()->current().url(), tree.path("other"));
    QScrollBar *bar = app->controller()->table()->verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return bar->value() == 2400; }))
        << "the list lands where the session left it, scrolled " << bar->value();
    EXPECT_EQ(app->store()->current().scrollOffset, 2400);

    // The user's scrolling is what the next session holds.
    bar->setValue(800);
    quit(*app);
    const std::optional<BrowserSession> saved = SessionStore(file).load();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->tabs.at(1).scrollOffset, 800);
}

TEST_F(AppDelegateLaunch, WindowGeometryIsRememberedOutsideFixtureRuns) {
    {
        auto app = launch({});
        EXPECT_EQ(app->window()->size(), QSize(1200, 780)) << "the first launch has the default size";
        app->window()->resize(1000, 640);
        ASSERT_TRUE(waitUntil([&] { return app->window()->size() == QSize(1000, 640); }));
        quit(*app);
    }
    EXPECT_TRUE(exists(tree.path("state/Dromel/window.conf")));
    {
        auto app = launch({});
        EXPECT_EQ(app->window()->size(), QSize(1000, 640)) << "the next launch restores it";
        quit(*app);
    }

    auto fixture = launch({}, {{"DromelFixtureDirectory", tree.path("work")}});
    EXPECT_EQ(fixture->window()->size(), QSize(1200, 780)) << "fixture runs ignore the remembered size";
}

TEST_F(AppDelegateLaunch, RestoreTabsOffWritesNoSession) {
    UserSettings(true).setRestoreTabs(false);
    auto app = launch({});
    app->store()->addTab(tree.path("work"));
    app->store()->navigate(tree.path("other"), BrowserStore::Navigation::visit);
    ASSERT_TRUE(waitUntil([&] { return app->store()->current().url() == tree.path("other"); }));
    quit(*app);
    EXPECT_FALSE(exists(sessionPath()));
}

TEST_F(AppDelegateLaunch, SettingsWindowSwitchesLiveAndNormalRunsWriteEachKey) {
    auto app = launch({});
    app->showPreferences();
    QWidget *first = app->settingsWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    first->close();
    app->controller()->preferences();
    EXPECT_EQ(app->settingsWindow(), first);
    EXPECT_TRUE(first->isVisible());

    app->appearanceControl()->setCurrentIndex(2);
    emit app->appearanceControl()->activated(2);
    EXPECT_LT(QApplication::palette().color(QPalette::Window).lightness(), 128);
    app->appearanceChanged(1);
    EXPECT_GT(QApplication::palette().color(QPalette::Window).lightness(), 128);
    EXPECT_TRUE(UserSettings(true).presentation()->contains("\"appearance\":\"light\""));

    EXPECT_FALSE(app->hiddenControl()->isChecked());
    app->hiddenControl()->click();
    EXPECT_TRUE(app->store()->showHidden());
    ASSERT_TRUE(waitUntil([&] { return app->store()->current().entries().size() == 3; }));

    ASSERT_EQ(app->contentLimitControl()->value(), 64);
    app->contentLimitControl()->setValue(5);
    EXPECT_EQ(app->store()->contentSizeLimit(), 5 << 20);
    EXPECT_EQ(UserSettings(true).contentSearchLimit(), 5);

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

    // The tab row can be kept for a single tab; the window closes with Escape or Close.
    QCheckBox *alwaysTabs = nullptr;
    for (QCheckBox *box : first->findChildren<QCheckBox *>())
        if (box->text() == Localization::current().text(TextKey::alwaysShowTabs))
            alwaysTabs = box;
    ASSERT_NE(alwaysTabs, nullptr);
    ASSERT_EQ(app->store()->tabs().size(), 1u);
    EXPECT_FALSE(app->controller()->tabRow()->isVisible());
    alwaysTabs->click();
    EXPECT_TRUE(app->controller()->tabRow()->isVisible());
    EXPECT_EQ(UserSettings(true).alwaysShowTabs(), true);
    first->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(first));
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_FALSE(first->isVisible());
    app->showPreferences();
    const auto closeButtons = first->findChildren<QPushButton *>();
    ASSERT_EQ(closeButtons.size(), 1);
    closeButtons.front()->click();
    EXPECT_FALSE(first->isVisible());

    // Hidden items toggled from the window are written too, and the box follows.
    app->controller()->toggleHidden();
    EXPECT_FALSE(app->hiddenControl()->isChecked());
    EXPECT_EQ(UserSettings(true).showHidden(), false);
    app.reset();

    auto again = launch({});
    EXPECT_FALSE(again->store()->showHidden());
    EXPECT_FALSE(again->store()->windowsKeys);
    EXPECT_EQ(again->store()->contentSizeLimit(), 5 << 20);
    EXPECT_EQ(again->presentation().language, AppLanguage::english);
}

TEST_F(AppDelegateLaunch, ThumbnailSettingsReachBothViewsAndAreKept) {
    auto app = launch({});
    const auto policy = [&app](bool icons) {
        const ThumbnailLoader &loader =
            icons ? app->controller()->iconThumbnails() : app->controller()->listThumbnails();
        return std::tuple(loader.isEnabled(), loader.maximumFileSize / (1024 * 1024), loader.networkVolumes);
    };
    EXPECT_EQ(policy(false), std::tuple(true, 64, false)) << "on, 64 MB, not on network volumes";
    app->showPreferences();
    QComboBox *sizes = app->thumbnailControl();
    ASSERT_NE(sizes, nullptr);
    EXPECT_EQ(sizes->currentData().toInt(), 64);
    EXPECT_EQ(sizes->accessibleName(), Localization::current().text(TextKey::thumbnails));
    const auto choose = [sizes](int megabytes) {
        const int index = sizes->findData(megabytes);
        ASSERT_GE(index, 0) << megabytes;
        sizes->setCurrentIndex(index);
        emit sizes->activated(index);
    };
    choose(0);
    EXPECT_FALSE(std::get<0>(policy(true))) << "off";
    EXPECT_EQ(UserSettings(true).thumbnailLimitMB(), 0);
    choose(256);
    app->networkThumbnailControl()->click();
    EXPECT_EQ(policy(false), std::tuple(true, 256, true));
    EXPECT_EQ(policy(true), std::tuple(true, 256, true));
    app.reset();

    auto again = launch({});
    EXPECT_EQ(again->controller()->iconThumbnails().maximumFileSize, 256LL * 1024 * 1024);
    EXPECT_TRUE(again->controller()->listThumbnails().networkVolumes);
}

TEST_F(AppDelegateLaunch, FixtureRunsReadAndWriteNoSettings) {
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

    auto app = launch({"--directory", tree.path("other")},
                      {{"DromelFixtureDirectory", tree.path("work")}, {"DromelFixtureCompact", "1"}});
    EXPECT_TRUE(app->fixtureMode());
    EXPECT_EQ(app->store()->current().url(), tree.path("work"));
    EXPECT_EQ(app->window()->size(), QSize(800, 672));
    EXPECT_EQ(app->journalPath(), tree.path("work/.dromel-qa/operations.sqlite"));
    EXPECT_EQ(app->presentation().language, AppLanguage::simplifiedChinese);
    ASSERT_FALSE(app->store()->current().visibleEntries().empty());
    EXPECT_EQ((*app->store()->current().visibleEntries().begin()).kind(), "纯文本文档")
        << "the desktop's type names in the interface's language, whatever the locale";
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

    QFile file(planted);
    file.open(QIODevice::ReadOnly);
    EXPECT_EQ(file.readAll(), before) << "the file is left byte for byte";
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(tree.path("state/Dromel/window.conf"))));
    QLocale::setDefault(QLocale::system());
}

} // namespace
