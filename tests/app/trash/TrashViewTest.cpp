// The Trash as a place of the window: its sidebar row, the merged listing
// with where each item came from, restore from the context menu, and a tab
// showing it that the session brings back.
#include "browser/BrowserStore.h"
#include "commands/FileCommandController.h"
#include "core/FileEntry.h"
#include "engine/OperationTrash.h"
#include "presentation/Localization.h"
#include "shell/AppDelegate.h"
#include "sidebar/DirectorySidebar.h"
#include "sidebar/SidebarModel.h"
#include "support/ScopedEnv.h"
#include "support/StoreFixture.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"
#include "table/ListCommand.h"
#include "window/BrowserController.h"

#include <QMainWindow>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

using namespace dromel;
using dromel::test::ScopedEnv;
using dromel::test::TempTree;
using dromel::test::waitUntil;

namespace {

class TrashViewTest : public ::testing::Test {
protected:
    TrashViewTest()
        : home("HOME", tree.makeFolder("home")), config("XDG_CONFIG_HOME", tree.makeFolder("config")),
          state("XDG_STATE_HOME", tree.makeFolder("state")), data("XDG_DATA_HOME", tree.makeFolder("data")) {
        tree.makeFolder("work");
    }

    std::unique_ptr<AppDelegate> launch() {
        auto app = std::make_unique<AppDelegate>(
            std::vector<std::string>{"--isolated", "--directory", tree.path("work"), "--session-file",
                                     tree.path("session.json")},
            [](const char *) -> std::optional<std::string> { return std::nullopt; }, tree.root());
        bool launched = false;
        QObject::connect(app.get(), &AppDelegate::launched, [&launched] { launched = true; });
        app->applicationDidFinishLaunching();
        EXPECT_TRUE(waitUntil([&] { return launched && !app->store()->current().loading; },
                              std::chrono::seconds(20)));
        return app;
    }

    static QModelIndex trashRow(DirectorySidebar &sidebar) {
        SidebarModel &model = sidebar.sidebarModel();
        const QModelIndex favourites = model.indexOf(model.roots().front().get());
        for (int row = 0; row < model.rowCount(favourites); ++row) {
            const QModelIndex index = model.index(row, 0, favourites);
            if (model.data(index).toString() == Localization::current().text(TextKey::trashPlace))
                return index;
        }
        return {};
    }

    // The rows of the list by name: the text of the original-location column.
    static std::map<QString, QString> rows(const FileTable &table) {
        std::map<QString, QString> shown;
        const FileTableModel &model = table.fileModel();
        for (int row = 0; row < model.rowCount(); ++row)
            shown[model.index(row, FileTableModel::nameColumn).data().toString()] =
                model.index(row, FileTableModel::kindColumn).data().toString();
        return shown;
    }

    TempTree tree;
    ScopedEnv home, config, state, data;
};

} // namespace

