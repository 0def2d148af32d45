// The walker on real trees: what it finds, what it must not enter, what it
// reports, and how quickly it stops; and, on a copy of real documentation,
// the same answers as find and grep.
#include "directory/SearchWalker.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

using namespace dromel;

namespace {

struct Outcome {
    std::set<std::string> paths;
    std::vector<SearchHit> hits;
    std::vector<std::chrono::steady_clock::time_point> batchTimes;
    SearchSummary summary;
};

// Runs one search to its end on `walker` (or a walker of its own).
Outcome search(const SearchQuery &query, SearchOptions options = {}, SearchWalker *walker = nullptr) {
    SearchWalker own;
    SearchWalker &used = walker ? *walker : own;
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    Outcome outcome;
    auto run = used.start(
        query, options,
        [&](std::vector<SearchHit> hits) {
            std::lock_guard lock(mutex);
            outcome.batchTimes.push_back(std::chrono::steady_clock::now());
            for (auto &hit : hits) {
                outcome.paths.insert(hit.entry.url());
                outcome.hits.push_back(std::move(hit));
            }
        },
        [&](SearchSummary summary) {
            std::lock_guard lock(mutex);
            outcome.summary = std::move(summary);
            finished = true;
            ended.notify_all();
        });
    std::unique_lock lock(mutex);
    EXPECT_TRUE(ended.wait_for(lock, std::chrono::seconds(60), [&] { return finished; }));
    return outcome;
}

SearchQuery nameQuery(const std::string &text, const std::string &start) {
    SearchQuery query;
    query.text = text;
    query.startFolder = start;
    return query;
}

SearchQuery contentQuery(const std::string &text, const std::string &start) {
    SearchQuery query = nameQuery(text, start);
    query.mode = SearchMode::content;
    return query;
}

// Writes a file, making its folders first.
void put(const test::TempTree &tree, const std::string &relative, const std::string &content = {}) {
    for (std::size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1))
        if (::access(tree.path(relative.substr(0, slash)).c_str(), F_OK) != 0)
            tree.makeFolder(relative.substr(0, slash));
    tree.writeFile(relative, content);
}

std::set<std::string> linesOf(const std::string &command) {
    std::set<std::string> lines;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return lines;
    std::string text;
    char buffer[65536];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, count);
    ::pclose(pipe);
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            lines.insert(text.substr(start, end - start));
    }
    return lines;
}

} // namespace

TEST(SearchWalkerTest, NamesFoldCaseAndAccentsHonourHiddenItemsAndNeverFollowLinks) {
    test::TempTree tree;
    put(tree, "Report.PDF");
    put(tree, "a/b/report-old.pdf");
    put(tree, "a/Résumé.txt");
    put(tree, "a/raw-\xff-report.bin");
    put(tree, ".config/report.pdf");
    put(tree, "a/.report-draft.pdf");
    put(tree, "a/listed-report.txt");
    put(tree, "a/.hidden", "listed-report.txt\n");
    tree.makeSymlink("a/b/loop", "../..");
    tree.makeSymlink("a/report-link", "../Report.PDF");

    EXPECT_EQ(search(nameQuery("REPORT", tree.root())).paths,
              (std::set<std::string>{tree.path("Report.PDF"), tree.path("a/b/report-old.pdf"),
                                     tree.path("a/raw-\xff-report.bin"), tree.path("a/report-link")}));
    EXPECT_EQ(search(nameQuery("resume", tree.root())).paths,
              std::set<std::string>{tree.path("a/Résumé.txt")});

    SearchOptions shown;
    shown.showHidden = true;
    const Outcome glob = search(nameQuery("*.pdf", tree.root()), shown);
    EXPECT_EQ(glob.paths,
              (std::set<std::string>{tree.path("Report.PDF"), tree.path("a/b/report-old.pdf"),
                                     tree.path(".config/report.pdf"), tree.path("a/.report-draft.pdf")}));
    EXPECT_TRUE(glob.summary.problems.empty());
    EXPECT_FALSE(glob.summary.cancelled);
    // The link is a result like any item, with its own metadata, and no
    // folder is read twice through it.
    const Outcome links = search(nameQuery("loop", tree.root()), shown);
    ASSERT_EQ(links.hits.size(), 1u);
    EXPECT_TRUE(links.hits[0].entry.isSymbolicLink());
    EXPECT_EQ(links.summary.foldersRead, 4u); // root, a, a/b, .config and nothing through the link
}

