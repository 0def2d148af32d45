#include "directory/LocalDirectoryReader.h"
#include "directory/ListingOrderer.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <map>
#include <set>

using namespace dromel;
using namespace std::chrono_literals;

namespace {

struct Outcome {
    std::vector<DirectorySnapshot> snapshots;
    std::optional<std::error_code> finished;
};

std::unique_ptr<DirectoryRead> start(LocalDirectoryReader &reader, const std::string &folder, bool hidden,
                                     Outcome &outcome) {
    return reader.snapshots(
        folder, hidden, [&](const DirectorySnapshot &snapshot) { outcome.snapshots.push_back(snapshot); },
        [&](std::error_code error) { outcome.finished = error; });
}

std::set<std::string> names(const FileEntryList &entries) {
    std::set<std::string> result;
    for (const FileEntry &entry : entries)
        result.insert(entry.name());
    return result;
}

} // namespace

TEST(LocalDirectoryReaderTest, EmptyFolderGivesOneCompleteSnapshot) {
    test::TempTree tree;
    LocalDirectoryReader reader;
    Outcome outcome;
    auto read = start(reader, tree.root(), false, outcome);
    ASSERT_TRUE(test::waitUntil([&] { return outcome.finished.has_value(); }));
    EXPECT_FALSE(*outcome.finished);
    ASSERT_EQ(outcome.snapshots.size(), 1u);
    EXPECT_TRUE(outcome.snapshots[0].isComplete);
    EXPECT_TRUE(outcome.snapshots[0].entries.empty());
}

TEST(LocalDirectoryReaderTest, FirstBatchIs128AndTheLastIsComplete) {
    test::TempTree tree;
    for (int i = 0; i < 1000; ++i)
        tree.writeFile("f" + std::to_string(i) + ".txt");
    LocalDirectoryReader reader;
    {
        // The type database loads on first use (slowly under sanitizers);
        // that is not what this test measures.
        test::TempTree warm;
        warm.writeFile("a.txt");
        warm.writeFile("plain");
        Outcome warming;
        auto warmRead = start(reader, warm.root(), false, warming);
        ASSERT_TRUE(test::waitUntil([&] { return warming.finished.has_value(); }));
    }
    Outcome outcome;
    auto read = start(reader, tree.root(), false, outcome);
    ASSERT_TRUE(test::waitUntil([&] { return outcome.finished.has_value(); }));
    ASSERT_FALSE(*outcome.finished);
    ASSERT_FALSE(outcome.snapshots.empty());
    const auto &last = outcome.snapshots.back();
    EXPECT_TRUE(last.isComplete);
    EXPECT_EQ(last.entries.size(), 1000u);
    if (outcome.snapshots.size() > 1) {
        EXPECT_EQ(outcome.snapshots.front().entries.size(), 128u);
    }
    // Later snapshots extend earlier ones: the list is cumulative.
    for (std::size_t i = 0; i + 1 < outcome.snapshots.size(); ++i)
        EXPECT_FALSE(outcome.snapshots[i].isComplete);
    EXPECT_EQ(last.entries[0].kind().empty(), false);
}

TEST(LocalDirectoryReaderTest, EntriesCarryTheirFacts) {
    test::TempTree tree;
    tree.makeFolder("sub");
    tree.writeFile("sub/inner.txt");
    tree.writeFile("a.txt", "hello");
    tree.makeSymlink("link", "sub");
    tree.writeFile("caf\xE9");
    tree.writeFile(".dot");
    tree.writeFile("listed");
    tree.writeFile(".hidden", "listed\n");
    LocalDirectoryReader reader;
    Outcome outcome;
    auto read = start(reader, tree.root(), false, outcome);
    ASSERT_TRUE(test::waitUntil([&] { return outcome.finished.has_value(); }));
    const FileEntryList &entries = outcome.snapshots.back().entries;
    EXPECT_EQ(names(entries), (std::set<std::string>{"sub", "a.txt", "link", "caf\xE9"}));
    for (const FileEntry &entry : entries) {
        if (entry.name() == "sub") {
            EXPECT_TRUE(entry.isDirectory());
            EXPECT_EQ(entry.kind(), "Folder");
            EXPECT_FALSE(entry.size());
        } else if (entry.name() == "a.txt") {
            EXPECT_EQ(entry.size(), 5);
            EXPECT_NE(entry.kind(), "File");
            EXPECT_EQ(entry.url(), tree.path("a.txt"));
        } else if (entry.name() == "link") {
            EXPECT_TRUE(entry.isSymbolicLink());
            EXPECT_TRUE(entry.isNavigable());
        }
    }

    Outcome all;
    auto readAll = start(reader, tree.root(), true, all);
    ASSERT_TRUE(test::waitUntil([&] { return all.finished.has_value(); }));
    EXPECT_EQ(all.snapshots.back().entries.size(), 7u);
}

