// The browser window on a real store over real folders, with the file commands
// attached as the application does it, driven with QTest input.
#include "window/BrowserController.h"

#include "browser/SessionStore.h"
#include "commands/FileClipboard.h"
#include "commands/FileCommandController.h"
#include "commands/FileCommandsBinding.h"
#include "commands/FileDragDrop.h"
#include "commands/InlineRename.h"
#include "desktop/DesktopActions.h"
#include "look/ThumbnailLoader.h"
#include "support/StoreFixture.h"
#include "table/FileIconView.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"
#include "window/PathBar.h"
#include "window/TabStrip.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <functional>

using namespace dromel;
using namespace dromel::test;

namespace {

class BrowserWindow : public ::testing::Test, protected StoreFixture {
protected:
    explicit BrowserWindow(AppLanguage language = AppLanguage::english)
        : home("HOME", tree.makeFolder("home")) {
        Localization::setCurrent(Localization(
            language, {}, QLocale(language == AppLanguage::english ? QLocale::English : QLocale::Chinese)));
        tree.makeFolder("Downloads/gamma");
        tree.writeFile("Downloads/alpha.txt", "a");
        tree.writeFile("Downloads/beta.txt", "b");
        tree.writeFile("Downloads/.secret", "s");
        tree.makeFolder("home/inside");
        makeStore({tree.path("Downloads")});
        window = std::make_unique<QMainWindow>();
        controller = new BrowserController(*store, tree.root(), window.get());
        window->setCentralWidget(controller);
        controller->installToolbar(window.get());
        commands = FileCommandsBinding::attach(*controller, *store, tree.path("state/operations.sqlite"));
        window->resize(1200, 780);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        store->startMonitoring();
        store->refresh();
        settle();
        EXPECT_TRUE(waitUntil([&] { return commands->ready(); }));
    }
    ~BrowserWindow() override {
        window.reset();
        store.reset();
        useEnglish();
    }

    void settle() { EXPECT_TRUE(settled()); }
    QWidget *list() const { return controller->table(); }
    bool finished(std::size_t tasks) const {
        return waitUntil(
            [&] { return commands->service().tasks().size() == tasks && !commands->service().busy(); },
            std::chrono::seconds(10));
    }
    // Drags `paths` over the list and drops them on `row` with `modifiers`.
    Qt::DropAction dropOnRow(const std::vector<std::string> &paths, int row,
                             Qt::KeyboardModifiers modifiers) {
        FileTable &table = *controller->table();
        return dropAt(table, paths, table.visualRect(table.fileModel().index(row, 0)).center(), modifiers);
    }
    Qt::DropAction dropAt(QAbstractItemView &view, const std::vector<std::string> &paths, QPoint at,
                          Qt::KeyboardModifiers modifiers) {
        auto data = FileClipboard::encodeFiles(paths, false);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, modifiers);
        QApplication::sendEvent(view.viewport(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        const auto *dragDrop = controller->table()->findChild<FileDragDrop *>();
        EXPECT_TRUE(dragDrop && waitUntil([&] { return dragDrop->hoverSettled(); }));
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, modifiers);
        QApplication::sendEvent(view.viewport(), &drop);
        EXPECT_TRUE(drop.isAccepted());
        return drop.dropAction();
    }

