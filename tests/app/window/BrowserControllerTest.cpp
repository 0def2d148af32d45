// The browser window on a real store over real folders, driven with QTest input.
#include "window/BrowserController.h"

#include "browser/BrowserStore.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "presentation/Localization.h"
#include "shell/DesktopActions.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"
#include "window/PathBar.h"
#include "window/TabStrip.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <map>

using namespace dromel;
using namespace std::chrono_literals;
using dromel::test::ScopedEnv;
using dromel::test::spinFor;
using dromel::test::TempTree;
using dromel::test::waitUntil;

namespace {

QString texts(TextKey key) {
    return Localization::current().text(key);
}

class BrowserWindow : public ::testing::Test {
protected:
    BrowserWindow() : home("HOME", tree.makeFolder("home")) {
        tree.makeFolder("Downloads");
        tree.writeFile("Downloads/alpha.txt", "a");
        tree.writeFile("Downloads/beta.txt", "b");
        tree.makeFolder("Downloads/gamma");
        tree.writeFile("Downloads/.secret", "s");
        tree.makeFolder("home/inside");
        store = std::make_unique<BrowserStore>(std::vector{tree.path("Downloads")}, 0, reader, orderer);
        window = std::make_unique<QMainWindow>();
        controller = new BrowserController(*store, tree.root(), window.get());
        window->setCentralWidget(controller);
        controller->installToolbar(window.get());
        window->resize(1200, 780);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        store->refresh();
        settle();
    }

    ~BrowserWindow() override {
        window.reset();
        store.reset();
    }

    void settle() {
        EXPECT_TRUE(waitUntil([&] { return !store->current().loading && !store->current().arranging; }, 10s));
    }

    void navigate(const std::string &folder) {
        store->navigate(folder, BrowserStore::Navigation::visit);
        EXPECT_TRUE(
            waitUntil([&] { return store->current().url() == folder && !store->current().loading; }, 10s));
    }

    QWidget *list() const { return controller->table(); }

    TempTree tree;
    ScopedEnv home;
    LocalDirectoryReader reader;
    ListingOrderer orderer;
    std::unique_ptr<BrowserStore> store;
    std::unique_ptr<QMainWindow> window;
    BrowserController *controller = nullptr;
};

TEST_F(BrowserWindow, RendersTitleStatusTabsAndPath) {
    const Localization localization = Localization::current();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Downloads \u2014 Dromel"));
    EXPECT_EQ(controller->statusLabel()->text(), localization.count(TextKey::items, 3));
    EXPECT_FALSE(controller->busyIndicator()->isVisible());
    EXPECT_FALSE(controller->errorRow()->isVisible());
    EXPECT_FALSE(controller->emptyLabel()->isVisible());

    TabStrip *tabs = controller->tabStrip();
    ASSERT_EQ(tabs->count(), 1);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Downloads"));
    EXPECT_EQ(tabs->tabToolTip(0), QString::fromStdString(tree.path("Downloads")));
    ASSERT_NE(tabs->closeButton(0), nullptr);
    EXPECT_EQ(tabs->closeButton(0)->toolTip(), localization.format(TextKey::closeNamedTab, "Downloads"));

    const auto &crumbs = controller->pathBar()->crumbs();
    ASSERT_GE(crumbs.size(), 2u);
    EXPECT_EQ(crumbs.front()->text(), QStringLiteral("/"));
    EXPECT_EQ(crumbs.back()->text(), QStringLiteral("Downloads"));
    EXPECT_TRUE(crumbs.back()->isVisible()) << "the current folder always shows";

    const int sidebar = controller->splitter()->sizes().at(0);
    EXPECT_GE(sidebar, 190);
    EXPECT_LE(sidebar, 300);
    EXPECT_FALSE(controller->actions().back->isEnabled());
    EXPECT_TRUE(controller->actions().up->isEnabled());
    EXPECT_FALSE(controller->actions().rename->isEnabled()) << "file commands are not there yet";
}

TEST_F(BrowserWindow, FilterAndSelectionShowInTheStatusLine) {
    const Localization localization = Localization::current();
    QTest::keyClicks(controller->filterField(), "alp");
    ASSERT_TRUE(waitUntil([&] { return store->current().visibleEntries().size() == 1; }));
    EXPECT_EQ(store->current().filter(), "alp");
    const QString filtered =
        localization.format(TextKey::statusFiltered, localization.count(TextKey::items, 1),
                            localization.count(TextKey::items, 3));
    EXPECT_EQ(controller->statusLabel()->text(), filtered);

    store->select({store->current().visibleEntries()[0].id()});
    EXPECT_EQ(
        controller->statusLabel()->text(),
        localization.format(TextKey::statusSelection, filtered, localization.count(TextKey::selected, 1)));

    QTest::keyClicks(controller->filterField(), "zzz");
    ASSERT_TRUE(waitUntil([&] { return store->current().visibleEntries().empty(); }));
    EXPECT_TRUE(controller->emptyLabel()->isVisible());
    EXPECT_EQ(controller->emptyLabel()->text(), texts(TextKey::noMatches));
}

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
    EXPECT_EQ(controller->errorLabel()->text(), texts(TextKey::invalidPath));
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

TEST_F(BrowserWindow, BreadcrumbButtonsNavigate) {
    const auto &crumbs = controller->pathBar()->crumbs();
    QToolButton *parent = crumbs[crumbs.size() - 2];
    ASSERT_TRUE(parent->isVisible());
    QTest::mouseClick(parent, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return store->current().url() == tree.root(); }));
    EXPECT_TRUE(controller->actions().back->isEnabled());
}