TEST(SearchWalkerTest, ConstraintsNarrowByTypeSizeAndAge) {
    test::TempTree tree;
    put(tree, "photos/beach.jpg", std::string(5000, 'x'));
    put(tree, "photos/beach.JPEG", "x");
    put(tree, "photos/beach notes.txt", std::string(200, 'x'));
    put(tree, "music/beach.ogg", std::string(3000, 'x'));
    put(tree, "beach.tar.gz", std::string(100, 'x'));
    tree.makeFolder("beach");
    tree.setModificationTime("photos/beach.JPEG", 1000000000);

    SearchQuery query = nameQuery("beach", tree.root());
    query.type = SearchType::image;
    EXPECT_EQ(search(query).paths,
              (std::set<std::string>{tree.path("photos/beach.jpg"), tree.path("photos/beach.JPEG")}));
    query.type = SearchType::folder;
    EXPECT_EQ(search(query).paths, std::set<std::string>{tree.path("beach")});
    query.type = SearchType::archive;
    EXPECT_EQ(search(query).paths, std::set<std::string>{tree.path("beach.tar.gz")});
    query.type = SearchType::document;
    EXPECT_EQ(search(query).paths, std::set<std::string>{tree.path("photos/beach notes.txt")});

    query.type = SearchType::any;
    query.sizeAbove = 150;
    query.sizeBelow = 4000;
    EXPECT_EQ(search(query).paths,
              (std::set<std::string>{tree.path("photos/beach notes.txt"), tree.path("music/beach.ogg")}));
    query.sizeAbove.reset();
    query.sizeBelow.reset();
    query.modifiedWithinSeconds = 7 * 24 * 3600;
    EXPECT_EQ(search(query).paths.count(tree.path("photos/beach.JPEG")), 0u);
    EXPECT_EQ(search(query).paths.size(), 5u);
}

