// Drops onto the tabs and the sidebar's rows of the real window, on a real
// store, service and journal over real folders: each lands in the folder of
// the tab or row under the pointer, through the service.
#include "commands/FileClipboard.h"
#include "commands/FileCommandController.h"
#include "commands/FileCommandsBinding.h"
#include "commands/FileDragDrop.h"
#include "sidebar/DirectorySidebar.h"
#include "sidebar/SidebarModel.h"
#include "support/StoreFixture.h"
#include "window/BrowserController.h"
#include "window/TabStrip.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMainWindow>
#include <QTest>

using namespace dromel;
using namespace dromel::test;

namespace {

QModelIndex rowOf(const QAbstractItemModel &model, const std::string &url, const QModelIndex &parent = {}) {
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        if (index.data(SidebarModel::UrlRole).toByteArray().toStdString() == url)
            return index;
        if (QModelIndex inside = rowOf(model, url, index); inside.isValid())
            return inside;
    }
    return {};
}

class DropTargets : public ::testing::Test, protected StoreFixture {
protected:
    DropTargets()
        : home("HOME", tree.makeFolder("home")), config("XDG_CONFIG_HOME", tree.makeFolder("config")),
          data("XDG_DATA_HOME", tree.makeFolder("data")) {
        tree.makeFolder("home/Documents");
        tree.makeFolder("home/work");
        tree.makeFolder("home/work/src");
        tree.makeFolder("home/work/dest");
        tree.writeFile("home/work/src/a.txt", "a");
        tree.writeFile("home/work/src/b.txt", "b");
        tree.writeFile("home/work/src/c.txt", "c");
        tree.writeFile("home/work/src/d.txt", "d");
    }
    ~DropTargets() override {
        window.reset();
        store.reset();
    }

    void open(std::vector<std::string> folders) {
        useEnglish();
        makeStore(std::move(folders));
        window = std::make_unique<QMainWindow>();
        controller = new BrowserController(*store, tree.path("home"), window.get());
        window->setCentralWidget(controller);
        controller->installToolbar(window.get());
        commands = FileCommandsBinding::attach(*controller, *store, tree.path("state/operations.sqlite"));
        window->resize(1200, 780);
        window->show();
        store->startMonitoring();
        store->refresh();
        ASSERT_TRUE(settled());
        ASSERT_TRUE(waitUntil([&] { return commands->ready(); }));
    }
    bool finished(std::size_t tasks) const {
        return waitUntil(
            [&] { return commands->service().tasks().size() == tasks && !commands->service().busy(); },
            std::chrono::seconds(10));
    }
    std::string src(const char *name) const { return tree.path(std::string("home/work/src/") + name); }

    // Drags `paths` over `target` and drops them at `at` with `modifiers`;
    // nothing when the drop was refused.
    static std::optional<Qt::DropAction> drop(QWidget *target, QPoint at,
                                              const std::vector<std::string> &paths,
                                              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        auto data = FileClipboard::encodeFiles(paths, false);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, modifiers);
        QApplication::sendEvent(target, &enter);
        // The pointer rests until the move-or-copy answer is known, as a hand would.
        const auto *dragDrop = target->window()->findChild<FileDragDrop *>();
        EXPECT_TRUE(dragDrop && waitUntil([&] { return dragDrop->hoverSettled(); }));
        QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                           modifiers);
        QApplication::sendEvent(target, &dropped);
        if (!dropped.isAccepted())
            return std::nullopt;
        EXPECT_TRUE(enter.isAccepted());
        return dropped.dropAction();
    }
    QPoint tabCentre(int index) const { return controller->tabStrip()->tabRect(index).center(); }
    QPoint rowCentre(const std::string &url) const {
        DirectorySidebar &sidebar = *controller->directorySidebar();
        const QModelIndex index = rowOf(sidebar.sidebarModel(), url);
        EXPECT_TRUE(index.isValid()) << url;
        sidebar.scrollTo(index);
        return sidebar.visualRect(index).center();
    }

    ScopedEnv home;
    ScopedEnv config;
    ScopedEnv data;
    std::unique_ptr<QMainWindow> window;
    BrowserController *controller = nullptr;
    FileCommandController *commands = nullptr;
};

