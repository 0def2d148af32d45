#include "sidebar/DirectorySidebar.h"
#include "browser/BrowserStore.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "sidebar/SidebarModel.h"
#include "support/CountingReader.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

using namespace dromel;
using namespace std::chrono_literals;

namespace {

using Kind = SidebarNode::Kind;

using test::CountingReader;

Kind kindOf(const QModelIndex &index) {
    return static_cast<Kind>(index.data(SidebarModel::KindRole).toInt());
}

enum Section { favourites = 0, tree = 1, volumes = 2 };

// A home folder of its own for each test, with the user folders pointed there.
class SidebarTest : public ::testing::Test {
protected:
    SidebarTest()
        : m_home("HOME", temp.root()), m_config("XDG_CONFIG_HOME", temp.path(".config")),
          m_user("USER", std::nullopt) {}

    std::unique_ptr<DirectorySidebar> makeSidebar() {
        auto sidebar = std::make_unique<DirectorySidebar>(temp.root(), reader, orderer);
        sidebar->onNavigate = [this](const std::string &folder) { navigations.push_back(folder); };
        sidebar->resize(260, 400);
        sidebar->show();
        return sidebar;
    }

    static QModelIndex find(const QAbstractItemModel &model, const std::string &url,
                            const QModelIndex &parent) {
        for (int row = 0; row < model.rowCount(parent); ++row) {
            const QModelIndex index = model.index(row, 0, parent);
            if (model.data(index, SidebarModel::UrlRole).toByteArray().toStdString() == url)
                return index;
            if (QModelIndex inside = find(model, url, index); inside.isValid())
                return inside;
        }
        return {};
    }
    static QModelIndex row(const DirectorySidebar &sidebar, Section section, const std::string &url) {
        const QAbstractItemModel &model = *sidebar.model();
        return find(model, url, model.index(section, 0));
    }
    static std::vector<std::string> titles(const DirectorySidebar &sidebar, const QModelIndex &parent) {
        std::vector<std::string> result;
        for (int i = 0; i < sidebar.model()->rowCount(parent); ++i)
            result.push_back(sidebar.model()->index(i, 0, parent).data().toString().toStdString());
        return result;
    }
    static std::string selectedURL(const DirectorySidebar &sidebar) {
        const QModelIndexList selected = sidebar.selectionModel()->selectedIndexes();
        return selected.size() == 1 ? selected.front().data(SidebarModel::UrlRole).toByteArray().toStdString()
                                    : std::string();
    }
    QModelIndex homeRow(const DirectorySidebar &sidebar) const { return row(sidebar, tree, temp.root()); }

