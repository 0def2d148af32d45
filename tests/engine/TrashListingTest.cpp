#include "engine/TrashListing.h"
#include "engine/OperationTestSupport.h"
#include "engine/OperationTrash.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <map>

using namespace dromel;
using State = TrashedItem::State;

namespace {

class TrashListingTest : public ::testing::Test {
protected:
    // Only the trashes under the test's folder: the machine may hold others.
    std::map<std::string, TrashedItem> listed() const {
        std::vector<std::string> ours;
        for (const std::string &trash : TrashListing::trashFolders())
            if (trash.starts_with(tree.root() + "/"))
                ours.push_back(trash);
        std::map<std::string, TrashedItem> byName;
        for (TrashedItem &item : TrashListing::list(ours, cancel))
            byName.emplace(item.shownName(), std::move(item));
        return byName;
    }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
    OperationCancellation cancel;
};

} // namespace

TEST_F(TrashListingTest, HomeAndVolumeTrashesAreMergedWithWhereEachItemCameFrom) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount tmpfs here";
    const std::string volume = tree.makeFolder("volume");
    test::ScopedTmpfs mounted(volume, 4 << 20);
    ASSERT_TRUE(mounted.mounted());
    tree.makeFolder("docs");
    tree.writeFile("docs/letter.txt", "dear");
    tree.writeFile("docs/caf\xE9", "bytes");
    tree.makeFolder("docs/album/inner");
    tree.writeSizedFile("docs/album/inner/a.raw", 3000);
    tree.writeSizedFile("docs/album/b.raw", 500);
    tree.makeFolder("volume/photos");
    tree.writeFile("volume/photos/cat.jpg", "meow");
    tree.writeFile("volume/dog.jpg", "woof!");
    tree.makeFolder("volume/.Trash", 01777);
    const auto before = std::chrono::system_clock::now() - std::chrono::seconds(2);
    for (const char *item : {"docs/letter.txt", "docs/caf\xE9", "docs/album", "volume/photos/cat.jpg"})
        OperationTrash::trashItem(tree.path(item));
    ASSERT_EQ(::chmod(tree.path("volume/.Trash").c_str(), 0777), 0) << "then the per-user trash";
    OperationTrash::trashItem(tree.path("volume/dog.jpg"));

    const std::vector<std::string> trashes = TrashListing::trashFolders();
    EXPECT_EQ(trashes.front(), tree.path("data/Trash")) << "the home trash first";
    const std::string uid = std::to_string(::geteuid());
    EXPECT_EQ(std::count(trashes.begin(), trashes.end(), tree.path("volume/.Trash-" + uid)), 1);
    EXPECT_EQ(std::count(trashes.begin(), trashes.end(), tree.path("volume/.Trash/" + uid)), 0)
        << "a shared .Trash without the sticky bit is not a trash";

    const auto items = listed();
    ASSERT_EQ(items.size(), 4u);
    const TrashedItem &letter = items.at("letter.txt");
    EXPECT_EQ(letter.state, State::restorable);
    EXPECT_EQ(letter.originalPath, tree.path("docs/letter.txt"));
    EXPECT_EQ(letter.itemPath(), tree.path("data/Trash/files/letter.txt"));
    EXPECT_EQ(letter.size, 4);
    ASSERT_TRUE(letter.deleted);
    EXPECT_GE(*letter.deleted, before);
    EXPECT_LE(*letter.deleted, std::chrono::system_clock::now() + std::chrono::seconds(2));
    EXPECT_EQ(items.at("caf\xE9").originalPath, tree.path("docs/caf\xE9")) << "bytes kept as they are";
    EXPECT_TRUE(items.at("album").isDirectory);
    EXPECT_GE(items.at("album").size, 3500) << "from directorysizes: the blocks it takes";
    EXPECT_EQ(items.at("dog.jpg").originalPath, tree.path("volume/dog.jpg"))
        << "relative to the volume's top";
    EXPECT_EQ(items.at("dog.jpg").trash, tree.path("volume/.Trash-" + uid));
    EXPECT_EQ(items.count("cat.jpg"), 0u) << "the sticky trash went with its bit";
    ASSERT_EQ(::chmod(tree.path("volume/.Trash").c_str(), 01777), 0);
    EXPECT_EQ(listed().at("cat.jpg").originalPath, tree.path("volume/photos/cat.jpg"));
    ASSERT_EQ(::unlink(tree.path("data/Trash/directorysizes").c_str()), 0);
    EXPECT_EQ(listed().at("album").size, 3500) << "walked without the cache: its files' bytes";
}

TEST_F(TrashListingTest, UnmatchedAndDamagedEntriesAreListedWithTheirState) {
    tree.writeFile("letter", "x");
    OperationTrash::trashItem(tree.path("letter"));
    tree.writeFile("data/Trash/files/stray", "no record");
    tree.writeFile("data/Trash/info/gone.trashinfo",
                   "[Trash Info]\nPath=" + tree.path("gone") + "\nDeletionDate=2024-03-01T10:20:30\n");
    tree.writeFile("data/Trash/files/broken", "kept");
    tree.writeFile("data/Trash/info/broken.trashinfo", "[Trash Info]\nDeletionDate=2024-03-01T10:20:30\n");
    tree.writeFile("data/Trash/files/other", "kept");
    tree.writeFile("data/Trash/info/other.trashinfo", "[Other]\nPath=/etc/passwd\n");
    tree.writeFile("data/Trash/info/notes.txt", "not a record");

    const auto items = listed();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items.at("letter").state, State::restorable);
    EXPECT_EQ(items.at("stray").state, State::noRecord);
    EXPECT_EQ(items.at("stray").size, 9);
    EXPECT_EQ(items.at("gone").state, State::missingItem);
    EXPECT_EQ(items.at("gone").originalPath, tree.path("gone"));
    EXPECT_EQ(items.at("broken").state, State::damagedRecord);
    EXPECT_TRUE(items.at("broken").deleted);
    EXPECT_EQ(items.at("other").state, State::damagedRecord) << "a Path outside the record's group";

    TrashedItem relative;
    TrashListing::readRecord("[Trash Info]\r\nPath=a%20b/c%FF\r\nDeletionDate=nonsense\r\n", "/media/stick",
                             relative);
    EXPECT_EQ(relative.originalPath, "/media/stick/a b/c\xFF");
    EXPECT_FALSE(relative.deleted);
    TrashedItem home;
    TrashListing::readRecord("[Trash Info]\nPath=a/b\n", "", home);
    EXPECT_EQ(home.state, State::damagedRecord) << "the home trash records absolute paths";
}
