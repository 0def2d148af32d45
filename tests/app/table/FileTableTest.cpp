// The file list on a real store over real folders, driven with real input.
#include "table/FileTable.h"

#include "look/Icons.h"
#include "support/StoreFixture.h"
#include "table/FileTableModel.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

using namespace dromel;
using namespace dromel::test;

namespace {

class FileTableTest : public ::testing::Test, protected StoreFixture {
protected:
    ~FileTableTest() override {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    }

    // Shows the table over a store on `folders` (or a saved session) and waits
    // until the active tab is listed and sorted.
    void open(const std::vector<std::string> &folders) {
        makeStore(folders);
        bind();
    }
    void open(const BrowserSession &session) {
        store = std::make_unique<BrowserStore>(session, reader, orderer);
        bind();
    }
    void bind() {
        window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(window.get());
        table = new FileTable(*store, icons, window.get());
        layout->addWidget(table);
        store->onChange = [this](BrowserStore::Change change) { table->render(change); };
        QObject::connect(table, &FileTable::commandRequested,
                         [this](ListCommand command) { commands.push_back(command); });
        window->resize(1200, 500);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        store->refresh();
        ASSERT_TRUE(listed());
        table->setFocus();
    }
    bool listed() {
        return settled() && waitUntil([&] {
                   return table->model()->rowCount() ==
                          static_cast<int>(store->current().visibleEntries().size());
               });
    }
    int rowOf(const std::string &name) const {
        for (int row = 0; row < table->model()->rowCount(); ++row)
            if (table->fileModel().entryAt(row)->name() == name)
                return row;
        ADD_FAILURE() << name << " is not shown";
        return -1;
    }
    std::string nameAt(int row) const { return table->fileModel().entryAt(row)->name(); }
    QPoint centreOf(int row) const {
        return table->visualRect(table->model()->index(row, FileTableModel::nameColumn)).center();
    }
    void click(int row, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, modifiers, centreOf(row));
    }
    void key(int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(table, Qt::Key(key), modifiers);
    }
    std::vector<ListCommand> takeCommands() { return std::exchange(commands, {}); }
    QMenu *openMenuAt(QPoint point) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, point, table->viewport()->mapToGlobal(point));
        QApplication::sendEvent(table->viewport(), &event);
        return qobject_cast<QMenu *>(QApplication::activePopupWidget());
    }
    static QStringList titles(const QMenu *menu, bool enabledOnly = false) {
        QStringList result;
        for (const QAction *action : menu->actions())
            if (!action->isSeparator() && (!enabledOnly || action->isEnabled()))
                result << action->text();
        return result;
    }

    Icons icons;
    std::unique_ptr<QWidget> window;
    FileTable *table = nullptr;
    std::vector<ListCommand> commands;
    const Localization texts = Localization::current();
};

using Commands = std::vector<ListCommand>;

} // namespace