    // At 800 px with four tabs every toolbar item keeps its place (none drops into
    // the overflow menu) and every tab its close button; a failed task, which the
    // operations button then tells of, moves nothing.
    void expectToolbarFitsAt800() {
        store->addTab(tree.path("home"));
        store->addTab(tree.path("home/inside"));
        store->addTab(tree.path("Downloads"));
        window->resize(800, 672);
        QToolBar &bar = *controller->toolbar();
        ASSERT_TRUE(waitUntil([&] { return window->width() == 800 && bar.width() <= 800; }));
        const auto layoutNow = [&] {
            QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QApplication::processEvents();
        };
        layoutNow();
        auto *overflow = bar.findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"));
        const auto expectAllShown = [&] {
            EXPECT_TRUE(!overflow || !overflow->isVisible()) << "an item went to the overflow menu";
            for (QAction *action : bar.actions())
                if (QWidget *item = bar.widgetForAction(action)) {
                    EXPECT_TRUE(item->isVisible()) << item->metaObject()->className();
                    EXPECT_TRUE(bar.rect().contains(item->geometry())) << item->metaObject()->className();
                }
            TabStrip &tabs = *controller->tabStrip();
            ASSERT_EQ(tabs.count(), 4);
            for (int index = 0; index < tabs.count(); ++index) {
                EXPECT_TRUE(tabs.closeButton(index) && tabs.closeButton(index)->isVisible()) << index;
                EXPECT_TRUE(tabs.rect().contains(tabs.tabRect(index))) << index;
            }
        };
        expectAllShown();
        OperationsButton &button = *commands->button();
        EXPECT_TRUE(button.isVisible());
        const QRect before = button.geometry();

        // A folder pasted into itself fails.
        ASSERT_TRUE(visit(tree.path("Downloads")));
        select({"gamma"});
        commands->copy();
        ASSERT_TRUE(visit(tree.path("Downloads/gamma")));
        commands->paste();
        ASSERT_TRUE(waitUntil([&] { return button.badge() == OperationsButton::Badge::failed; },
                              std::chrono::seconds(10)));
        layoutNow();
        EXPECT_EQ(button.geometry(), before) << button.toolTip().toStdString();
        expectAllShown();
    }

    ScopedEnv home;
    ScopedEnv dataHome{"XDG_DATA_HOME", tree.makeFolder("data")};
    ScopedEnv stateHome{"XDG_STATE_HOME", tree.makeFolder("state")};
    std::unique_ptr<QMainWindow> window;
    BrowserController *controller = nullptr;
    FileCommandController *commands = nullptr;
};

TEST_F(BrowserWindow, TypedPathsNavigateOrShowTheirError) {
    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
    PathBar *path = controller->pathBar();
    ASSERT_TRUE(path->isEditing());
    EXPECT_EQ(path->input()->text(), QString::fromStdString(tree.path("Downloads")));
    EXPECT_EQ(path->input()->selectedText(), path->input()->text());

    path->input()->setText("not/absolute");
    QTest::keyClick(path->input(), Qt::Key_Return);
    EXPECT_FALSE(path->isEditing());
    ASSERT_TRUE(controller->errorRow()->isVisible());
    EXPECT_EQ(controller->errorLabel()->text(), text(TextKey::invalidPath));
    EXPECT_EQ(store->current().url(), tree.path("Downloads"));

    controller->editPath();
    path->input()->setText("~/inside/../inside");
    QTest::keyClick(path->input(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return store->current().url() == tree.path("home/inside"); }));
    EXPECT_FALSE(controller->errorRow()->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("inside \u2014 Dromel"));

    controller->editPath();
    QTest::keyClick(path->input(), Qt::Key_Escape);
    EXPECT_FALSE(path->isEditing());

    store->navigate(tree.path("missing"), BrowserStore::Navigation::visit);
    ASSERT_TRUE(waitUntil([&] { return controller->errorRow()->isVisible(); }));
    EXPECT_TRUE(controller->errorLabel()->text().contains(QString::fromStdString(tree.path("missing"))));
    controller->dismissError();
    EXPECT_FALSE(controller->errorRow()->isVisible());
}

