#include "directory/DirectoryMonitor.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <vector>

using namespace dromel;
using namespace std::chrono_literals;

namespace {

using Folders = std::set<std::string>;

// Collects deliveries, which arrive on the monitor's queue.
class Recorder {
public:
    DirectoryMonitor::ChangeHandler handler() {
        return [this](const Folders &folders) {
            std::lock_guard lock(m_mutex);
            m_deliveries.push_back(folders);
        };
    }
    std::size_t count() const {
        std::lock_guard lock(m_mutex);
        return m_deliveries.size();
    }
    Folders at(std::size_t index) const {
        std::lock_guard lock(m_mutex);
        return m_deliveries.at(index);
    }
    // Waits for one more delivery than `seen` and returns it.
    std::optional<Folders> next(std::size_t seen) const {
        if (!test::waitUntil([&] { return count() > seen; }))
            return std::nullopt;
        return at(seen);
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Folders> m_deliveries;
};

} // namespace

TEST(DirectoryMonitorTest, WatchSetChangesReportOnlyNewFoldersAndSpellingsDoNotCount) {
    test::TempTree tree;
    const std::string a = tree.makeFolder("a");
    const std::string b = tree.makeFolder("b");
    tree.makeFolder("real");
    const std::string link = tree.makeSymlink("c", tree.path("real"));
    Recorder recorder;
    DirectoryMonitor monitor(true, recorder.handler());
    monitor.watch({a, b});
    EXPECT_EQ(recorder.next(0), (Folders{a, b}));
    monitor.watch({a + "/", b + "/x/.."});
    monitor.watch({a, b, link});
    EXPECT_EQ(recorder.next(1), (Folders{link})) << "the same set spelled otherwise reports nothing";
    monitor.watch({b, link});
    test::spinFor(300ms);
    EXPECT_EQ(recorder.count(), 2u) << "dropping a folder reports nothing";
    tree.writeFile("b/new");
    EXPECT_EQ(recorder.next(2), (Folders{b})) << "a folder that stayed is still watched";
    tree.writeFile("real/new.txt");
    EXPECT_EQ(recorder.next(3), (Folders{link})) << "events at a link's target match the link";

    DirectoryMonitor quiet(true, recorder.handler(), {150ms, 5000ms, false});
    quiet.watch({a});
    tree.writeFile("a/new");
    EXPECT_EQ(recorder.next(4), (Folders{a})) << "watching when watch() returns, without a start report";
}

TEST(DirectoryMonitorTest, OpenFileWritesAndBurstsReportOnceAndGrandchildrenNever) {
    test::TempTree tree;
    const std::string a = tree.makeFolder("a");
    tree.makeFolder("a/sub");
    std::FILE *log = std::fopen(tree.path("a/log").c_str(), "w");
    ASSERT_NE(log, nullptr);
    Recorder recorder;
    DirectoryMonitor monitor(false, recorder.handler());
    monitor.watch({a});
    ASSERT_TRUE(recorder.next(0));
    std::fputs("a line\n", log);
    std::fflush(log);
    EXPECT_EQ(recorder.next(1), (Folders{a})) << "the size changed before the file is closed";
    std::fclose(log);
    test::spinFor(300ms);

    const std::size_t seen = recorder.count();
    tree.writeFile("a/sub/deep.txt", "x");
    test::spinFor(400ms);
    EXPECT_EQ(recorder.count(), seen) << "a grandchild must not report its grandparent";
    for (int i = 0; i < 50; ++i)
        tree.writeFile("a/f" + std::to_string(i));
    EXPECT_EQ(recorder.next(seen), (Folders{a}));
    test::spinFor(400ms);
    EXPECT_EQ(recorder.count(), seen + 1) << "a burst is one delivery";
}

TEST(DirectoryMonitorTest, RenamingDeletingAndRecreatingAWatchedFolderIsReported) {
    for (const bool parentChanges : {true, false}) {
        SCOPED_TRACE(parentChanges ? "with parent changes" : "without parent changes");
        test::TempTree tree;
        const std::string a = tree.makeFolder("a");
        const std::string gone = tree.makeFolder("gone");
        Recorder recorder;
        DirectoryMonitor monitor(parentChanges, recorder.handler());
        monitor.watch({a, gone});
        ASSERT_TRUE(recorder.next(0));

        std::filesystem::rename(a, tree.path("renamed"));
        const auto renamed = recorder.next(1);
        ASSERT_TRUE(renamed);
        EXPECT_TRUE(renamed->count(a));

        std::size_t seen = recorder.count();
        std::filesystem::remove(gone);
        const auto deleted = recorder.next(seen);
        ASSERT_TRUE(deleted);
        EXPECT_TRUE(deleted->count(gone));

        // A folder that does not exist (any more) is watched through its parent.
        test::spinFor(200ms);
        seen = recorder.count();
        tree.makeFolder("gone");
        EXPECT_TRUE(recorder.next(seen).value_or(Folders{}).count(gone));
        test::spinFor(200ms);
        seen = recorder.count();
        tree.writeFile("gone/inside.txt");
        EXPECT_TRUE(recorder.next(seen).value_or(Folders{}).count(gone))
            << "the created folder is watched now";
    }
}
