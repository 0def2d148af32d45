#include "commands/FileCommandsBinding.h"

#include "app/operations/ServiceFixture.h"
#include "browser/BrowserStore.h"
#include "commands/FileClipboard.h"
#include "commands/FileCommandController.h"
#include "commands/InlineRename.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "operations/OperationPanel.h"
#include "presentation/Localization.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"
#include "window/BrowserController.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMainWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace dromel;
using namespace dromel::test;

namespace {

bool exists(const std::string &path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// The real window with the file commands attached, as the application builds it.
class FileCommandsBindingTest : public ::testing::Test {
protected:
    TempTree tree;
    ScopedEnv dataHome{"XDG_DATA_HOME", tree.makeFolder("data")};
    ScopedEnv stateHome{"XDG_STATE_HOME", tree.makeFolder("state")};
    LocalDirectoryReader reader;
    ListingOrderer orderer;
    std::unique_ptr<BrowserStore> store;
    std::unique_ptr<QMainWindow> window;
    BrowserController *controller = nullptr;
    FileCommandController *commands = nullptr;

    void SetUp() override {
        Localization::setCurrent(Localization(AppLanguage::english, {}, QLocale(QLocale::English)));
        tree.makeFolder("a");
        tree.makeFolder("a/inbox");
        tree.writeFile("a/one.txt", "1");
        tree.writeFile("a/two.txt", "22");
        store = std::make_unique<BrowserStore>(std::vector<std::string>{tree.path("a")}, 0, reader, orderer);
        window = std::make_unique<QMainWindow>();
        controller = new BrowserController(*store, tree.root(), window.get());
        window->setCentralWidget(controller);
        window->resize(1200, 780);
        controller->installToolbar(window.get());
        commands = FileCommandsBinding::attach(*controller, *store, tree.path("state/operations.sqlite"));
        window->show();
        store->startMonitoring();
        store->refresh();
        ASSERT_TRUE(waitUntil([&] { return commands->ready() && table().fileModel().rowCount() == 3; }));
    }
    void TearDown() override {
        window.reset();
        QApplication::clipboard()->clear();
    }

    FileTable &table() const { return *controller->table(); }
    int rowOf(const std::string &name) const {
        for (int row = 0; row < table().fileModel().rowCount(); ++row)
            if (table().fileModel().entryAt(row)->name() == name)
                return row;
        return -1;
    }
    void select(const std::set<std::string> &names) {
        std::set<std::string> ids;
        for (int row = 0; row < table().fileModel().rowCount(); ++row)
            if (names.count(table().fileModel().entryAt(row)->name()))
                ids.insert(table().fileModel().entryAt(row)->id());
        store->select(ids);
    }
    // A closed editor is deleted later; only a visible one is open.
    InlineRename *openEditor() const {
        for (InlineRename *editor : table().viewport()->findChildren<InlineRename *>())
            if (editor->isVisible())
                return editor;
        return nullptr;
    }
    bool settled(std::size_t tasks) const {
        return waitUntil(
            [&] { return commands->service().tasks().size() == tasks && !commands->service().busy(); },
            std::chrono::seconds(10));
    }
    // Drags `paths` over the list and drops them on `row` with `modifiers`.
    Qt::DropAction dropOnRow(const std::vector<std::string> &paths, int row,
                             Qt::KeyboardModifiers modifiers) {
        auto data = FileClipboard::encodeFiles(paths, false);
        QWidget *viewport = table().viewport();
        const QPoint at = table().visualRect(table().fileModel().index(row, 0)).center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, modifiers);
        QApplication::sendEvent(viewport, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, modifiers);
        QApplication::sendEvent(viewport, &drop);
        EXPECT_TRUE(drop.isAccepted());
        return drop.dropAction();
    }
};

} // namespace

TEST_F(FileCommandsBindingTest, MenuEntriesAndButtonFollowTheService) {
    const auto &actions = controller->actions();
    EXPECT_TRUE(actions.newFolder->isEnabled());
    EXPECT_TRUE(actions.rename->isEnabled());
    EXPECT_TRUE(actions.trash->isEnabled());
    EXPECT_TRUE(actions.operations->isEnabled());
    EXPECT_EQ(controller->fileCommands(), commands);
    EXPECT_TRUE(commands->button()->isVisible());
    EXPECT_TRUE(table().canRun(ListCommand::newFolder));
    EXPECT_FALSE(table().canRun(ListCommand::paste));
    EXPECT_FALSE(table().canRun(ListCommand::undo));

    actions.operations->trigger();
    EXPECT_TRUE(waitUntil([&] { return commands->panel().window()->isVisible(); }));
}