TEST_F(DropTargets, ADropOnATabLandsInTheFolderItShows) {
    open({tree.path("home/work/src"), tree.path("home/work/dest")});
    store->switchTab(store->tabs().front().id);
    ASSERT_TRUE(settled());
    TabStrip *tabs = controller->tabStrip();
    ASSERT_EQ(tabs->count(), 2);

    // Within one volume a plain drop moves; the shown tab does not change.
    EXPECT_EQ(drop(tabs, tabCentre(1), {src("a.txt"), src("b.txt")}), Qt::MoveAction);
    ASSERT_TRUE(finished(1));
    EXPECT_TRUE(exists(tree.path("home/work/dest/a.txt")));
    EXPECT_TRUE(exists(tree.path("home/work/dest/b.txt")));
    EXPECT_FALSE(exists(src("a.txt")));
    EXPECT_EQ(store->current().url(), tree.path("home/work/src"));
    EXPECT_EQ(commands->service().tasks().front().request.kind(), FileOperationKind::move);

    // Beside the tabs there is no folder to drop into.
    EXPECT_EQ(drop(tabs, QPoint(tabs->width() - 2, tabs->height() / 2), {src("c.txt")}), std::nullopt);
    // Moving items onto the tab of their own folder changes nothing.
    EXPECT_EQ(drop(tabs, tabCentre(0), {src("c.txt")}), Qt::MoveAction);
    // Ctrl forces a copy.
    EXPECT_EQ(drop(tabs, tabCentre(1), {src("d.txt")}, Qt::ControlModifier), Qt::CopyAction);
    ASSERT_TRUE(finished(2));
    EXPECT_EQ(tree.readFile("home/work/dest/d.txt"), "d");
    EXPECT_TRUE(exists(src("d.txt")));
    EXPECT_TRUE(exists(src("c.txt")));
}

TEST_F(DropTargets, ADropOnASidebarRowLandsInItsFolder) {
    open({tree.path("home/work/src")});
    DirectorySidebar &sidebar = *controller->directorySidebar();
    // The tree reveals the shown folder, so its sibling's row is on screen.
    ASSERT_TRUE(
        waitUntil([&] { return rowOf(sidebar.sidebarModel(), tree.path("home/work/dest")).isValid(); }));
    QWidget *rows = sidebar.viewport();

    EXPECT_EQ(drop(rows, rowCentre(tree.path("home/work/dest")), {src("a.txt")}), Qt::MoveAction);
    ASSERT_TRUE(finished(1));
    EXPECT_TRUE(exists(tree.path("home/work/dest/a.txt")));
    EXPECT_FALSE(exists(src("a.txt")));

    // A favourite takes drops too; Ctrl copies.
    const QModelIndex favourites = sidebar.sidebarModel().index(0, 0);
    const QModelIndex documents = rowOf(sidebar.sidebarModel(), tree.path("home/Documents"), favourites);
    ASSERT_TRUE(documents.isValid());
    EXPECT_EQ(drop(rows, sidebar.visualRect(documents).center(), {src("b.txt")}, Qt::ControlModifier),
              Qt::CopyAction);
    ASSERT_TRUE(finished(2));
    EXPECT_EQ(tree.readFile("home/Documents/b.txt"), "b");
    EXPECT_TRUE(exists(src("b.txt")));

    // Section headers are not folders.
    EXPECT_EQ(drop(rows, sidebar.visualRect(favourites).center(), {src("c.txt")}), std::nullopt);
    EXPECT_TRUE(exists(src("c.txt")));
    EXPECT_EQ(commands->service().tasks().size(), 2u);
}

TEST_F(DropTargets, ADropOnAnotherVolumeCopiesUnlessShiftIsHeld) {
    if (!canMountTmpfs())
        GTEST_SKIP() << "no tmpfs mounts here: a second volume is needed";
    const std::string volume = tree.makeFolder("volume");
    ScopedTmpfs mount(volume, 8 << 20);
    ASSERT_TRUE(mount.mounted());
    open({tree.path("home/work/src"), volume});
    store->switchTab(store->tabs().front().id);
    ASSERT_TRUE(settled());

    EXPECT_EQ(drop(controller->tabStrip(), tabCentre(1), {src("a.txt")}), Qt::CopyAction);
    ASSERT_TRUE(finished(1));
    EXPECT_EQ(tree.readFile("volume/a.txt"), "a");
    EXPECT_TRUE(exists(src("a.txt")));

    EXPECT_EQ(drop(controller->tabStrip(), tabCentre(1), {src("b.txt")}, Qt::ShiftModifier), Qt::MoveAction);
    ASSERT_TRUE(finished(2));
    EXPECT_EQ(tree.readFile("volume/b.txt"), "b");
    EXPECT_FALSE(exists(src("b.txt")));
    commands = nullptr;
    window.reset();
    store.reset();
    mount.unmount();
}

} // namespace
