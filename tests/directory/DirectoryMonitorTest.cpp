#include "directory/DirectoryMonitor.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <QString>
#include <QtCore/QtGlobal>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

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

void touch(const std::string &path) {
    std::FILE *file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr) << path;
    std::fclose(file);
}

} // namespace

TEST(DirectoryMonitorTest, ReportsTheWholeSetOnceAndIgnoresTheSameSetSpelledOtherwise) {
    test::TempTree tree;
    const std::string a = tree.makeFolder("a");
    const std::string b = tree.makeFolder("b");
    Recorder recorder;
    DirectoryMonitor monitor(true, recorder.handler());
    monitor.watch({a, b});
    EXPECT_EQ(recorder.next(0), (Folders{a, b}));
    monitor.watch({a + "/", b + "/x/.."});
    test::spinFor(400ms);
    EXPECT_EQ(recorder.count(), 1u);

    monitor.stop();
    monitor.watch({a});
    EXPECT_EQ(recorder.next(1), (Folders{a}));
}

TEST(DirectoryMonitorTest, AGrowingSetReportsOnlyTheNewFoldersAndKeepsTheOthersWatched) {
    test::TempTree tree;
    const std::string a = tree.makeFolder("a");
    const std::string b = tree.makeFolder("b");
    const std::string c = tree.makeFolder("c");
    Recorder recorder;
    DirectoryMonitor monitor(true, recorder.handler());
    monitor.watch({a, b});
    EXPECT_EQ(recorder.next(0), (Folders{a, b}));
    monitor.watch({a, b, c});
    EXPECT_EQ(recorder.next(1), (Folders{c}));
    monitor.watch({b, c});
    test::spinFor(300ms);
    EXPECT_EQ(recorder.count(), 2u) << "dropping a folder reports nothing";
    tree.writeFile("b/new");
    EXPECT_EQ(recorder.next(2), (Folders{b})) << "a folder that stayed is still watched";

    DirectoryMonitor quiet(true, recorder.handler(), {150ms, 5000ms, false});
    quiet.watch({a});
    tree.writeFile("a/new");
    EXPECT_EQ(recorder.next(3), (Folders{a})) << "watching when watch() returns, without a start report";
}

TEST(DirectoryMonitorTest, WritingToAnOpenFileIsReported) {
    test::TempTree tree;
    const std::string a = tree.makeFolder("a");
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
}

TEST(DirectoryMonitorTest, DirectItemsCountButChangesTwoLevelsDownDoNot) {
    test::TempTree tree;
    const std::string a = tree.makeFolder("a");
    const std::string b = tree.makeFolder("b");
    tree.makeFolder("a/sub");
    Recorder recorder;
    DirectoryMonitor monitor(false, recorder.handler());
    monitor.watch({a, b});
    ASSERT_TRUE(recorder.next(0));

    tree.writeFile("a/sub/deep.txt", "x");
    test::spinFor(500ms);
    EXPECT_EQ(recorder.count(), 1u) << "a grandchild must not report its grandparent";

    tree.writeFile("a/direct.txt", "x");
    EXPECT_EQ(recorder.next(1), (Folders{a}));
}

TEST(DirectoryMonitorTest, ABurstOfChangesIsOneDelivery) {
    test::TempTree tree;
    const std::string a = tree.makeFolder("a");
    Recorder recorder;
    DirectoryMonitor monitor(true, recorder.handler());
    monitor.watch({a});
    ASSERT_TRUE(recorder.next(0));
    for (int i = 0; i < 50; ++i)
        touch(a + "/f" + std::to_string(i));
    EXPECT_EQ(recorder.next(1), (Folders{a}));
    test::spinFor(400ms);
    EXPECT_EQ(recorder.count(), 2u);
}

TEST(DirectoryMonitorTest, RenamingOrDeletingAWatchedFolderIsReported) {
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

        const std::size_t seen = recorder.count();
        std::filesystem::remove(gone);
        const auto deleted = recorder.next(seen);
        ASSERT_TRUE(deleted);
        EXPECT_TRUE(deleted->count(gone));
    }
}

TEST(DirectoryMonitorTest, AFolderThatDoesNotExistYetIsWatchedThroughItsAncestor) {
    test::TempTree tree;
    const std::string target = tree.path("x/y");
    Recorder recorder;
    DirectoryMonitor monitor(false, recorder.handler());
    monitor.watch({target});
    EXPECT_EQ(recorder.next(0), (Folders{target}));

    tree.makeFolder("x");
    EXPECT_EQ(recorder.next(1), (Folders{target}));
    test::spinFor(200ms);
    std::size_t seen = recorder.count();
    tree.makeFolder("x/y");
    EXPECT_EQ(recorder.next(seen), (Folders{target}));
    test::spinFor(200ms);
    seen = recorder.count();
    tree.writeFile("x/y/inside.txt");
    EXPECT_EQ(recorder.next(seen), (Folders{target})) << "the created folder itself is watched now";
}

TEST(DirectoryMonitorTest, APathThroughASymbolicLinkMatchesEventsAtItsTarget) {
    test::TempTree tree;
    tree.makeFolder("real");
    const std::string link = tree.makeSymlink("link", tree.path("real"));
    EXPECT_EQ(DirectoryMonitor::physicalPath(link + "/missing/tail"),
              DirectoryMonitor::physicalPath(tree.path("real")) + "/missing/tail");
    Recorder recorder;
    DirectoryMonitor monitor(true, recorder.handler());
    monitor.watch({link});
    ASSERT_TRUE(recorder.next(0));
    tree.writeFile("real/new.txt");
    EXPECT_EQ(recorder.next(1), (Folders{link}));
}

namespace {
std::mutex g_logMutex;
std::vector<std::string> g_log;
void captureLog(QtMsgType, const QMessageLogContext &, const QString &message) {
    std::lock_guard lock(g_logMutex);
    g_log.push_back(message.toStdString());
}
} // namespace

// Without a free descriptor inotify_init1 fails, as it does when the
// per-user instance limit is reached.
TEST(DirectoryMonitorTest, WithoutInotifyTheWholeSetIsReportedPeriodically) {
    test::TempTree tree;
    const std::string a = tree.makeFolder("a");
    Recorder recorder;
    DirectoryMonitor monitor(true, recorder.handler(), {150ms, 300ms});
    // Let the queue's thread set up its event loop (which needs descriptors) first.
    monitor.watch({tree.root()});
    ASSERT_TRUE(recorder.next(0));
    monitor.stop();
    test::spinFor(100ms);
    // Fill every free descriptor number below the limit: dup() takes the lowest.
    std::vector<int> fillers;
    for (int i = 0; i < 16; ++i)
        fillers.push_back(::dup(0));
    ASSERT_GE(fillers.back(), 0);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(fillers.back() + 1);
    const QtMessageHandler previous = qInstallMessageHandler(captureLog);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    monitor.watch({a});
    const bool reported = test::waitUntil([&] { return recorder.count() >= 2; });
    ::setrlimit(RLIMIT_NOFILE, &saved);
    for (const int fd : fillers)
        ::close(fd);
    qInstallMessageHandler(previous);
    ASSERT_TRUE(reported);
    {
        std::lock_guard lock(g_logMutex);
        EXPECT_EQ(g_log, (std::vector<std::string>{
                             "Dromel: inotify unavailable; using a five-second refresh fallback"}));
    }
    EXPECT_EQ(recorder.at(1), (Folders{a}));
    EXPECT_TRUE(test::waitUntil([&] { return recorder.count() >= 4; }));
    EXPECT_EQ(recorder.at(3), (Folders{a}));
}
