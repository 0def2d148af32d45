// The sidebar in the browser window: it follows the active tab and its rows
// navigate the store.
#include "browser/BrowserStore.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "sidebar/DirectorySidebar.h"
#include "sidebar/SidebarModel.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"
#include "window/BrowserController.h"

#include <QMainWindow>
#include <QTest>
#include <gtest/gtest.h>

using namespace dromel;
using namespace std::chrono_literals;

namespace {

std::string selectedURL(const DirectorySidebar &sidebar) {
    const QModelIndexList selected = sidebar.selectionModel()->selectedIndexes();
    return selected.size() == 1 ? selected.front().data(SidebarModel::UrlRole).toByteArray().toStdString()
                                : std::string();
}

QModelIndex treeRow(const QAbstractItemModel &model, const std::string &url, const QModelIndex &parent) {
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        if (index.data(SidebarModel::UrlRole).toByteArray().toStdString() == url)
            return index;
        if (QModelIndex inside = treeRow(model, url, index); inside.isValid())
            return inside;
    }
    return {};
}

TEST(SidebarInWindowTest, TheSidebarFollowsTheActiveTabAndItsRowsNavigateIt) {
    test::TempTree tree;
    test::ScopedEnv home("HOME", tree.root());
    const std::string projects = tree.makeFolder("Projects/Dromel/src");
    tree.makeFolder("Music");
    LocalDirectoryReader reader;
    ListingOrderer orderer;
    BrowserStore store({projects}, 0, reader, orderer);
    QMainWindow window;
    auto *controller = new BrowserController(store, tree.root(), &window);
    window.setCentralWidget(controller);
    window.resize(1200, 780);
    window.show();
    store.refresh();

    DirectorySidebar &sidebar = *controller->directorySidebar();
    ASSERT_TRUE(test::waitUntil([&] { return selectedURL(sidebar) == projects; }, 10s));
    EXPECT_EQ(store.current().history.back(), std::nullopt) << "revealing did not navigate";

    const QModelIndex music = treeRow(*sidebar.model(), tree.path("Music"), sidebar.model()->index(1, 0));
    ASSERT_TRUE(music.isValid());
    sidebar.scrollTo(music);
    QTest::mouseClick(sidebar.viewport(), Qt::LeftButton, {}, sidebar.visualRect(music).center());
    ASSERT_TRUE(test::waitUntil([&] { return store.current().url() == tree.path("Music"); }, 10s));
    EXPECT_TRUE(test::waitUntil([&] { return selectedURL(sidebar) == tree.path("Music"); }));
}

} // namespace
