// Large folders are read by two threads; what the consumer sees must not show
// it: every listable item once, in the order the folder gives them, in
// cumulative snapshots, and a cancelled read stops both threads at once.
#include "directory/detail/FolderEnumeration.h"
#include "core/detail/BrowseCollation.h"
#include "directory/detail/EntryMaker.h"
#include "directory/detail/FolderNames.h"
#include "runtime/Cancellation.h"
#include "support/Listing.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <string>
#include <vector>

using namespace dromel;

namespace {

// Enough items for both threads to take many batches each.
constexpr int kLargeFolder = 6000;

struct Published {
    std::vector<FileEntryList> snapshots;
    std::vector<bool> complete;
};

} // namespace

TEST(FolderEnumerationTest, ALargeFolderIsListedOnceInFolderOrderInCumulativeSnapshots) {
    test::TempTree tree;
    const char *suffixes[] = {".txt", ".jpg", "", ".tar.gz", ".cpp"};
    for (int i = 0; i < kLargeFolder; ++i)
        tree.writeFile("item " + std::to_string(i) + suffixes[i % 5], std::string(i % 7, 'x'));
    for (int i = 0; i < 40; ++i)
        tree.makeFolder("folder " + std::to_string(i));
    tree.writeFile(".dot");
    tree.writeFile("listed hidden");
    tree.writeFile(".hidden", "listed hidden\n");

    Published published;
    const auto cancellation = Cancellation::make();
    const std::error_code error = detail::enumerateFolder(tree.root(), false, *cancellation,
                                                          [&](const FileEntryList &entries, bool isComplete) {
                                                              published.snapshots.push_back(entries);
                                                              published.complete.push_back(isComplete);
                                                          });
    ASSERT_FALSE(error) << error.message();
    ASSERT_GE(published.snapshots.size(), 2u);

    std::vector<std::string> expected;
    for (const std::string &name : test::namesStartingWith(tree.root(), ""))
        if (name.front() != '.' && name != "listed hidden") // also drops "." and ".."
            expected.push_back(name);
    const FileEntryList &last = published.snapshots.back();
    EXPECT_TRUE(published.complete.back());
    EXPECT_EQ(test::namesOf(last), expected);
    EXPECT_LE(published.snapshots.front().size(), 128u) << "the first snapshot comes at 128 entries at most";
    for (std::size_t i = 0; i + 1 < published.snapshots.size(); ++i) {
        EXPECT_FALSE(published.complete[i]);
        const FileEntryList &earlier = published.snapshots[i];
        const FileEntryList &later = published.snapshots[i + 1];
        ASSERT_LE(earlier.size(), later.size());
        for (std::size_t k = 0; k < earlier.size(); ++k)
            ASSERT_EQ(earlier[k], later[k]) << "snapshot " << i << " is not a prefix of the next at " << k;
    }
    int folders = 0;
    for (const FileEntry &entry : last) {
        if (entry.isDirectory()) {
            ++folders;
            EXPECT_EQ(entry.kind(), "Folder");
            EXPECT_FALSE(entry.size());
            continue;
        }
        const int number = std::stoi(entry.name().substr(5));
        ASSERT_EQ(entry.size(), number % 7) << entry.name();
        EXPECT_EQ(entry.url(), tree.path(entry.name()));
        EXPECT_TRUE(entry.modified());
        std::uint64_t prefix[2];
        EXPECT_NE(entry.sortKey(detail::currentCollation(), prefix), nullptr)
            << "made with its collation key";
    }
    EXPECT_EQ(folders, 40);
}

TEST(FolderEnumerationTest, ACancelledReadOfALargeFolderStopsBothThreadsAtTheNextItem) {
    test::TempTree tree;
    for (int i = 0; i < kLargeFolder; ++i)
        tree.writeFile("item " + std::to_string(i) + ".txt");
    // Well past the part one thread reads alone, so the helper is at work.
    constexpr std::size_t kCancelAt = 3000;

    const auto cancellation = Cancellation::make();
    std::atomic<std::size_t> examined = 0;
    std::atomic<bool> completePublished = false;
    const std::error_code error = detail::enumerateFolder(
        tree.root(), false, *cancellation,
        [&](const FileEntryList &, bool isComplete) {
            if (isComplete)
                completePublished = true;
        },
        [&] {
            if (++examined == kCancelAt)
                cancellation->cancel();
        });
    // Returning at all means the helper has ended: enumerateFolder joins it.
    EXPECT_EQ(error, std::make_error_code(std::errc::operation_canceled));
    EXPECT_FALSE(completePublished);
    // Each thread checks before every item: the one that cancelled stops at
    // its next item, the other may have just passed its check.
    EXPECT_LE(examined.load(), kCancelAt + 1) << "items were examined after the read was cancelled";

    // A read cancelled before it starts examines nothing.
    examined = 0;
    EXPECT_EQ(detail::enumerateFolder(
                  tree.root(), false, *cancellation, [](const FileEntryList &, bool) {}, [&] { ++examined; }),
              std::make_error_code(std::errc::operation_canceled));
    EXPECT_EQ(examined.load(), 0u);
}

// As root every folder opens; the answer must be the user's own, so the
// reader runs in a child that has become nobody.
TEST(FolderEnumerationTest, FoldersTheUserCannotOpenAreMarked) {
    test::TempTree tree;
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    tree.makeFolder("open");
    tree.makeFolder("locked");
    tree.makeFolder("search-only");
    tree.writeFile("file.txt", "x");
    ASSERT_EQ(::chmod(tree.path("locked").c_str(), 0700), 0);
    ASSERT_EQ(::chmod(tree.path("search-only").c_str(), 0711), 0);
    ASSERT_EQ(::chmod(tree.path("file.txt").c_str(), 0600), 0);

    const auto unreadableNames = [&] {
        std::set<std::string> names;
        const int fd = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return names;
        struct statx own {};
        ::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &own);
        detail::EntryMaker maker(fd, own, tree.root());
        for (const char *name : {"open", "locked", "search-only", "file.txt"}) {
            detail::FolderItem item{name, 0, DT_UNKNOWN};
            if (const auto entry = maker.make(std::move(item)); entry && entry->isUnreadable())
                names.insert(entry->name());
        }
        ::close(fd);
        return names;
    };
    EXPECT_TRUE(unreadableNames().empty()) << "root opens everything";

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        ::_exit(unreadableNames() == std::set<std::string>{"locked", "search-only"} ? 0 : 11);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10 setuid, 11 marks";
}