TEST_F(BrowserWindow, ChromeNoticesLeaveTheListAlone) {
    for (int index = 0; index < 300; ++index)
        tree.writeFile("Downloads/file-" + std::to_string(1000 + index), "x");
    store->refresh();
    settle();
    auto *view = qobject_cast<QAbstractItemView *>(list());
    ASSERT_NE(view, nullptr);
    const int rows = view->model()->rowCount();
    ASSERT_EQ(rows, 303);
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
    const int offset = view->verticalScrollBar()->value();
    ASSERT_GT(offset, 0);

    // The start of a read is a chrome notice: rows and scroll position stay.
    store->refresh();
    ASSERT_TRUE(store->current().loading);
    EXPECT_EQ(view->model()->rowCount(), rows);
    EXPECT_EQ(view->verticalScrollBar()->value(), offset);
    EXPECT_TRUE(controller->busyIndicator()->isVisible());
    settle();
    EXPECT_EQ(view->verticalScrollBar()->value(), offset);
}

TEST_F(BrowserWindow, DraggingATabMovesItInTheStore) {
    store->addTab(tree.path("home"));
    store->addTab(tree.path("home/inside"));
    settle();
    TabStrip *strip = controller->tabStrip();
    ASSERT_EQ(strip->count(), 3);
    ASSERT_TRUE(strip->isMovable());
    const Uuid first = store->tabs()[0].id;

    // A real drag of the first tab past the last one's middle.
    const QPoint start = strip->tabRect(0).center();
    const QPoint end = strip->tabRect(2).center() + QPoint(strip->tabRect(2).width() / 3, 0);
    QTest::mousePress(strip, Qt::LeftButton, {}, start);
    for (int step = 1; step <= 10; ++step)
        QTest::mouseMove(strip, start + (end - start) * step / 10);
    QTest::mouseRelease(strip, Qt::LeftButton, {}, end);

    ASSERT_TRUE(waitUntil([&] { return store->tabs()[2].id == first; }));
    std::vector<std::string> folders;
    for (const BrowserTab &tab : store->tabs())
        folders.push_back(tab.url());
    EXPECT_EQ(folders, (std::vector<std::string>{tree.path("home"), tree.path("home/inside"),
                                                 tree.path("Downloads")}));
    EXPECT_EQ(store->session().paths(), folders) << "the saved session keeps the new order";
    EXPECT_EQ(store->activeID(), first) << "pressing a tab to drag it shows it";
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Downloads \u2014 Dromel"));
    ASSERT_TRUE(
        waitUntil([&] { return strip->tabToolTip(2) == QString::fromStdString(tree.path("Downloads")); }));
    for (int index = 0; index < 3; ++index)
        EXPECT_EQ(strip->idAt(index), store->tabs()[static_cast<std::size_t>(index)].id);
    EXPECT_EQ(strip->currentIndex(), 2);

    // Later clicks name the tab now at that place.
    QTest::mouseClick(strip, Qt::LeftButton, {}, strip->tabRect(0).center());
    ASSERT_TRUE(waitUntil([&] { return store->current().url() == tree.path("home"); }));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("home \u2014 Dromel"));
}

TEST_F(BrowserWindow, DropOfTwoFilesOntoAFolderRow) {
    FileTable &table = *controller->table();
    ASSERT_EQ(table.fileModel().entryAt(0)->name(), "gamma");
    // Within one volume a plain drop moves.
    EXPECT_EQ(
        dropOnRow({tree.path("Downloads/alpha.txt"), tree.path("Downloads/beta.txt")}, 0, Qt::NoModifier),
        Qt::MoveAction);
    ASSERT_TRUE(finished(1));
    const FileOperationTask &task = commands->service().tasks().front();
    EXPECT_EQ(task.request.kind(), FileOperationKind::move);
    EXPECT_EQ(task.request.destination(), tree.path("Downloads/gamma"));
    EXPECT_EQ(task.request.sourceVersions().size(), 2u);
    EXPECT_EQ(task.phase, OperationPhase::completed);
    EXPECT_TRUE(exists(tree.path("Downloads/gamma/alpha.txt")));
    EXPECT_TRUE(exists(tree.path("Downloads/gamma/beta.txt")));
    ASSERT_TRUE(waitUntil([&] { return table.fileModel().rowCount() == 1; }));

    // Ctrl forces a copy; a drop on a file row lands in the shown folder.
    const std::string other = tree.writeFile("three.txt", "3");
    ASSERT_TRUE(visit(tree.path("Downloads/gamma")));
    ASSERT_TRUE(waitUntil([&] { return table.fileModel().rowCount() == 2; }));
    EXPECT_EQ(dropOnRow({other}, 0, Qt::ControlModifier), Qt::CopyAction);
    ASSERT_TRUE(finished(2));
    EXPECT_EQ(commands->service().tasks().front().request.destination(), tree.path("Downloads/gamma"));
    EXPECT_TRUE(exists(other));
    EXPECT_TRUE(exists(tree.path("Downloads/gamma/three.txt")));
}