TEST(LocalDirectoryReaderTest, ErrorsAreTheSystemsOwn) {
    test::TempTree tree;
    const std::string file = tree.writeFile("plain");
    LocalDirectoryReader reader;
    Outcome notFolder, missing;
    auto a = start(reader, file, false, notFolder);
    auto b = start(reader, tree.path("nope"), false, missing);
    ASSERT_TRUE(test::waitUntil([&] { return notFolder.finished && missing.finished; }));
    EXPECT_EQ(notFolder.finished->value(), ENOTDIR);
    EXPECT_EQ(missing.finished->value(), ENOENT);
    EXPECT_TRUE(notFolder.snapshots.empty());
}

TEST(LocalDirectoryReaderTest, EndedReadStopsAndStaysSilent) {
    test::TempTree tree;
    for (int i = 0; i < 20000; ++i)
        tree.writeFile("n" + std::to_string(i));
    LocalDirectoryReader reader;
    Outcome outcome;
    auto read = start(reader, tree.root(), false, outcome);
    read.reset();
    test::spinFor(300ms);
    EXPECT_FALSE(outcome.finished);
    // The one-shot form of a finished read returns everything.
    std::optional<std::size_t> count;
    auto whole = reader.read(tree.root(), false, [&](std::error_code error, const FileEntryList &entries) {
        EXPECT_FALSE(error);
        count = entries.size();
    });
    ASSERT_TRUE(test::waitUntil([&] { return count.has_value(); }, 20s));
    EXPECT_EQ(*count, 20000u);
}

TEST(ListingOrdererTest, OrdersLikeApplyAndHonoursCancellation) {
    test::TempTree tree;
    for (const char *name : {"b10", "b9", "A", "a", "z"})
        tree.writeFile(name);
    tree.makeFolder("folder");
    LocalDirectoryReader reader;
    std::optional<FileEntryList> listing;
    auto read =
        reader.read(tree.root(), false, [&](std::error_code, const FileEntryList &e) { listing = e; });
    ASSERT_TRUE(test::waitUntil([&] { return listing.has_value(); }));

    ListingOrderer orderer;
    const FileSort sort{SortColumn::name, true};
    std::optional<std::optional<FileEntryList>> sorted, cancelled;
    auto ticket =
        orderer.order(*listing, sort, [&](std::optional<FileEntryList> r) { sorted = std::move(r); });
    // Both sorting threads busy with long sorts, so the next one is still
    // waiting when it is cancelled.
    std::vector<FileEntry> many;
    for (int i = 0; i < 50000; ++i)
        many.emplace_back("0:" + std::to_string(i), "/x/" + std::to_string(i), "item " + std::to_string(i),
                          false, false, false, i, std::nullopt, "File");
    const FileEntryList large(std::move(many));
    int busyDone = 0;
    auto busy1 = orderer.order(large, sort, [&](std::optional<FileEntryList>) { ++busyDone; });
    auto busy2 = orderer.order(large, sort, [&](std::optional<FileEntryList>) { ++busyDone; });
    auto dropped =
        orderer.order(*listing, sort, [&](std::optional<FileEntryList> r) { cancelled = std::move(r); });
    dropped->cancel();
    ASSERT_TRUE(
        test::waitUntil([&] { return sorted.has_value() && cancelled.has_value() && busyDone == 2; }));
    ASSERT_TRUE(*sorted);
    EXPECT_EQ(**sorted, sort.apply(*listing, ""));
    EXPECT_EQ((**sorted)[0].name(), "folder");
    EXPECT_FALSE(*cancelled);
}

