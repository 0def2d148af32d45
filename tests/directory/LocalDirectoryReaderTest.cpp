#include "directory/LocalDirectoryReader.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <map>

using namespace dromel;
using namespace std::chrono_literals;

namespace {

struct Outcome {
    std::vector<DirectorySnapshot> snapshots;
    std::optional<std::error_code> finished;

    std::map<std::string, FileEntry> byName() const {
        std::map<std::string, FileEntry> entries;
        for (const FileEntry &entry : snapshots.back().entries)
            entries.emplace(entry.name(), entry);
        return entries;
    }
};

std::unique_ptr<DirectoryRead> start(LocalDirectoryReader &reader, const std::string &folder, bool hidden,
                                     Outcome &outcome) {
    return reader.snapshots(
        folder, hidden, [&](const DirectorySnapshot &snapshot) { outcome.snapshots.push_back(snapshot); },
        [&](std::error_code error) { outcome.finished = error; });
}

} // namespace

TEST(LocalDirectoryReaderTest, EmptyFoldersAndErrorsEndWithOneAnswer) {
    test::TempTree tree;
    const std::string file = tree.writeFile("plain");
    const std::string empty = tree.makeFolder("empty");
    LocalDirectoryReader reader;
    Outcome none, notFolder, missing;
    auto a = start(reader, empty, false, none);
    auto b = start(reader, file, false, notFolder);
    auto c = start(reader, tree.path("nope"), false, missing);
    ASSERT_TRUE(test::waitUntil([&] { return none.finished && notFolder.finished && missing.finished; }));
    EXPECT_FALSE(*none.finished);
    ASSERT_EQ(none.snapshots.size(), 1u);
    EXPECT_TRUE(none.snapshots[0].isComplete);
    EXPECT_TRUE(none.snapshots[0].entries.empty());
    EXPECT_EQ(notFolder.finished->value(), ENOTDIR);
    EXPECT_EQ(missing.finished->value(), ENOENT);
    EXPECT_TRUE(notFolder.snapshots.empty());
}

TEST(LocalDirectoryReaderTest, BatchesGrowToACompleteListingWithTheFactsAndAnEndedReadIsSilent) {
    test::TempTree tree;
    for (int i = 0; i < 1000; ++i)
        tree.writeFile("f" + std::to_string(i) + ".txt");
    tree.makeFolder("sub");
    tree.writeFile("a.txt", "hello");
    tree.makeSymlink("link", "sub");
    tree.writeFile("caf\xE9");
    tree.writeFile(".hidden");
    LocalDirectoryReader reader;
    Outcome ended, outcome, all;
    start(reader, tree.root(), false, ended).reset();
    auto read = start(reader, tree.root(), false, outcome);
    auto readAll = start(reader, tree.root(), true, all);
    ASSERT_TRUE(test::waitUntil([&] { return outcome.finished && all.finished; }, 20s));
    ASSERT_FALSE(*outcome.finished);
    EXPECT_EQ(all.snapshots.back().entries.size(), 1005u);
    const auto &last = outcome.snapshots.back();
    EXPECT_TRUE(last.isComplete);
    ASSERT_EQ(last.entries.size(), 1004u);
    for (std::size_t i = 0; i + 1 < outcome.snapshots.size(); ++i) {
        EXPECT_FALSE(outcome.snapshots[i].isComplete);
        EXPECT_LE(outcome.snapshots[i].entries.size(), outcome.snapshots[i + 1].entries.size());
    }
    EXPECT_FALSE(ended.finished) << "an ended read stays silent";
    const auto byName = outcome.byName();
    EXPECT_TRUE(byName.contains("caf\xE9"));
    EXPECT_TRUE(byName.at("sub").isDirectory());
    EXPECT_EQ(byName.at("sub").kind(), "Folder");
    EXPECT_FALSE(byName.at("sub").size());
    EXPECT_EQ(byName.at("a.txt").size(), 5);
    EXPECT_NE(byName.at("a.txt").kind(), "File");
    EXPECT_EQ(byName.at("a.txt").url(), tree.path("a.txt"));
    EXPECT_TRUE(byName.at("link").isSymbolicLink());
    EXPECT_TRUE(byName.at("link").isNavigable());
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
    const auto byName = outcome.byName();
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
