// The file list on a real store over real folders, driven with real input.
#include "table/FileTable.h"

#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "presentation/Localization.h"
#include "shell/Icons.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"
#include "table/FileTableModel.h"
#include "table/QuickLook.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace dromel;
using Change = BrowserStore::Change;

namespace {

class FileTableTest : public ::testing::Test {
protected:
    ~FileTableTest() override {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    }

    // Shows the table in a window of `width` over a store on `folders`, and
    // waits until the active tab is listed and sorted.
    void open(const std::vector<std::string> &folders, int width = 1200) {
        store = std::make_unique<BrowserStore>(folders, 0, reader, orderer);
        bind(width);
    }
    void open(const BrowserSession &session, int width = 1200) {
        store = std::make_unique<BrowserStore>(session, reader, orderer);
        bind(width);
    }
    void bind(int width) {
        window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        table = new FileTable(*store, icons, window.get());
        layout->addWidget(table);
        store->onChange = [this](Change change) { table->render(change); };
        QObject::connect(table, &FileTable::commandRequested,
                         [this](ListCommand command) { commands.push_back(command); });
        window->resize(width, 500);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        store->refresh();
        ASSERT_TRUE(settled());
        table->setFocus();
    }
    // Generous: the first listing of a process loads the MIME database, which
    // takes seconds under the sanitizers.
    bool settled() {
        return test::waitUntil(
            [&] {
                const BrowserTab &tab = store->current();
                return !tab.loading && !tab.arranging &&
                       table->model()->rowCount() == static_cast<int>(tab.visibleEntries().size());
            },
            std::chrono::seconds(60));
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
    std::set<std::string> selectedNames() const {
        std::set<std::string> names;
        for (const FileEntry &entry : store->selected())
            names.insert(entry.name());
        return names;
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

    test::TempTree tree;
    LocalDirectoryReader reader;
    ListingOrderer orderer;
    Icons icons;
    std::unique_ptr<BrowserStore> store;
    std::unique_ptr<QWidget> window;
    FileTable *table = nullptr;
    std::vector<ListCommand> commands;
    const Localization texts = Localization::current();
};

using Commands = std::vector<ListCommand>;

} // namespace

TEST_F(FileTableTest, ShowsTheStoresRowsInItsColumnsAndSizes) {
    tree.makeFolder("docs");
    tree.writeFile("notes.txt", "hello");
    tree.writeFile("plain");
    open({tree.root()});

    ASSERT_EQ(table->model()->rowCount(), 3);
    const QAbstractItemModel &model = *table->model();
    EXPECT_EQ(nameAt(0), "docs") << "folders first, as the store ordered them";
    EXPECT_EQ(model.data(model.index(0, FileTableModel::kindColumn)).toString(), texts.text(TextKey::folder));
    EXPECT_EQ(model.data(model.index(0, FileTableModel::sizeColumn)).toString(), QString(QChar(0x2014)));
    const int notes = rowOf("notes.txt");
    EXPECT_EQ(model.data(model.index(notes, FileTableModel::sizeColumn)).toString(), texts.bytes(5));
    EXPECT_EQ(model.data(model.index(rowOf("plain"), FileTableModel::kindColumn)).toString(),
              texts.text(TextKey::file));
    EXPECT_EQ(model.data(model.index(notes, FileTableModel::nameColumn), Qt::ToolTipRole).toString(),
              QString::fromStdString(tree.path("notes.txt")));
    EXPECT_FALSE(model.data(model.index(notes, 0), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), texts.text(TextKey::nameColumn));

    EXPECT_EQ(table->rowHeight(0), 32);
    EXPECT_EQ(table->columnWidth(FileTableModel::kindColumn), 130);
    EXPECT_EQ(table->columnWidth(FileTableModel::sizeColumn), 90);
    EXPECT_EQ(table->columnWidth(FileTableModel::modifiedColumn), 150);
    EXPECT_FALSE(table->isColumnHidden(FileTableModel::kindColumn));
    EXPECT_EQ(table->columnWidth(0) + 130 + 90 + 150, table->viewport()->width())
        << "the name column takes the remaining width";

    window->resize(1000, 500);
    ASSERT_TRUE(test::waitUntil([&] { return table->isColumnHidden(FileTableModel::kindColumn); }))
        << "narrow windows hide the kind column";
    EXPECT_EQ(table->columnWidth(0) + 90 + 150, table->viewport()->width());
    window->resize(300, 500);
    ASSERT_TRUE(test::waitUntil([&] { return table->width() <= 300; }));
    EXPECT_EQ(table->columnWidth(0), 180) << "never narrower than its minimum";
}

TEST_F(FileTableTest, HeaderClicksSortThroughTheStoreAndShowTheIndicator) {
    tree.writeFile("big", std::string(300, 'x'));
    tree.writeFile("small", "x");
    tree.writeFile("middle", std::string(20, 'x'));
    open({tree.root()});
    QHeaderView *header = table->horizontalHeader();
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);