TEST(SearchWalkerTest, AnUnreadableFolderIsReportedAndTheRestSearched) {
    test::TempTree tree;
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    put(tree, "open/notes.txt");
    put(tree, "locked/notes.txt");
    put(tree, "zz/notes.txt");
    ASSERT_EQ(::chmod(tree.path("locked").c_str(), 0700), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        SearchWalker walker;
        const Outcome outcome = search(nameQuery("notes", tree.root()), {}, &walker);
        const bool found =
            outcome.paths == std::set<std::string>{tree.path("open/notes.txt"), tree.path("zz/notes.txt")};
        const bool reported = outcome.summary.problems.size() == 1 &&
                              outcome.summary.problems[0].path == tree.path("locked") &&
                              outcome.summary.problems[0].error.value() == EACCES;
        ::_exit(!found ? 11 : !reported ? 12 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10 setuid, 11 results, 12 problem";
}

TEST(SearchWalkerTest, AnotherVolumeIsEnteredOnlyWhenAsked) {
    test::TempTree tree;
    put(tree, "disk-before.txt");
    const std::string mountPoint = tree.makeFolder("mounted-disk");
    ASSERT_EQ(::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1m"), 0) << std::strerror(errno);
    FILE *file = std::fopen((mountPoint + "/disk-inside.txt").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);

    SearchQuery query = nameQuery("disk", tree.root());
    const auto stayed = search(query).paths;
    query.crossVolumes = true;
    const auto crossed = search(query).paths;
    ::umount2(mountPoint.c_str(), MNT_DETACH);

    // The mount point itself is an item of this volume, as with find -xdev.
    EXPECT_EQ(stayed, (std::set<std::string>{tree.path("disk-before.txt"), mountPoint}));
    EXPECT_EQ(crossed, (std::set<std::string>{tree.path("disk-before.txt"), mountPoint,
                                              mountPoint + "/disk-inside.txt"}));
}

TEST(SearchWalkerTest, ACancelEndsTheWalkWithinTheFoldersBeingRead) {
    test::TempTree tree;
    for (int i = 0; i < 200; ++i)
        put(tree, "folder" + std::to_string(i) + "/file" + std::to_string(i));
    std::atomic<int> started{0};
    std::atomic<int> startedAfterCancel{0};
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    SearchSummary summary;
    SearchOptions options;
    options.threads = 4;
    std::unique_ptr<SearchRun> run;
    std::mutex runMutex;
    options.onFolderForTesting = [&](const std::string &) {
        // Every folder waits until start() has returned the run: counted
        // before that, a fast walk could pass 20 with no one able to cancel.
        std::lock_guard lock(runMutex);
        if (cancelled)
            ++startedAfterCancel;
        if (++started == 20) {
            run->cancel();
            cancelled = true;
        }
    };
    {
        SearchWalker walker;
        {
            std::lock_guard lock(runMutex);
            run = walker.start(
                nameQuery("file", tree.root()), options, [](std::vector<SearchHit>) {},
                [&](SearchSummary finalSummary) {
                    std::lock_guard guard(mutex);
                    summary = std::move(finalSummary);
                    finished = true;
                    ended.notify_all();
                });
        }
        std::unique_lock lock(mutex);
        ASSERT_TRUE(ended.wait_for(lock, std::chrono::seconds(30), [&] { return finished; }));
    } // the walker waits for its threads
    EXPECT_TRUE(summary.cancelled);
    // Each thread may have been about to start a folder when the cancel came.
    EXPECT_LE(startedAfterCancel.load(), options.threads);
    EXPECT_LT(started.load(), 20 + options.threads + 1);
}

TEST(SearchWalkerTest, ContentIsFoundIgnoringCaseSkippingBinaryAndLargeFiles) {
    test::TempTree tree;
    put(tree, "plain.txt", "first line\nthe Quick Brown fox\nlast\n");
    put(tree, "utf8.txt", "Äpfel und BIRNEN\n");
    put(tree, "binary.dat", std::string("quick brown\0\x01", 13));
    // Across the reader's block boundary, with the match cut in two.
    put(tree, "deep/straddle.txt", std::string((256 << 10) - 5, 'z') + "QUICK BROWN");
    put(tree, "none.txt", "quick\nbrown\n");

    put(tree, "large.txt", std::string(400 << 10, 'a') + "quick brown");
    SearchOptions options;
    options.contentSizeLimit = 300 << 10;
    const Outcome outcome = search(contentQuery("quick BROWN", tree.root()), options);
    EXPECT_EQ(outcome.paths, (std::set<std::string>{tree.path("plain.txt"), tree.path("deep/straddle.txt")}));
    for (const auto &hit : outcome.hits) {
        if (hit.entry.name() == "plain.txt") {
            EXPECT_EQ(hit.matchLine, "the Quick Brown fox");
        }
    }
    EXPECT_EQ(search(contentQuery("äPFEL", tree.root())).paths, std::set<std::string>{tree.path("utf8.txt")});
}

TEST(SearchWalkerTest, BatchesComeAtMostEveryFiftyMilliseconds) {
    test::TempTree tree;
    for (int i = 0; i < 300; ++i)
        put(tree, "f" + std::to_string(i) + "/match" + std::to_string(i));
    const Outcome outcome = search(nameQuery("match", tree.root()));
    EXPECT_EQ(outcome.paths.size(), 300u);
    for (std::size_t i = 1; i < outcome.batchTimes.size(); ++i)
        EXPECT_GE(outcome.batchTimes[i] - outcome.batchTimes[i - 1], std::chrono::milliseconds(49));
}

// A few thousand real files: the same answers as find (names) and grep
// (contents, binary files skipped).
TEST(SearchWalkerTest, AnswersAsFindAndGrepDoOnRealDocumentation) {
    test::TempTree tree;
    const std::string copy = tree.path("doc");
    ASSERT_EQ(std::system(("cp -a /usr/share/doc " + copy).c_str()), 0);
    SearchOptions options;
    options.showHidden = true;
    options.contentSizeLimit = std::int64_t{1} << 40;

    for (const char *pattern : {"read", "*.gz", "COPYRIGHT", "change?og*"}) {
        auto expected = linesOf("find " + copy + " -mindepth 1 -iname '" +
                                (std::string(pattern).find_first_of("*?") == std::string::npos
                                     ? "*" + std::string(pattern) + "*"
                                     : std::string(pattern)) +
                                "'");
        EXPECT_FALSE(expected.empty()) << pattern;
        EXPECT_EQ(search(nameQuery(pattern, copy), options).paths, expected) << pattern;
    }
    for (const char *text : {"license", "Debian Project", "int main("}) {
        const auto expected = linesOf("LC_ALL=C grep -rlIiF -- '" + std::string(text) + "' " + copy);
        EXPECT_FALSE(expected.empty()) << text;
        EXPECT_EQ(search(contentQuery(text, copy), options).paths, expected) << text;
    }
}