// Names without a dot are told by the few patterns that can match them.
TEST(LocalDirectoryReaderTest, NamesWithoutADotGetTheirKindOnlyWhenAPatternNamesThem) {
    test::TempTree tree;
    for (const char *name : {"Makefile", "README", "ReadMe.first", "notes 12", "backup~", "CMakeLists.txt"})
        tree.writeFile(name);
    LocalDirectoryReader reader;
    Outcome outcome;
    auto read = start(reader, tree.root(), false, outcome);
    ASSERT_TRUE(test::waitUntil([&] { return outcome.finished.has_value(); }));
    std::map<std::string, std::string> kinds;
    for (const FileEntry &entry : outcome.snapshots.back().entries)
        kinds[entry.name()] = entry.kind();
    EXPECT_EQ(kinds["notes 12"], "File");
    for (const char *name : {"Makefile", "README", "backup~", "CMakeLists.txt"})
        EXPECT_NE(kinds[name], "File") << name;
    EXPECT_NE(kinds["Makefile"], kinds["README"]);
}

namespace {

// A FUSE file system whose daemon is gone, the way a stale sshfs or a crashed
// rclone leaves it: mounted on /dev/fuse, then the device closed, so every
// access to it answers ENOTCONN.
class DeadFuseMount {
public:
    explicit DeadFuseMount(const std::string &mountPoint) : m_mountPoint(mountPoint) {
        const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return;
        const std::string options = "fd=" + std::to_string(fd) +
                                    ",rootmode=40000,user_id=" + std::to_string(::getuid()) +
                                    ",group_id=" + std::to_string(::getgid());
        m_mounted =
            ::mount("dead", mountPoint.c_str(), "fuse.dead", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
        ::close(fd); // the daemon is gone
    }
    ~DeadFuseMount() {
        if (m_mounted)
            ::umount2(m_mountPoint.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    std::string m_mountPoint;
    bool m_mounted = false;
};

} // namespace

TEST(LocalDirectoryReaderTest, ABrokenItemIsListedWithWhatIsKnownAndTheFolderReadsCompletely) {
    test::TempTree tree;
    tree.writeSizedFile("before.txt", 10);
    tree.writeFile("after");
    const std::string mountPoint = tree.makeFolder("remote");
    DeadFuseMount dead(mountPoint);
    if (!dead.mounted())
        GTEST_SKIP() << "FUSE mounts are not available here (needs root and /dev/fuse)";
    struct stat info {};
    ASSERT_NE(::stat(mountPoint.c_str(), &info), 0);
    ASSERT_EQ(errno, ENOTCONN) << "the mount must be dead for this test";

    LocalDirectoryReader reader;
    Outcome outcome;
    auto read = start(reader, tree.root(), false, outcome);
    ASSERT_TRUE(test::waitUntil([&] { return outcome.finished.has_value(); }, 30s));
    EXPECT_FALSE(*outcome.finished) << outcome.finished->message();
    ASSERT_FALSE(outcome.snapshots.empty());
    ASSERT_TRUE(outcome.snapshots.back().isComplete);
    std::map<std::string, FileEntry> byName;
    for (const FileEntry &entry : outcome.snapshots.back().entries)
        byName.emplace(entry.name(), entry);
    EXPECT_EQ(byName.size(), 3u);
    ASSERT_TRUE(byName.contains("remote"));
    const FileEntry &remote = byName.at("remote");
    EXPECT_TRUE(remote.isDirectory()) << "the folder entry's type";
    EXPECT_FALSE(remote.modified());
    EXPECT_EQ(byName.at("before.txt").size(), 10);

    // Reading the dead folder itself still fails, with the system's error.
    Outcome itself;
    auto inner = start(reader, mountPoint, false, itself);
    ASSERT_TRUE(test::waitUntil([&] { return itself.finished.has_value(); }));
    EXPECT_EQ(*itself.finished, std::error_code(ENOTCONN, std::system_category()));
}