TEST_F(FileTableTest, ListKeysFollowTheWindowsKeysSetting) {
    tree.writeFile("a");
    tree.writeFile("b");
    open({tree.root()});
    click(rowOf("a"));
    ASSERT_EQ(selectedNames(), std::set<std::string>{"a"});

    store->windowsKeys = true;
    for (int pressed : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Delete, Qt::Key_F5, Qt::Key_F2})
        key(pressed);
    EXPECT_EQ((Commands{ListCommand::open, ListCommand::open, ListCommand::trash, ListCommand::refresh,
                        ListCommand::rename}),
              takeCommands());

    store->windowsKeys = false;
    for (int pressed : {Qt::Key_Return, Qt::Key_Delete, Qt::Key_F5, Qt::Key_Backspace})
        key(pressed);
    key(Qt::Key_Delete, Qt::ControlModifier);
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ((Commands{ListCommand::rename, ListCommand::trash, ListCommand::deletePermanently}),
              takeCommands())
        << "plain Delete and F5 need the setting; Ctrl+Delete always trashes; Backspace never does; "
           "Shift+Delete deletes (after a question)";

    for (bool windowsKeys : {true, false}) {
        store->windowsKeys = windowsKeys;
        for (int pressed : {Qt::Key_C, Qt::Key_X, Qt::Key_V, Qt::Key_Z, Qt::Key_O, Qt::Key_M})
            key(pressed, Qt::ControlModifier);
        key(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        key(Qt::Key_N, Qt::ControlModifier);
        key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        key(Qt::Key_Y, Qt::ControlModifier);
        key(Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
        key(Qt::Key_Return, Qt::AltModifier);
        Commands expected{ListCommand::copy,     ListCommand::cut,       ListCommand::paste,
                          ListCommand::undo,     ListCommand::open,      ListCommand::makeLink,
                          ListCommand::newFolder, ListCommand::redo};
        if (windowsKeys)
            expected.push_back(ListCommand::redo);
        EXPECT_EQ(expected, takeCommands())
            << "Ctrl plays Command's part whatever the setting; Ctrl+M makes a link; Ctrl+Shift+Z redoes, "
               "Ctrl+Y only with the setting; Ctrl+N and Ctrl+Alt are left alone";
    }

    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selectedNames(), (std::set<std::string>{"a", "b"}));
    key(Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_TRUE(store->current().selection.empty()) << "Escape deselects even with a modifier";
    EXPECT_TRUE(takeCommands().empty()) << "select all and deselect are the list's own";
}

TEST_F(FileTableTest, ControlClickTogglesRowsWithWindowsKeys) {
    for (const char *name : {"a", "b", "c"})
        tree.writeFile(name);
    open({tree.root()});
    store->windowsKeys = true;
    click(rowOf("a"));
    click(rowOf("c"), Qt::ControlModifier);
    EXPECT_EQ(selectedNames(), (std::set<std::string>{"a", "c"}));
    click(rowOf("c"), Qt::ControlModifier);
    EXPECT_EQ(selectedNames(), std::set<std::string>{"a"}) << "a second Ctrl-click removes the row again";
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, centreOf(rowOf("b")));
    EXPECT_TRUE(takeCommands().empty()) << "a Ctrl-double-click toggles, it does not open";

    const std::set<std::string> before = selectedNames();
    const QPoint empty(20, table->rowViewportPosition(2) + 32 + 40);
    ASSERT_EQ(table->rowAt(empty.y()), -1);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, empty);
    EXPECT_EQ(selectedNames(), before) << "a Ctrl-click on empty space changes nothing";
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "and opens no menu";

    // Without the setting Ctrl-click is the desktop's own: on Linux it also toggles.
    store->windowsKeys = false;
    click(rowOf("a"));
    click(rowOf("b"), Qt::ControlModifier);
    EXPECT_EQ(selectedNames(), (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(FileTableTest, ContextMenuFollowsTheSelectionRule) {
    tree.makeFolder("folder");
    for (const char *name : {"a", "b"})
        tree.writeFile(name);
    open({tree.root()});
    click(rowOf("a"));
    click(rowOf("b"), Qt::ShiftModifier);
    ASSERT_EQ(selectedNames(), (std::set<std::string>{"a", "b"}));

    QMenu *menu = openMenuAt(centreOf(rowOf("b")));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(selectedNames(), (std::set<std::string>{"a", "b"})) << "a selected row keeps the selection";
    const QStringList all = titles(menu);
    ASSERT_EQ(all.size(), 13);
    EXPECT_EQ(all.front(), texts.text(TextKey::open));
    EXPECT_FALSE(all.contains(texts.text(TextKey::openInNewTab))) << "only for a single folder";
    EXPECT_EQ(all.back(), texts.text(TextKey::properties));
    EXPECT_EQ(titles(menu, true), QStringList{texts.text(TextKey::preview)})
        << "without the window's answer nothing else can run";
    menu->close();

    table->canRun = [](ListCommand command) { return command != ListCommand::paste; };
    menu = openMenuAt(centreOf(rowOf("folder")));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(selectedNames(), std::set<std::string>{"folder"}) << "an unselected row becomes the selection";
    EXPECT_TRUE(titles(menu).contains(texts.text(TextKey::openInNewTab)));
    EXPECT_TRUE(titles(menu, true).contains(texts.text(TextKey::rename)));
    EXPECT_FALSE(titles(menu, true).contains(texts.text(TextKey::paste)));
    for (QAction *action : menu->actions())
        if (action->text() == texts.text(TextKey::openInNewTab))
            action->trigger();
    EXPECT_EQ(Commands{ListCommand::openInNewTab}, takeCommands());
    menu->close();

    const QPoint below(20, table->rowViewportPosition(2) + 32 + 40);
    menu = openMenuAt(below);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(store->current().selection.empty()) << "a click below the rows deselects";
    EXPECT_EQ(titles(menu).front(), texts.text(TextKey::newFolder)) << "no item commands without a selection";
    EXPECT_EQ(QApplication::focusWidget(), table);
    menu->close();
}

TEST_F(FileTableTest, ScrollPositionIsSavedAndRestoredPerTab) {
    const std::string many = tree.makeFolder("many");
    const std::string other = tree.makeFolder("other");
    for (int i = 0; i < 300; ++i)
        tree.writeFile("many/item" + std::to_string(1000 + i));
    for (int i = 0; i < 300; ++i)
        tree.writeFile("other/entry" + std::to_string(1000 + i));
    open({many, other});
    const Uuid first = store->current().id;
    QScrollBar *bar = table->verticalScrollBar();

    bar->setValue(2000);
    EXPECT_EQ(store->current().scrollOffset, 2000);
    store->switchTab(store->tabs()[1].id);
    ASSERT_TRUE(listed());
    EXPECT_EQ(bar->value(), 0);
    bar->setValue(640);
    store->switchTab(first);
    ASSERT_TRUE(listed());
    EXPECT_EQ(bar->value(), 2000) << "each tab comes back where it was";
    EXPECT_EQ(store->tabs()[1].scrollOffset, 640);

    store->showError("something");
    store->dismissError();
    EXPECT_EQ(bar->value(), 2000) << "chrome notices leave the scroll position alone";
    EXPECT_EQ(nameAt(0), "item1000");

    // A restored session keeps its selection, and scrolls once its listing is long enough.
    const std::string chosen = store->current().visibleEntries()[150].id();
    store->select({chosen});
    const BrowserSession session = store->session();
    table = nullptr;
    window.reset();
    open(session);
    ASSERT_TRUE(test::waitUntil([&] { return table->verticalScrollBar()->value() == 2000; }));
    EXPECT_EQ(store->current().scrollOffset, 2000);
    EXPECT_EQ(store->current().selection, std::set<std::string>{chosen});
    EXPECT_TRUE(table->selectionModel()->isRowSelected(150, {}));
}

TEST_F(FileTableTest, NamesThatAreNotUtf8ShowReplacementCharactersAndKeepTheirBytes) {
    const std::string raw = std::string("bad\xff") + "name";
    tree.writeFile(raw, "content");
    open({tree.root()});
    const int row = rowOf(raw);
    const QString shown = table->model()->index(row, 0).data().toString();
    EXPECT_EQ(shown, QString::fromUtf8("bad\xef\xbf\xbdname"));
    click(row);
    ASSERT_EQ(selectedNames(), std::set<std::string>{raw}) << "the selection keeps the entry's bytes";
    key(Qt::Key_Return);
    ASSERT_EQ(table->selectedEntries().size(), 1u);
    EXPECT_EQ(table->selectedEntries().front().url(), tree.path(raw));
}

TEST_F(FileTableTest, HomeEndAndPageKeysMoveTheCursorShiftExtendsControlOnlyMoves) {
    for (int i = 0; i < 60; ++i)
        tree.writeFile("f" + std::to_string(100 + i));
    open({tree.root()});
    click(rowOf("f110"));
    key(Qt::Key_End);
    EXPECT_EQ(selectedNames(), std::set<std::string>{"f159"});
    EXPECT_EQ(table->currentIndex().row(), 59);
    key(Qt::Key_Home);
    EXPECT_EQ(selectedNames(), std::set<std::string>{"f100"});
    key(Qt::Key_PageDown);
    const int page = table->currentIndex().row();
    EXPECT_GT(page, 5);
    EXPECT_EQ(selectedNames(), std::set<std::string>{nameAt(page)});
    key(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(selectedNames().size(), static_cast<std::size_t>(page + 1)) << "Shift+Home extends to the top";
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(table->currentIndex().row(), 59);
    EXPECT_EQ(selectedNames().size(), static_cast<std::size_t>(page + 1))
        << "Ctrl+End moves, selects nothing";
    key(Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_TRUE(selectedNames().contains("f159"));
    EXPECT_FALSE(selectedNames().contains("f100")) << "Shift extends from the anchor, not the old range";
}

TEST_F(FileTableTest, ItemsAskedForAreSelectedAndScrolledIntoViewOnceListed) {
    for (int i = 0; i < 200; ++i)
        tree.writeFile("item" + std::to_string(1000 + i));
    const std::string child = tree.makeFolder("zz-child");
    open({child});
    // What the window does for Up: the folder left behind is selected in its parent.
    const Uuid tab = store->activeID();
    store->goUp();
    table->selectWhenListed(tab, {child});
    ASSERT_TRUE(waitUntil([&] { return selectedNames() == std::set<std::string>{"zz-child"}; }));
    EXPECT_EQ(nameAt(table->currentIndex().row()), "zz-child");
    EXPECT_TRUE(table->viewport()->rect().contains(centreOf(rowOf("zz-child")))) << "scrolled into view";

    // What a paste or a new folder does: the new items, listed after the folder reloads.
    table->selectWhenListed(tab, {tree.path("item1001"), tree.path("new-a"), tree.path("new-b")});
    tree.writeFile("new-a");
    tree.writeFile("new-b");
    store->invalidateDirectories({tree.root()});
    ASSERT_TRUE(waitUntil([&] {
        return selectedNames() == std::set<std::string>{"item1001", "new-a", "new-b"};
    }));
    EXPECT_EQ(nameAt(table->currentIndex().row()), "item1001");
}

TEST_F(FileTableTest, TheHeaderMenuChoosesColumnsAndTheirStateComesBack) {
    tree.writeFile("a");
    open({tree.root()});
    std::unique_ptr<QMenu> menu(table->makeColumnsMenu(nullptr));
    const QList<QAction *> items = menu->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_FALSE(items[0]->isEnabled()) << "the name is always shown";
    items[FileTableModel::sizeColumn]->setChecked(false);
    EXPECT_TRUE(table->isColumnHidden(FileTableModel::sizeColumn));
    table->setColumnWidth(FileTableModel::modifiedColumn, 210);
    const QString state = table->columnState();
    EXPECT_EQ(state, "kind=170,size=0,modified=210");

    table = nullptr;
    window.reset();
    open({tree.root()});
    EXPECT_FALSE(table->isColumnHidden(FileTableModel::sizeColumn));
    table->restoreColumnState(state);
    EXPECT_TRUE(table->isColumnHidden(FileTableModel::sizeColumn));
    EXPECT_EQ(table->columnWidth(FileTableModel::modifiedColumn), 210);
    table->restoreColumnState("size=oops,kind=-4,bogus");
    EXPECT_TRUE(table->isColumnHidden(FileTableModel::sizeColumn)) << "damaged text changes nothing";
}