TEST_F(TrashViewTest, TheSidebarOpensTheMergedTrashWhoseItemsGoBackFromTheContextMenu) {
    tree.writeFile("work/letter.txt", "dear");
    tree.writeFile("work/notes.md", "n");
    OperationTrash::trashItem(tree.path("work/letter.txt"));
    OperationTrash::trashItem(tree.path("work/notes.md"));
    tree.writeFile("data/Trash/files/stray", "no record");

    auto app = launch();
    BrowserController &window = *app->controller();
    DirectorySidebar &sidebar = *window.directorySidebar();
    const QModelIndex row = trashRow(sidebar);
    ASSERT_TRUE(row.isValid());
    EXPECT_TRUE(
        waitUntil([&] { return row.data(SidebarModel::SymbolRole).toString() == "user-trash-full"; }));
    // The menu bar's commands that make or rename in a folder are there in
    // a folder, and not in the Trash.
    const BrowserController::Actions &actions = window.actions();
    ASSERT_TRUE(waitUntil([&] { return actions.newFolder->isEnabled() && actions.rename->isEnabled(); }));
    sidebar.scrollTo(row);
    QTest::mouseClick(sidebar.viewport(), Qt::LeftButton, {}, sidebar.visualRect(row).center());
    const std::string trash = tree.path("data/Trash/files");
    ASSERT_TRUE(waitUntil(
        [&] { return app->store()->current().url() == trash && !app->store()->current().loading; }));
    EXPECT_FALSE(actions.newFolder->isEnabled());
    EXPECT_FALSE(actions.rename->isEnabled());

    FileTable &table = *window.table();
    const QString noRecord = Localization::current().text(TextKey::trashNoRecord);
    ASSERT_TRUE(waitUntil([&] { return rows(table).size() == 3; })) << rows(table).size();
    EXPECT_EQ(rows(table),
              (std::map<QString, QString>{{"letter.txt", QString::fromStdString(tree.path("work"))},
                                          {"notes.md", QString::fromStdString(tree.path("work"))},
                                          {"stray", noRecord}}));
    const FileTableModel &model = table.fileModel();
    EXPECT_EQ(model.headerData(FileTableModel::kindColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
              Localization::current().text(TextKey::trashOriginalColumn));
    EXPECT_EQ(model.headerData(FileTableModel::modifiedColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
              Localization::current().text(TextKey::trashDeletedColumn));
    EXPECT_TRUE(app->window()->windowTitle().startsWith(Localization::current().text(TextKey::trashPlace)));

    // Restore from the context menu; the list follows.
    for (int line = 0; line < model.rowCount(); ++line) {
        const QString name = model.index(line, FileTableModel::nameColumn).data().toString();
        if (name == "letter.txt" || name == "stray")
            table.selectionModel()->select(model.index(line, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    ASSERT_EQ(table.selectedEntries().size(), 2u);
    ASSERT_TRUE(waitUntil([&] { return window.fileCommands() && window.fileCommands()->ready(); }));
    // Nothing is cut out of the Trash or renamed in it: its items are named
    // by their records.
    EXPECT_FALSE(table.canRun(ListCommand::cut));
    EXPECT_FALSE(table.canRun(ListCommand::rename));
    EXPECT_FALSE(table.canRun(ListCommand::newFolder));
    EXPECT_TRUE(table.canRun(ListCommand::copy));
    std::unique_ptr<QMenu> menu(table.makeContextMenu(nullptr));
    QAction *restore = menu->actions().front();
    EXPECT_EQ(restore->text(), Localization::current().text(TextKey::trashRestore));
    ASSERT_TRUE(restore->isEnabled());
    restore->trigger();
    EXPECT_TRUE(waitUntil([&] { return test::exists(tree.path("work/letter.txt")); }));
    EXPECT_EQ(tree.readFile("work/letter.txt"), "dear");
    EXPECT_TRUE(waitUntil([&] { return rows(table).size() == 2; })) << "the item without a record stays";
    EXPECT_EQ(tree.readFile("data/Trash/files/stray"), "no record");

    // Emptied by another program: the list and the sidebar row follow.
    TempTree::removeAll(tree.path("data/Trash/files/notes.md"));
    TempTree::removeAll(tree.path("data/Trash/files/stray"));
    TempTree::removeAll(tree.path("data/Trash/info/notes.md.trashinfo"));
    EXPECT_TRUE(waitUntil([&] { return rows(table).empty(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(waitUntil([&] { return row.data(SidebarModel::SymbolRole).toString() == "user-trash"; }));

    // The tab showing the Trash comes back with the session.
    app->window()->close();
    ASSERT_TRUE(waitUntil([&] { return !app->window()->isVisible(); }));
    app.reset();
    auto again = launch();
    EXPECT_EQ(again->store()->current().url(), trash);
    EXPECT_TRUE(again->window()->windowTitle().startsWith(Localization::current().text(TextKey::trashPlace)));
}