TEST_F(BrowserWindow, TabKeysAndClicks) {
    QTest::keyClick(window.get(), Qt::Key_T, Qt::ControlModifier);
    ASSERT_EQ(store->tabs().size(), 2u);
    EXPECT_EQ(controller->tabStrip()->count(), 2);
    EXPECT_EQ(controller->tabStrip()->currentIndex(), 1);
    settle();

    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(store->activeID(), store->tabs()[0].id);
    QTest::keyClick(list(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(store->activeID(), store->tabs()[1].id);
    QTest::keyClick(list(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(store->activeID(), store->tabs()[0].id);

    controller->tabStrip()->setCurrentIndex(1);
    EXPECT_EQ(store->activeID(), store->tabs()[1].id) << "a click on a tab switches to it";

    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    ASSERT_EQ(store->tabs().size(), 1u);
    EXPECT_EQ(controller->tabStrip()->count(), 1);

    store->addTab(tree.path("home"));
    ASSERT_EQ(controller->tabStrip()->count(), 2);
    const QRect second = controller->tabStrip()->tabRect(1);
    QTest::mouseClick(controller->tabStrip(), Qt::MiddleButton, {}, second.center());
    EXPECT_EQ(store->tabs().size(), 1u) << "a middle click closes the tab";

    store->addTab(tree.path("home"));
    ASSERT_EQ(controller->tabStrip()->count(), 2);
    QTest::mouseClick(controller->tabStrip()->closeButton(0), Qt::LeftButton);
    ASSERT_EQ(store->tabs().size(), 1u) << "the close button closes its own tab";
    EXPECT_EQ(store->current().url(), tree.path("home"));
}

TEST_F(BrowserWindow, NavigationKeys) {
    navigate(tree.path("Downloads/gamma"));
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(waitUntil([&] { return store->current().url() == tree.path("Downloads"); }));
    QTest::keyClick(list(), Qt::Key_Right, Qt::AltModifier);
    ASSERT_TRUE(waitUntil([&] { return store->current().url() == tree.path("Downloads/gamma"); }));
    settle();
    QTest::keyClick(list(), Qt::Key_Up, Qt::AltModifier);
    ASSERT_TRUE(waitUntil([&] { return store->current().url() == tree.path("Downloads"); }));
    settle();

    // Backspace goes up from the list but edits text in a field.
    controller->filterField()->setFocus();
    QTest::keyClick(controller->filterField(), Qt::Key_Backspace);
    spinFor(100ms);
    EXPECT_EQ(store->current().url(), tree.path("Downloads"));
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Backspace);
    ASSERT_TRUE(waitUntil([&] { return store->current().url() == tree.root(); }));
}

TEST_F(BrowserWindow, HiddenItemsAndRefreshKeys) {
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(store->showHidden());
    ASSERT_TRUE(waitUntil([&] { return store->current().visibleEntries().size() == 4; }));
    QTest::keyClick(list(), Qt::Key_Period, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(store->showHidden());
    settle();

    // F5 refreshes only with Windows-style keys.
    tree.writeFile("Downloads/delta.txt", "d");
    store->windowsKeys = false;
    QTest::keyClick(list(), Qt::Key_F5);
    spinFor(200ms);
    EXPECT_EQ(store->current().entries().size(), 3u);
    store->windowsKeys = true;
    QTest::keyClick(list(), Qt::Key_F5);
    EXPECT_TRUE(waitUntil([&] { return store->current().entries().size() == 4; }));
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

TEST_F(BrowserWindow, SwitchingTabsRestoresScrollAndSelection) {
    for (int index = 0; index < 300; ++index)
        tree.writeFile("Downloads/file-" + std::to_string(1000 + index), "x");
    store->refresh();
    settle();
    auto *view = qobject_cast<QAbstractItemView *>(list());
    ASSERT_NE(view, nullptr);
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 3);
    const int offset = view->verticalScrollBar()->value();
    const std::string chosen = store->current().visibleEntries()[40].id();
    view->selectionModel()->select(view->model()->index(40, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(store->current().selection, std::set<std::string>{chosen});

    store->addTab(tree.path("home"));
    settle();
    EXPECT_TRUE(view->selectionModel()->selectedRows().isEmpty());
    store->switchTab(store->tabs()[0].id);
    settle();
    EXPECT_EQ(view->verticalScrollBar()->value(), offset);
    ASSERT_EQ(view->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(view->selectionModel()->selectedRows()[0].row(), 40);
}

TEST_F(BrowserWindow, ContextMenuOffersOnlyWhatCanRun) {
    const auto itemsOf = [](QMenu *menu) {
        std::map<QString, bool> enabled;
        for (QAction *action : menu->actions())
            if (!action->isSeparator())
                enabled[action->text()] = action->isEnabled();
        delete menu;
        return enabled;
    };
    FileTable *table = controller->table();
    int folderRow = -1;
    for (int row = 0; row < table->fileModel().rowCount(); ++row)
        if (table->fileModel().entryAt(row)->isNavigable())
            folderRow = row;
    ASSERT_GE(folderRow, 0);
    table->selectionModel()->select(table->fileModel().index(folderRow, 0),
                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    auto items = itemsOf(controller->table()->makeContextMenu(controller));
    EXPECT_TRUE(items.at(texts(TextKey::open)));
    EXPECT_TRUE(items.at(texts(TextKey::openInNewTab)));
    EXPECT_TRUE(items.at(texts(TextKey::copyPath)));
    EXPECT_TRUE(items.at(texts(TextKey::finder)));
    EXPECT_TRUE(items.at(texts(TextKey::refresh)));
    // The file commands are not there yet: nothing may pretend to work.
    EXPECT_FALSE(items.at(texts(TextKey::rename)));
    EXPECT_FALSE(items.at(texts(TextKey::trash)));
    EXPECT_FALSE(items.at(texts(TextKey::newFolder)));
    EXPECT_FALSE(items.at(texts(TextKey::paste)));

    // Commands from the list reach the store.
    emit controller->table()->commandRequested(ListCommand::openInNewTab);
    ASSERT_EQ(store->tabs().size(), 2u);
    EXPECT_EQ(store->current().url(), tree.path("Downloads/gamma"));
    settle();
    emit controller->table()->commandRequested(ListCommand::rename);
    EXPECT_EQ(store->tabs().size(), 2u);
}

TEST_F(BrowserWindow, OpeningFilesGoesToTheDesktop) {
    std::vector<QUrl> opened;
    controller->desktop().setOpenerForTesting([&](const QUrl &url) {
        opened.push_back(url);
        return url.path().endsWith("alpha.txt");
    });
    for (const char *name : {"alpha.txt", "beta.txt"}) {
        for (const FileEntry &entry : store->current().visibleEntries())
            if (entry.name() == name)
                store->select({entry.id()});
        controller->openSelected();
    }
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString(tree.path("Downloads/alpha.txt"))));
    ASSERT_TRUE(controller->errorRow()->isVisible()) << "a file the desktop cannot open shows an error";
    EXPECT_TRUE(controller->errorLabel()->text().contains("beta.txt"));

    // Without a file-manager service, reveal opens the holding folder.
    controller->desktop().setFileManagerServiceForTesting(false);
    controller->revealInFinder();
    EXPECT_EQ(opened.back(), QUrl::fromLocalFile(QString::fromStdString(tree.path("Downloads"))));
}

} // namespace