TEST_F(BrowserWindow, TheIconViewTakesDropsOnFoldersAndEmptySpace) {
    QTest::keyClick(list(), Qt::Key_2, Qt::ControlModifier);
    FileIconView &icons = *controller->iconView();
    ASSERT_TRUE(icons.isVisible());
    const FileTableModel &rows = controller->table()->fileModel();
    ASSERT_EQ(rows.entryAt(0)->name(), "gamma");

    // A drag out takes the whole selection, as from the list: the press on
    // one of two selected icons does not narrow it.
    icons.selectionModel()->select(
        QItemSelection(rows.index(1, 0), rows.index(2, FileTableModel::kColumns - 1)),
        QItemSelectionModel::ClearAndSelect);
    ASSERT_EQ(selectedNames(), (std::set<std::string>{"alpha.txt", "beta.txt"}));
    const QPoint alpha = icons.visualRect(rows.index(1, FileTableModel::nameColumn)).center();
    QTest::mousePress(icons.viewport(), Qt::LeftButton, {}, alpha);
    QMouseEvent move(QEvent::MouseMove, QPointF(alpha + QPoint(40, 0)),
                     QPointF(icons.viewport()->mapToGlobal(alpha + QPoint(40, 0))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(icons.viewport(), &move);
    EXPECT_EQ(selectedNames(), (std::set<std::string>{"alpha.txt", "beta.txt"}));
    // The drag consumed the release; let the view hear one where nothing is.
    QTest::mouseRelease(icons.viewport(), Qt::LeftButton, {}, QPoint(2, icons.viewport()->height() - 2));

    const QPoint folderIcon = icons.visualRect(rows.index(0, FileTableModel::nameColumn)).center();
    EXPECT_EQ(dropAt(icons, {tree.path("Downloads/alpha.txt")}, folderIcon, Qt::NoModifier), Qt::MoveAction);
    ASSERT_TRUE(finished(1));
    EXPECT_EQ(commands->service().tasks().front().request.destination(), tree.path("Downloads/gamma"));
    EXPECT_TRUE(exists(tree.path("Downloads/gamma/alpha.txt")));

    // Below the last icon: the shown folder; Ctrl copies.
    const std::string outside = tree.writeFile("three.txt", "3");
    const QPoint empty(icons.viewport()->width() / 2, icons.viewport()->height() - 4);
    ASSERT_FALSE(icons.indexAt(empty).isValid());
    EXPECT_EQ(dropAt(icons, {outside}, empty, Qt::ControlModifier), Qt::CopyAction);
    ASSERT_TRUE(finished(2));
    EXPECT_EQ(commands->service().tasks().front().request.kind(), FileOperationKind::copy);
    EXPECT_TRUE(exists(tree.path("Downloads/three.txt")));
    EXPECT_TRUE(exists(outside));
}

// The editor shows bytes that are not UTF-8 as U+FFFD; Return without an
// edit must not write those characters back as the name.
TEST_F(BrowserWindow, RenameKeepsTheBytesItCannotShow) {
    const std::string latin1 = "caf\xE9.txt";
    tree.writeFile("Downloads/" + latin1, "x");
    ASSERT_TRUE(waitUntil([&] { return controller->table()->fileModel().rowCount() == 4; }));
    // The open editor (a closed one lingers until the event loop deletes it).
    auto openEditor = [&]() -> QLineEdit * {
        for (InlineRename *editor : controller->table()->viewport()->findChildren<InlineRename *>())
            if (editor->isVisible())
                return editor;
        return nullptr;
    };
    auto edit = [&](const std::function<void(QLineEdit &)> &typing) {
        select({latin1});
        QTest::keyClick(list(), Qt::Key_F2);
        ASSERT_TRUE(waitUntil([&] { return openEditor() != nullptr; }));
        QLineEdit *editor = openEditor();
        typing(*editor);
        QTest::keyClick(editor, Qt::Key_Return);
    };
    edit([](QLineEdit &) {});
    // An edit at the start keeps the bytes after it.
    edit([](QLineEdit &editor) {
        QTest::keyClick(&editor, Qt::Key_Home);
        QTest::keyClicks(&editor, "new-");
    });
    ASSERT_TRUE(finished(1)) << "the unchanged name made a task";
    EXPECT_EQ(commands->service().tasks().front().phase, OperationPhase::completed);
    EXPECT_TRUE(exists(tree.path("Downloads/new-" + latin1)));

    // Typing the replacement character itself cannot name the lost bytes.
    const std::string renamed = "new-" + latin1;
    ASSERT_TRUE(shows({"gamma", "alpha.txt", "beta.txt", renamed}));
    select({renamed});
    QTest::keyClick(list(), Qt::Key_F2);
    ASSERT_TRUE(waitUntil([&] { return openEditor() != nullptr; }));
    QLineEdit *editor = openEditor();
    editor->setText(QStringLiteral("\uFFFDx.txt"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(controller->errorRow()->isVisible());
    EXPECT_EQ(controller->errorLabel()->text(), text(TextKey::nameUndisplayable));
    EXPECT_EQ(commands->service().tasks().size(), 1u);
}

class BrowserWindowInChinese : public BrowserWindow {
protected:
    BrowserWindowInChinese() : BrowserWindow(AppLanguage::simplifiedChinese) {}
};

} // namespace

TEST_F(BrowserWindow, AtEightHundredPixelsTheToolbarFits) {
    expectToolbarFitsAt800();
}

TEST_F(BrowserWindowInChinese, AtEightHundredPixelsTheToolbarFits) {
    expectToolbarFitsAt800();
}

TEST_F(BrowserWindow, TabsGetTheirRowWithTwoAndAClosedTabComesBack) {
    EXPECT_FALSE(controller->tabRow()->isVisible()) << "one tab: the path bar has the toolbar alone";
    store->addTab(tree.path("home"));
    EXPECT_TRUE(controller->tabRow()->isVisible());
    settle();
    ASSERT_TRUE(visit(tree.path("home/inside")));
    const Uuid second = store->activeID();
    QTest::keyClick(list(), Qt::Key_W, Qt::ControlModifier);
    ASSERT_EQ(store->tabs().size(), 1u);
    EXPECT_FALSE(controller->tabRow()->isVisible());
    QTest::keyClick(list(), Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(store->tabs().size(), 2u);
    EXPECT_EQ(store->current().url(), tree.path("home/inside")) << "Ctrl+Shift+T reopens the closed tab";
    EXPECT_NE(store->activeID(), second);
    ASSERT_TRUE(controller->actions().back->isEnabled()) << "with its history";
    settle();
    QTest::keyClick(list(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(waitUntil([&] { return store->current().url() == tree.path("home"); }));
    EXPECT_FALSE(controller->actions().reopenTab->isEnabled()) << "nothing more to reopen";
}

TEST_F(BrowserWindow, TheIconViewSharesTheListsRowsSelectionAndKeys) {
    FileTable &table = *controller->table();
    QTest::keyClick(list(), Qt::Key_2, Qt::ControlModifier);
    FileIconView *icons = controller->iconView();
    ASSERT_TRUE(icons->isVisible());
    EXPECT_FALSE(table.isVisible());
    EXPECT_EQ(icons->model()->rowCount(), table.model()->rowCount());
    icons->setFocus();
    QTest::keyClick(icons, Qt::Key_End);
    EXPECT_EQ(selectedNames(), std::set<std::string>{"beta.txt"})
        << "the same keys, the same store selection";
    QTest::keyClicks(icons, "al");
    EXPECT_EQ(selectedNames(), std::set<std::string>{"alpha.txt"}) << "type-ahead";
    const int zoom = icons->zoom();
    QTest::keyClick(icons, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_GT(icons->zoom(), zoom);
    store->filter("beta");
    EXPECT_TRUE(waitUntil([&] { return icons->model()->rowCount() == 1; })) << "the filter applies to both";
    store->filter("");

    store->addTab(tree.path("home"));
    EXPECT_TRUE(table.isVisible()) << "the view is chosen per tab";
    store->switchTab(store->tabs().front().id);
    EXPECT_TRUE(icons->isVisible());
    QTest::keyClick(icons, Qt::Key_1, Qt::ControlModifier);
    EXPECT_TRUE(table.isVisible());

    // The toolbar's button switches both ways.
    QToolButton *toggle = nullptr;
    for (QToolButton *button : controller->toolbar()->findChildren<QToolButton *>())
        if (button->defaultAction() && button->defaultAction()->text() == text(TextKey::viewAsIcons))
            toggle = button;
    ASSERT_NE(toggle, nullptr);
    toggle->click();
    EXPECT_TRUE(icons->isVisible());
    EXPECT_TRUE(toggle->isChecked());
    toggle->click();
    EXPECT_TRUE(table.isVisible());
    EXPECT_FALSE(toggle->isChecked());
}

TEST_F(BrowserWindow, EachTabsViewAndZoomComeBackFromTheSessionFile) {
    QTest::keyClick(list(), Qt::Key_2, Qt::ControlModifier);
    controller->iconView()->setFocus();
    QTest::keyClick(controller->iconView(), Qt::Key_Plus, Qt::ControlModifier);
    const int zoom = controller->iconView()->zoom();
    EXPECT_NE(zoom, FileIconView::kDefaultIcon);
    EXPECT_EQ(controller->iconThumbnails().side(), 128);
    controller->iconView()->setZoom(FileIconView::kLargestIcon);
    EXPECT_EQ(controller->iconThumbnails().side(), 256) << "the thumbnails follow the zoom";
    controller->iconView()->setZoom(zoom);
    store->addTab(tree.path("home"));
    settle();
    const SessionStore file(tree.path("state/session.json"));
    file.save(store->session());

    const std::optional<BrowserSession> saved = file.load();
    ASSERT_TRUE(saved.has_value());
    BrowserStore restored(*saved, reader, orderer);
    QMainWindow again;
    auto *view = new BrowserController(restored, tree.root(), &again);
    again.setCentralWidget(view);
    again.resize(900, 600);
    again.show();
    restored.refresh();
    EXPECT_TRUE(view->table()->isVisible()) << "the active tab showed the list";
    EXPECT_FALSE(view->actions().viewAsIcons->isChecked());
    restored.switchTab(restored.tabs().front().id);
    EXPECT_TRUE(view->iconView()->isVisible());
    EXPECT_FALSE(view->table()->isVisible());
    EXPECT_TRUE(view->actions().viewAsIcons->isChecked());
    EXPECT_EQ(view->iconView()->zoom(), zoom);
    restored.switchTab(restored.tabs().back().id);
    EXPECT_EQ(view->iconView()->zoom(), FileIconView::kDefaultIcon) << "the zoom is the tab's own";
    EXPECT_EQ(restored.current().iconZoom, 0) << "switching does not write the default into the tab";
    EXPECT_TRUE(waitUntil([&] { return !restored.current().loading; }, std::chrono::seconds(10)));
}