    test::TempTree temp;
    test::ScopedEnv m_home;
    test::ScopedEnv m_config;
    test::ScopedEnv m_user;
    CountingReader reader;
    ListingOrderer orderer;
    std::vector<std::string> navigations;
};

TEST_F(SidebarTest, ExpandingShowsThePlaceholderThenOnlyTheSubfoldersByName) {
    temp.makeFolder("beta");
    temp.makeFolder("Alpha/inner");
    temp.makeFolder("gamma");
    temp.makeFolder(".hidden");
    temp.writeFile("file.txt");
    temp.makeSymlink("link", temp.path("gamma"));
    auto sidebar = makeSidebar();

    const QModelIndex home = homeRow(*sidebar);
    ASSERT_TRUE(home.isValid());
    EXPECT_TRUE(sidebar->model()->hasChildren(home));
    ASSERT_EQ(sidebar->model()->rowCount(home), 1);
    EXPECT_EQ(kindOf(sidebar->model()->index(0, 0, home)), Kind::placeholder);
    EXPECT_EQ(reader.reads[temp.root()], 0) << "nothing is read before the row is expanded";

    sidebar->expand(home);
    EXPECT_EQ(kindOf(sidebar->model()->index(0, 0, home)), Kind::placeholder);
    ASSERT_TRUE(test::waitUntil([&] { return titles(*sidebar, home).size() == 3; }));
    EXPECT_EQ(titles(*sidebar, home), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(reader.reads[temp.root()], 1);
    EXPECT_EQ(sidebar->watchedFolders(), (std::set<std::string>{temp.root()}));

    // The window's hidden-items setting reaches every read.
    sidebar->setShowHidden(true);
    ASSERT_TRUE(test::waitUntil([&] { return titles(*sidebar, home).size() == 4; }));
    EXPECT_EQ(titles(*sidebar, home).front(), ".hidden");
    sidebar->setShowHidden(false);
    ASSERT_TRUE(test::waitUntil([&] { return titles(*sidebar, home).size() == 3; }));
}

TEST_F(SidebarTest, ChangesInExpandedFoldersShowWithExpansionSelectionAndScrollKept) {
    for (int i = 0; i < 40; ++i)
        temp.makeFolder("folder " + std::to_string(10 + i));
    temp.makeFolder("folder 11/inside");
    auto sidebar = makeSidebar();
    const QModelIndex home = homeRow(*sidebar);
    sidebar->expand(home);
    ASSERT_TRUE(test::waitUntil([&] { return titles(*sidebar, home).size() == 40; }));
    const QPersistentModelIndex eleven = row(*sidebar, tree, temp.path("folder 11"));
    sidebar->expand(eleven);
    ASSERT_TRUE(
        test::waitUntil([&] { return titles(*sidebar, eleven) == std::vector<std::string>{"inside"}; }));
    const QPersistentModelIndex twelve = row(*sidebar, tree, temp.path("folder 12"));
    sidebar->setCurrentIndex(twelve);
    sidebar->verticalScrollBar()->setValue(100);
    ASSERT_EQ(sidebar->verticalScrollBar()->value(), 100);

    temp.makeFolder("folder 99");
    temp.makeFolder("folder 11/second");
    ASSERT_TRUE(test::waitUntil([&] {
        return row(*sidebar, tree, temp.path("folder 99")).isValid() && titles(*sidebar, eleven).size() == 2;
    }));
    EXPECT_TRUE(sidebar->isExpanded(eleven));
    EXPECT_EQ(selectedURL(*sidebar), temp.path("folder 12"));
    EXPECT_EQ(sidebar->verticalScrollBar()->value(), 100);

    // The selected folder itself going away leaves no selection.
    ::rmdir(temp.path("folder 12").c_str());
    ASSERT_TRUE(test::waitUntil([&] { return !row(*sidebar, tree, temp.path("folder 12")).isValid(); }));
    EXPECT_EQ(selectedURL(*sidebar), "");
    EXPECT_TRUE(navigations.empty()) << "reloads never navigate";
}

TEST_F(SidebarTest, ATabsNavigationRevealsItsFolderLoadingEachLevelOnceWithoutNavigating) {
    const std::string deep = temp.makeFolder("one/two/three/four/five");
    temp.makeFolder("one/two/three/four/five/six");
    LocalDirectoryReader storeReader;
    BrowserStore store({temp.root()}, 0, storeReader, orderer);
    auto sidebar = makeSidebar();
    std::string revealed;
    store.onChange = [&](BrowserStore::Change) {
        if (!store.current().loading && store.current().url() != revealed) {
            revealed = store.current().url();
            sidebar->reveal(revealed);
        }
    };

    store.navigate(deep, BrowserStore::Navigation::visit);
    ASSERT_TRUE(test::waitUntil([&] { return selectedURL(*sidebar) == deep; }));
    EXPECT_TRUE(navigations.empty());
    for (const char *level : {"", "/one", "/one/two", "/one/two/three", "/one/two/three/four"}) {
        EXPECT_TRUE(sidebar->isExpanded(row(*sidebar, tree, temp.root() + level))) << level;
    }
    EXPECT_FALSE(sidebar->isExpanded(row(*sidebar, tree, deep))) << "the target itself stays closed";
    // Let the monitor confirm every watch and report anything it has: still
    // one read per level.
    test::spinFor(600ms);
    for (const char *level : {"", "/one", "/one/two", "/one/two/three", "/one/two/three/four"})
        EXPECT_EQ(reader.reads[temp.root() + level], 1) << level;
    EXPECT_EQ(reader.reads.count(deep), 0u);
}

TEST_F(SidebarTest, TheSystemVolumeIsNeverOpenedByAReveal) {
    temp.makeFolder("near");
    auto sidebar = makeSidebar();
    ASSERT_TRUE(test::waitUntil([&] { return row(*sidebar, volumes, "/").isValid(); }));
    const QModelIndex system = row(*sidebar, volumes, "/");
    sidebar->reveal("/usr");
    EXPECT_EQ(selectedURL(*sidebar), "");
    sidebar->reveal("/");
    EXPECT_EQ(selectedURL(*sidebar), "/") << "the row itself is selected";
    // A later reveal's end shows that nothing of the earlier ones was pending.
    sidebar->reveal(temp.path("near"));
    ASSERT_TRUE(test::waitUntil([&] { return selectedURL(*sidebar) == temp.path("near"); }));
    EXPECT_FALSE(sidebar->isExpanded(system));
    EXPECT_EQ(reader.reads.count("/"), 0u);
    EXPECT_EQ(reader.reads.count("/usr"), 0u);
}

TEST_F(SidebarTest, FavouritesFollowTheUserFoldersAndNavigateWhenClicked) {
    temp.makeFolder("Schreibtisch");
    temp.makeFolder("T\xc3\xa9l\xc3\xa9\x63hargements");
    temp.makeFolder("Documents");
    temp.makeFolder(".config");
    temp.writeFile(".config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                             "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                                             "XDG_DOWNLOAD_DIR=\"$HOME/T\xc3\xa9l\xc3\xa9\x63hargements\"\n"
                                             "XDG_DOCUMENTS_DIR=\"$HOME/\"\n");
    auto sidebar = makeSidebar();
    const QModelIndex section = sidebar->model()->index(favourites, 0);
    EXPECT_EQ(titles(*sidebar, section), (std::vector<std::string>{"Home", "Desktop", "Downloads"}))
        << "Documents is switched off by pointing it at home";
    EXPECT_TRUE(row(*sidebar, favourites, temp.path("Schreibtisch")).isValid());
    const QModelIndex downloads = row(*sidebar, favourites, temp.path("T\xc3\xa9l\xc3\xa9\x63hargements"));
    ASSERT_TRUE(downloads.isValid());
    EXPECT_EQ(downloads.data(SidebarModel::SymbolRole).toString(), "folder-download");
    EXPECT_FALSE(sidebar->model()->hasChildren(downloads)) << "favourites never expand";
    EXPECT_FALSE(sidebar->model()->flags(section) & Qt::ItemIsSelectable);

    QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {}, sidebar->visualRect(downloads).center());
    EXPECT_EQ(navigations, std::vector<std::string>{temp.path("T\xc3\xa9l\xc3\xa9\x63hargements")});

    // Without the file the usual names serve, and missing folders are left out.
    ::unlink(temp.path(".config/user-dirs.dirs").c_str());
    auto plain = makeSidebar();
    EXPECT_EQ(titles(*plain, plain->model()->index(favourites, 0)),
              (std::vector<std::string>{"Home", "Documents"}));
}

// A real ext4 file system with a label, loop-mounted under the home folder.
class LoopDisk {
public:
    LoopDisk(const test::TempTree &tree, std::string mountPoint)
        : m_image(tree.path("disk.img")), m_mountPoint(std::move(mountPoint)) {
        const std::string command = "truncate -s 8M '" + m_image + "' && mkfs.ext4 -q -L 'Holiday Photos' '" +
                                    m_image + "' 2>/dev/null";
        m_made = std::system(command.c_str()) == 0;
    }
    ~LoopDisk() { unmount(); }
    bool mount() {
        const std::string command = "mount -o loop '" + m_image + "' '" + m_mountPoint + "' 2>/dev/null";
        m_mounted = m_made && std::system(command.c_str()) == 0;
        return m_mounted;
    }
    void unmount() {
        if (m_mounted)
            ::umount2(m_mountPoint.c_str(), MNT_DETACH);
        m_mounted = false;
    }

private:
    std::string m_image;
    std::string m_mountPoint;
    bool m_made = false;
    bool m_mounted = false;
};

TEST_F(SidebarTest, AVolumeMountedUnderHomeAppearsAfterTheSystemVolumeAndGoesWhenUnmounted) {
    const std::string point = temp.makeFolder("Stick");
    LoopDisk disk(temp, point);
    auto sidebar = makeSidebar();
    const QModelIndex section = sidebar->model()->index(volumes, 0);
    ASSERT_TRUE(test::waitUntil([&] { return sidebar->model()->rowCount(section) > 0; }));
    EXPECT_EQ(sidebar->model()->index(0, 0, section).data(SidebarModel::UrlRole).toByteArray(), "/");
    EXPECT_EQ(sidebar->model()->index(0, 0, section).data(SidebarModel::SymbolRole).toString(),
              "drive-harddisk");
    if (!disk.mount())
        GTEST_SKIP() << "loop mounts are not available here (needs root, /dev/loop* and mkfs.ext4)";

    int changes = 0;
    sidebar->onVolumesChanged = [&] { ++changes; };
    ASSERT_TRUE(test::waitUntil([&] { return row(*sidebar, volumes, point).isValid(); }));
    const QModelIndex stick = row(*sidebar, volumes, point);
    EXPECT_EQ(stick.data().toString(), "Holiday Photos");
    EXPECT_EQ(stick.data(SidebarModel::SymbolRole).toString(), "drive-removable-media");
    EXPECT_GE(changes, 1);

    // A folder on the volume is revealed from the volume's row.
    temp.makeFolder("Stick/Photos");
    sidebar->reveal(temp.path("Stick/Photos"));
    ASSERT_TRUE(test::waitUntil([&] { return selectedURL(*sidebar) == temp.path("Stick/Photos"); }));
    EXPECT_EQ(sidebar->selectionModel()->selectedIndexes().front().parent(), row(*sidebar, volumes, point));

    disk.unmount();
    ASSERT_TRUE(test::waitUntil([&] { return !row(*sidebar, volumes, point).isValid(); }));
    EXPECT_TRUE(navigations.empty());
}

// Run in a child that has dropped root's privileges; its exit status is the
// verdict (0 passed, 1 failed, 77 could not drop).
int showErrorRowWithoutPrivileges(const std::string &home, const std::string &locked) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0)
        return 77;
    LocalDirectoryReader reader;
    ListingOrderer orderer;
    DirectorySidebar sidebar(home, reader, orderer);
    const QAbstractItemModel &model = *sidebar.model();
    const QModelIndex homeIndex = model.index(0, 0, model.index(tree, 0));
    sidebar.expand(homeIndex);
    if (!test::waitUntil([&] {
            return model.rowCount(homeIndex) == 1 && kindOf(model.index(0, 0, homeIndex)) == Kind::folder;
        }))
        return 1;
    const QModelIndex lockedIndex = model.index(0, 0, homeIndex);
    if (lockedIndex.data(SidebarModel::UrlRole).toByteArray().toStdString() != locked)
        return 1;
    sidebar.expand(lockedIndex);
    if (!test::waitUntil([&] { return kindOf(model.index(0, 0, lockedIndex)) == Kind::error; }))
        return 1;
    const QModelIndex error = model.index(0, 0, lockedIndex);
    const bool good = model.rowCount(lockedIndex) == 1 &&
                      error.data().toString().contains("Permission denied") &&
                      !(model.flags(error) & Qt::ItemIsSelectable) && !model.hasChildren(error);
    return good ? 0 : 1;
}

TEST_F(SidebarTest, AnUnreadableFolderShowsOneErrorRow) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to drop privileges in a child (as a user, use a folder you cannot read)";
    const std::string locked = temp.makeFolder("locked", 0000);
    ::chmod(temp.root().c_str(), 0755);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(showErrorRowWithoutPrivileges(temp.root(), locked));
    int status = 0;
    ASSERT_TRUE(test::waitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 30s));
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "could not drop privileges to nobody";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child saw no error row for the unreadable folder";
}

} // namespace