    const auto clickHeader = [&](int section) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 20, header->height() / 2));
    };
    clickHeader(FileTableModel::sizeColumn);
    EXPECT_EQ(store->current().sort, (FileSort{SortColumn::size, true}));
    ASSERT_TRUE(test::waitUntil([&] { return !store->current().arranging && nameAt(0) == "small"; }));
    EXPECT_EQ(nameAt(2), "big");
    EXPECT_EQ(header->sortIndicatorSection(), FileTableModel::sizeColumn);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);

    clickHeader(FileTableModel::sizeColumn);
    EXPECT_EQ(store->current().sort, (FileSort{SortColumn::size, false})) << "the same column flips";
    ASSERT_TRUE(test::waitUntil([&] { return !store->current().arranging && nameAt(0) == "big"; }));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

    clickHeader(FileTableModel::nameColumn);
    EXPECT_EQ(store->current().sort, (FileSort{SortColumn::name, true})) << "another column starts ascending";
    ASSERT_TRUE(test::waitUntil([&] { return !store->current().arranging && nameAt(0) == "big"; }));
    EXPECT_EQ(nameAt(1), "middle");
}

TEST_F(FileTableTest, ListKeysFollowTheWindowsKeysSetting) {
    tree.writeFile("a");
    tree.writeFile("b");
    open({tree.root()});
    click(rowOf("a"));
    ASSERT_EQ(selectedNames(), std::set<std::string>{"a"});

    store->windowsKeys = true;
    key(Qt::Key_Return);
    key(Qt::Key_Enter);
    key(Qt::Key_Delete);
    key(Qt::Key_F5);
    key(Qt::Key_F2);
    EXPECT_EQ((Commands{ListCommand::open, ListCommand::open, ListCommand::trash, ListCommand::refresh,
                        ListCommand::rename}),
              takeCommands());

    store->windowsKeys = false;
    key(Qt::Key_Return);
    key(Qt::Key_Delete);
    key(Qt::Key_F5);
    key(Qt::Key_Delete, Qt::ControlModifier);
    key(Qt::Key_Backspace);
    EXPECT_EQ((Commands{ListCommand::rename, ListCommand::trash}), takeCommands())
        << "plain Delete and F5 need the setting; Ctrl+Delete always trashes; Backspace never does";

    for (bool windowsKeys : {true, false}) {
        store->windowsKeys = windowsKeys;
        key(Qt::Key_C, Qt::ControlModifier);
        key(Qt::Key_X, Qt::ControlModifier);
        key(Qt::Key_V, Qt::ControlModifier);
        key(Qt::Key_Z, Qt::ControlModifier);
        key(Qt::Key_O, Qt::ControlModifier);
        key(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        key(Qt::Key_N, Qt::ControlModifier);
        key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        key(Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
        key(Qt::Key_Return, Qt::AltModifier);
        EXPECT_EQ((Commands{ListCommand::copy, ListCommand::cut, ListCommand::paste, ListCommand::undo,
                            ListCommand::open, ListCommand::newFolder}),
                  takeCommands())
            << "Ctrl plays Command's part whatever the setting; Ctrl+N, Ctrl+Shift+Z and Ctrl+Alt are left "
               "alone";
    }

    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selectedNames(), (std::set<std::string>{"a", "b"}));
    key(Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_TRUE(store->current().selection.empty()) << "Escape deselects even with a modifier";
    EXPECT_TRUE(takeCommands().empty()) << "select all and deselect are the list's own";
}

TEST_F(FileTableTest, ListKeysWinOverTheWindowsShortcutsWhileTheListHasFocus) {
    tree.writeFile("a");
    open({tree.root()});
    int menuCopies = 0;
    auto *copyAction = new QAction(window.get());
    copyAction->setShortcut(QKeySequence::Copy);
    window->addAction(copyAction);
    QObject::connect(copyAction, &QAction::triggered, [&] { ++menuCopies; });
    auto *otherAction = new QAction(window.get());
    otherAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    window->addAction(otherAction);
    int others = 0;
    QObject::connect(otherAction, &QAction::triggered, [&] { ++others; });

    key(Qt::Key_C, Qt::ControlModifier);
    key(Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(Commands{ListCommand::copy}, takeCommands());
    EXPECT_EQ(menuCopies, 0);
    EXPECT_EQ(others, 1) << "keys the list does not handle still reach the window";
}

TEST_F(FileTableTest, KeysAnEditorInsideTheListLeavesAloneAreNotListKeys) {
    tree.writeFile("a");
    open({tree.root()});
    click(rowOf("a"));
    auto *editor = new QLineEdit(table->viewport());
    editor->show();
    editor->setFocus();
    ASSERT_TRUE(test::waitUntil([&] { return editor->hasFocus(); }));
    for (int pressed : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_F2, Qt::Key_Delete})
        QTest::keyClick(editor, Qt::Key(pressed));
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(takeCommands().empty());
    EXPECT_EQ(selectedNames(), std::set<std::string>{"a"});
    delete editor;
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
    ASSERT_EQ(all.size(), 14);
    EXPECT_EQ(all.front(), texts.text(TextKey::open));
    EXPECT_FALSE(all.contains(texts.text(TextKey::openInNewTab))) << "only for a single folder";
    EXPECT_EQ(all.back(), texts.text(TextKey::settingsMenu));
    EXPECT_EQ(titles(menu, true), (QStringList{texts.text(TextKey::preview), texts.text(TextKey::selectAll)}))
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

TEST_F(FileTableTest, TypingSelectsByTheNamesFirstLetters) {
    for (const char *name : {"alpha", "Beta", "bravo", "charlie", "\xc3\xa9t\xc3\xa9"})
        tree.writeFile(name);
    open({tree.root()});
    const int interval = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(60000);

    QTest::keyClicks(table, "br");
    EXPECT_EQ(selectedNames(), std::set<std::string>{"bravo"});
    QTest::keyClicks(table, "a");
    EXPECT_EQ(selectedNames(), std::set<std::string>{"bravo"}) << "\"bra\" still names bravo";

    QApplication::setKeyboardInputInterval(0); // every key starts afresh
    QTest::keyClicks(table, "b");
    EXPECT_EQ(selectedNames(), std::set<std::string>{"Beta"})
        << "from the next row on, wrapping, ignoring case";
    QTest::keyClicks(table, "b");
    EXPECT_EQ(selectedNames(), std::set<std::string>{"bravo"}) << "the same letter steps on";
    QTest::keyClicks(table, QString::fromUtf8("\xc3\x89"));
    EXPECT_EQ(selectedNames(), std::set<std::string>{"\xc3\xa9t\xc3\xa9"})
        << "non-ASCII letters ignore case too";
    QTest::keyClicks(table, "z");
    EXPECT_EQ(selectedNames(), std::set<std::string>{"\xc3\xa9t\xc3\xa9"}) << "no match changes nothing";
    QApplication::setKeyboardInputInterval(interval);
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
    ASSERT_TRUE(settled());
    EXPECT_EQ(bar->value(), 0);
    bar->setValue(640);
    store->switchTab(first);
    ASSERT_TRUE(settled());
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

TEST_F(FileTableTest, EachContentRenderShowsTheTabsSelection) {
    const std::string first = tree.makeFolder("first");
    const std::string second = tree.makeFolder("second");
    for (const char *name : {"a", "b", "c", "d"})
        tree.writeFile(std::string("first/") + name);
    open({first, second});
    const Uuid firstTab = store->current().id;
    store->windowsKeys = true;
    click(rowOf("a"));
    click(rowOf("c"), Qt::ControlModifier);
    click(rowOf("d"), Qt::ControlModifier);
    store->switchTab(store->tabs()[1].id);
    ASSERT_TRUE(settled());
    EXPECT_FALSE(table->selectionModel()->hasSelection());
    store->switchTab(firstTab);
    ASSERT_TRUE(settled());
    const auto shownRows = [&] {
        std::set<std::string> names;
        for (const QModelIndex &index : table->selectionModel()->selectedRows())
            names.insert(nameAt(index.row()));
        return names;
    };
    EXPECT_EQ(shownRows(), (std::set<std::string>{"a", "c", "d"}));
    EXPECT_EQ(table->currentIndex().row(), rowOf("a"));

    key(Qt::Key_A, Qt::ControlModifier);
    table->render(Change::content);
    EXPECT_EQ(shownRows(), (std::set<std::string>{"a", "b", "c", "d"}));
    key(Qt::Key_Escape);
    table->render(Change::content);
    EXPECT_FALSE(table->selectionModel()->hasSelection());
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

TEST_F(FileTableTest, SpaceTogglesAPreviewThatFollowsTheSelection) {
    tree.writeFile("a-notes.txt", "first line\nsecond line\n");
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(QString::fromStdString(tree.path("b-picture.png"))));
    tree.writeFile("c-data.bin", std::string("\x00\x01\x02\x03", 4));
    open({tree.root()});

    key(Qt::Key_Space);
    EXPECT_FALSE(table->isPreviewVisible()) << "nothing selected, nothing to show";
    click(rowOf("a-notes.txt"));
    QSignalSpy visibility(table, &FileTable::previewVisibilityChanged);
    key(Qt::Key_Space, Qt::ShiftModifier);
    ASSERT_TRUE(table->isPreviewVisible());
    EXPECT_EQ(visibility.count(), 1);
    QuickLook *preview = table->quickLook();
    ASSERT_TRUE(test::waitUntil([&] { return preview->content() == QuickLook::Content::text; }));
    EXPECT_TRUE(preview->text().startsWith("first line\nsecond line"));
    EXPECT_EQ(QApplication::focusWidget(), table) << "the list keeps the keyboard";

    key(Qt::Key_Down);
    ASSERT_TRUE(test::waitUntil([&] { return preview->content() == QuickLook::Content::image; }));
    EXPECT_EQ(preview->path(), tree.path("b-picture.png"));
    EXPECT_EQ(preview->image().size(), QSize(400, 300));

    key(Qt::Key_Down);
    QSignalSpy loaded(preview, &QuickLook::loaded);
    ASSERT_TRUE(loaded.wait(5000));
    EXPECT_EQ(preview->content(), QuickLook::Content::info) << "other files show their details";
    EXPECT_EQ(preview->windowTitle(), "c-data.bin");

    key(Qt::Key_Space);
    EXPECT_FALSE(table->isPreviewVisible());
    EXPECT_EQ(visibility.count(), 2);
}

TEST_F(FileTableTest, CutItemsAreMarkedUntilTheSetIsReplaced) {
    tree.writeFile("a");
    tree.writeFile("b");
    open({tree.root()});
    QSignalSpy changed(table->model(), &QAbstractItemModel::dataChanged);
    table->setCutPaths({tree.path("a")});
    EXPECT_EQ(changed.count(), 1);
    const QModelIndex a = table->model()->index(rowOf("a"), 0);
    const QModelIndex b = table->model()->index(rowOf("b"), 0);
    EXPECT_TRUE(a.data(FileTableModel::cutRole).toBool());
    EXPECT_FALSE(b.data(FileTableModel::cutRole).toBool());
    EXPECT_TRUE(a.data(Qt::AccessibleTextRole).toString().endsWith(texts.text(TextKey::cutMarked)));
    table->setCutPaths({});
    EXPECT_FALSE(a.data(FileTableModel::cutRole).toBool());
    EXPECT_EQ(changed.count(), 2);
}
