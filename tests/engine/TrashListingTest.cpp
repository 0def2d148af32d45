#include "engine/TrashListing.h"
#include "engine/OperationTestSupport.h"
#include "engine/OperationTrash.h"
#include "engine/detail/TrashFiles.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <thread>

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

TEST_F(TrashListingTest, LargeTrashesComeInBatchesEachEntryOnceAndTheMemoSeesReplacedRecords) {
    constexpr int kCount = 1500; // enough for the helper thread to take part
    tree.makeFolder("data/Trash/files");
    tree.makeFolder("data/Trash/info");
    const auto record = [&](const std::string &name, const std::string &from) {
        tree.writeFile("data/Trash/info/" + name + ".trashinfo",
                       "[Trash Info]\nPath=" + from + "\nDeletionDate=2024-03-01T10:20:30\n");
    };
    for (int i = 0; i < kCount; ++i) {
        const std::string name = "item" + std::to_string(i);
        tree.writeFile("data/Trash/files/" + name, name);
        record(name, tree.path("from/" + name));
    }
    const std::vector<std::string> ours{tree.path("data/Trash")};
    TrashRecordMemo memo;
    const auto listing = [&](std::vector<std::size_t> &batches) {
        std::map<std::string, TrashedItem> byName;
        TrashListing::list(
            ours, cancel,
            [&](std::vector<TrashedItem> &&batch) {
                batches.push_back(batch.size());
                for (TrashedItem &item : batch)
                    EXPECT_TRUE(byName.emplace(item.name, std::move(item)).second) << "listed twice";
            },
            &memo);
        return byName;
    };
    std::vector<std::size_t> batches;
    auto items = listing(batches);
    ASSERT_EQ(items.size(), std::size_t(kCount));
    ASSERT_GT(batches.size(), 2u);
    EXPECT_LE(batches.front(), 128u) << "a small first batch for the first rows";
    EXPECT_EQ(items.at("item7").originalPath, tree.path("from/item7"));
    EXPECT_EQ(items.at("item1499").size, 8);

    // Restored and trashed again under the same name: a new record, perhaps
    // on the freed inode number, must not be taken for the old one.
    ASSERT_EQ(::unlink(tree.path("data/Trash/info/item7.trashinfo").c_str()), 0);
    record("item7", tree.path("elsewhere/item7"));
    ASSERT_EQ(::unlink(tree.path("data/Trash/info/item9.trashinfo").c_str()), 0);
    items = listing(batches);
    EXPECT_EQ(items.at("item7").originalPath, tree.path("elsewhere/item7"));
    EXPECT_EQ(items.at("item9").state, State::noRecord);
    EXPECT_EQ(items.at("item8").originalPath, tree.path("from/item8")) << "from the memo";

    OperationCancellation cancelled;
    cancelled.cancel();
    EXPECT_THROW(TrashListing::list(
                     ours, cancelled, [](std::vector<TrashedItem> &&) {}, &memo),
                 OperationCancelled);
}

// A settled, unchanged info/ folder is taken from the memo, names and all;
// an entry added since is seen even when the folder's modification time is
// put back, as a tool keeping times would.
TEST_F(TrashListingTest, AnUnchangedTrashComesFromTheMemoAndAnyChangeIsSeen) {
    for (const char *name : {"one", "two", "three"}) {
        tree.writeFile(name, name);
        OperationTrash::trashItem(tree.path(name));
    }
    const std::vector<std::string> ours{tree.path("data/Trash")};
    TrashRecordMemo memo;
    const auto names = [&] {
        std::set<std::string> found;
        TrashListing::list(
            ours, cancel,
            [&](std::vector<TrashedItem> &&batch) {
                for (const TrashedItem &item : batch)
                    found.insert(item.name + (item.state == State::restorable ? "" : " (unmatched)"));
            },
            &memo);
        return found;
    };
    const std::string info = tree.path("data/Trash/info");
    struct stat before {};
    ASSERT_EQ(::stat(info.c_str(), &before), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2100)); // settled: over a second old
    const std::set<std::string> all{"one", "three", "two"};
    EXPECT_EQ(names(), all);
    EXPECT_EQ(names(), all) << "from the memo";

    tree.writeFile("four", "four");
    OperationTrash::trashItem(tree.path("four"));
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, info.c_str(), times, 0), 0);
    EXPECT_EQ(names(), (std::set<std::string>{"four", "one", "three", "two"}));
    ASSERT_EQ(::unlink(tree.path("data/Trash/info/two.trashinfo").c_str()), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, info.c_str(), times, 0), 0);
    EXPECT_EQ(names(), (std::set<std::string>{"four", "one", "three", "two (unmatched)"}));
}

TEST_F(TrashListingTest, DeletionDatesKeepEachDaysOwnZoneOffset) {
    test::ScopedEnv zone{"TZ", "Europe/Berlin"};
    ::tzset();
    TrashedItem winter, summer, again;
    TrashListing::readRecord("[Trash Info]\nPath=/a\nDeletionDate=2024-01-15T10:00:00\n", "", winter);
    detail::DeletionDates dates;
    TrashListing::readRecord("[Trash Info]\nPath=/a\nDeletionDate=2024-07-15T10:30:00\n", "", summer, dates);
    TrashListing::readRecord("[Trash Info]\nPath=/a\nDeletionDate=2024-07-15T10:59:59\n", "", again, dates);
    using std::chrono::seconds;
    EXPECT_EQ(winter.deleted, FileTime(seconds(1705309200))) << "09:00 UTC";
    EXPECT_EQ(summer.deleted, FileTime(seconds(1721032200))) << "08:30 UTC";
    EXPECT_EQ(again.deleted, FileTime(seconds(1721033999)));
}
