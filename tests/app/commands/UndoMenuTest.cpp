// The Edit menu's undo and redo on the real window, store, file commands and
// journal: what they name, when they are enabled, and their keys.
#include "commands/FileCommandController.h"
#include "commands/FileCommandsBinding.h"
#include "support/StoreFixture.h"
#include "table/FileTable.h"
#include "window/BrowserController.h"

#include <QMainWindow>
#include <QTest>
#include <gtest/gtest.h>

using namespace dromel;
using namespace dromel::test;

namespace {

class UndoMenuTest : public ::testing::Test, protected StoreFixture {
protected:
    UndoMenuTest() {
        tree.makeFolder("work");
        for (const char *name : {"a", "b", "c"})
            tree.writeFile(std::string("work/") + name, name);
    }

    void open() {
        useEnglish();
        makeStore({tree.path("work")});
        window = std::make_unique<QMainWindow>();
        controller = new BrowserController(*store, tree.path("work"), window.get());
        window->setCentralWidget(controller);
        controller->installToolbar(window.get());
        commands = FileCommandsBinding::attach(*controller, *store, tree.path("state/operations.sqlite"));
        window->resize(900, 600);
        window->show();
        store->startMonitoring();
        store->refresh();
        ASSERT_TRUE(waitUntil([&] { return commands->ready() && !store->current().loading; }));
        controller->table()->setFocus();
    }
    bool finished(std::size_t tasks) const {
        return waitUntil(
            [&] { return commands->service().tasks().size() == tasks && !commands->service().busy(); },
            std::chrono::seconds(10));
    }
    QAction *undo() const { return controller->actions().undo; }
    QAction *redo() const { return controller->actions().redo; }

    ScopedEnv data{"XDG_DATA_HOME", tree.makeFolder("data")};
    ScopedEnv state{"XDG_STATE_HOME", tree.makeFolder("state")};
    std::unique_ptr<QMainWindow> window;
    BrowserController *controller = nullptr;
    FileCommandController *commands = nullptr;
};

} // namespace

TEST_F(UndoMenuTest, TheMenuNamesWhatUndoAndRedoWouldDoAndTheirKeysDoIt) {
    open();
    EXPECT_EQ(undo()->text(), "Undo");
    EXPECT_FALSE(undo()->isEnabled());
    EXPECT_EQ(redo()->text(), "Redo");
    EXPECT_FALSE(redo()->isEnabled());

    const std::vector<std::string> files{tree.path("work/a"), tree.path("work/b"), tree.path("work/c")};
    commands->service().submit(FileOperationRequest(FileOperationKind::trash, files, std::nullopt,
                                                    std::nullopt, false, {}, std::nullopt));
    ASSERT_TRUE(finished(1));
    EXPECT_TRUE(waitUntil([&] { return undo()->isEnabled(); }));
    EXPECT_EQ(undo()->text(), "Undo Trash 3 Items");

    undo()->trigger();
    ASSERT_TRUE(finished(2));
    EXPECT_EQ(tree.readFile("work/b"), "b");
    EXPECT_EQ(undo()->text(), "Undo");
    EXPECT_FALSE(undo()->isEnabled());
    EXPECT_EQ(redo()->text(), "Redo Trash 3 Items");
    ASSERT_TRUE(redo()->isEnabled());

    // Ctrl+Shift+Z on the list redoes; Ctrl+Y only where the Windows-style keys are on.
    QTest::keyClick(controller->table(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(finished(3));
    EXPECT_FALSE(exists(tree.path("work/a")));
    EXPECT_EQ(undo()->text(), "Undo Trash 3 Items");
    QTest::keyClick(controller->table(), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(finished(4));
    EXPECT_TRUE(exists(tree.path("work/a")));
    store->windowsKeys = false;
    QTest::keyClick(controller->table(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(commands->service().tasks().size(), 4u);
    store->windowsKeys = true;
    QTest::keyClick(controller->table(), Qt::Key_Y, Qt::ControlModifier);
    ASSERT_TRUE(finished(5));
    EXPECT_FALSE(exists(tree.path("work/c")));

    // A new folder: named without a count.
    commands->service().submit(FileOperationRequest(FileOperationKind::createDirectory, {}, tree.path("work"),
                                                    "Fresh", false, {}, std::nullopt));
    ASSERT_TRUE(finished(6));
    EXPECT_TRUE(waitUntil([&] { return undo()->text() == "Undo New Folder"; }));
    EXPECT_FALSE(redo()->isEnabled()) << "a new command leaves nothing to redo";
}