TEST_F(FileCommandsBindingTest, DropOfTwoFilesOntoAFolderRow) {
    const int inbox = rowOf("inbox");
    ASSERT_GE(inbox, 0);
    // Within one volume a plain drop moves.
    EXPECT_EQ(dropOnRow({tree.path("a/one.txt"), tree.path("a/two.txt")}, inbox, Qt::NoModifier),
              Qt::MoveAction);
    ASSERT_TRUE(settled(1));
    const FileOperationTask &task = commands->service().tasks().front();
    EXPECT_EQ(task.request.kind(), FileOperationKind::move);
    EXPECT_EQ(task.request.destination(), tree.path("a/inbox"));
    EXPECT_EQ(task.request.sourceVersions().size(), 2u);
    EXPECT_EQ(task.phase, OperationPhase::completed);
    EXPECT_TRUE(exists(tree.path("a/inbox/one.txt")));
    EXPECT_TRUE(exists(tree.path("a/inbox/two.txt")));
    ASSERT_TRUE(waitUntil([&] { return table().fileModel().rowCount() == 1; }));

    // Ctrl forces a copy; a drop on a file row lands in the shown folder.
    tree.makeFolder("outside");
    const std::string other = tree.writeFile("outside/three.txt", "3");
    EXPECT_EQ(dropOnRow({other}, 0, Qt::ControlModifier), Qt::CopyAction);
    ASSERT_TRUE(settled(2));
    EXPECT_EQ(commands->service().tasks().front().request.destination(), tree.path("a/inbox"));
    EXPECT_TRUE(exists(other));
    EXPECT_TRUE(exists(tree.path("a/inbox/three.txt")));
}

TEST_F(FileCommandsBindingTest, RenameInTheListWithF2) {
    select({"one.txt"});
    table().setFocus();
    QTest::keyClick(&table(), Qt::Key_F2);
    InlineRename *editor = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        editor = openEditor();
        return editor != nullptr;
    }));
    EXPECT_EQ(editor->text(), "one.txt");
    EXPECT_EQ(editor->selectedText(), "one.txt");
    EXPECT_EQ(editor->accessibleName(), Localization::current().text(TextKey::rename));
    editor->setText("first.txt");
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(settled(1));
    EXPECT_EQ(commands->service().tasks().front().phase, OperationPhase::completed);
    EXPECT_TRUE(exists(tree.path("a/first.txt")));

    // Escape leaves the name as it was.
    ASSERT_TRUE(waitUntil([&] { return rowOf("first.txt") >= 0; }));
    select({"first.txt"});
    QTest::keyClick(&table(), Qt::Key_F2);
    ASSERT_TRUE(waitUntil([&] {
        editor = openEditor();
        return editor != nullptr;
    }));
    editor->setText("other.txt");
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return openEditor() == nullptr; }));
    EXPECT_EQ(commands->service().tasks().size(), 1u);

    // Undo from the list (Ctrl+Z) brings the old name back.
    table().setFocus();
    QTest::keyClick(&table(), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(settled(2));
    EXPECT_TRUE(exists(tree.path("a/one.txt")));
}

TEST_F(FileCommandsBindingTest, CutAndPasteFromTheListKeys) {
    select({"one.txt"});
    table().setFocus();
    QTest::keyClick(&table(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(commands->cutPaths(), std::unordered_set<std::string>{tree.path("a/one.txt")});
    store->navigate(tree.path("a/inbox"), BrowserStore::Navigation::visit);
    ASSERT_TRUE(waitUntil(
        [&] { return store->current().url() == tree.path("a/inbox") && !store->current().loading; }));
    table().setFocus();
    QTest::keyClick(&table(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(settled(1));
    EXPECT_EQ(commands->service().tasks().front().request.kind(), FileOperationKind::move);
    EXPECT_TRUE(exists(tree.path("a/inbox/one.txt")));
    EXPECT_TRUE(commands->cutPaths().empty());
}
