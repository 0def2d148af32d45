// The store against the real reader, orderer and monitor on real folders.
#include "browser/BrowserStore.h"

#include "core/StatePaths.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

using namespace dromel;
using namespace std::chrono_literals;
using Change = BrowserStore::Change;
using Navigation = BrowserStore::Navigation;

namespace {

// Every notice in order, as short words, plus what the active tab looked like
// at each content notice.
struct Recorder {
    std::vector<std::string> notices;
    std::vector<std::pair<std::string, bool>> contents; // folder, loading

    void attach(BrowserStore &store) {
        store.onChange = [this, &store](Change change) {
            static const char *const names[] = {"content", "selection", "chrome"};
            notices.emplace_back(names[static_cast<int>(change)]);
            if (change == Change::content)
                contents.emplace_back(store.current().url(), store.current().loading);
        };
        store.onSessionChanged = [this](const BrowserSession &) { notices.emplace_back("session"); };
        store.onHiddenChanged = [this](bool value) {
            notices.emplace_back(value ? "hidden on" : "hidden off");
        };
    }
    std::vector<std::string> take() { return std::exchange(notices, {}); }
};

using Words = std::vector<std::string>;

// The real reader, counting the reads it is asked for, per folder.
class CountingReader : public DirectoryReading {
public:
    std::unique_ptr<DirectoryRead> snapshots(const std::string &folder, bool showHidden,
                                             SnapshotHandler onSnapshot, FinishHandler onFinish) override {
        ++reads[folder];
        return m_reader.snapshots(folder, showHidden, std::move(onSnapshot), std::move(onFinish));
    }
    std::map<std::string, int> reads;

private:
    LocalDirectoryReader m_reader;
};

class BrowserStoreTest : public ::testing::Test {
protected:
    bool settled(BrowserStore &store) {
        return test::waitUntil([&] {
            return std::none_of(store.tabs().begin(), store.tabs().end(),
                                [](const BrowserTab &t) { return t.loading; });
        });
    }
    std::string idOf(const BrowserTab &tab, const std::string &name) {
        for (const FileEntry &entry : tab.entries())
            if (entry.name() == name)
                return entry.id();
        ADD_FAILURE() << name << " is not listed";
        return {};
    }

    test::TempTree tree;
    LocalDirectoryReader reader;
    ListingOrderer orderer;
    Recorder recorder;
};

} // namespace

TEST_F(BrowserStoreTest, TabLimitCloseAndSwitchRules) {
    const std::string folder = tree.makeFolder("f");
    tree.writeFile("f/file");
    BrowserStore store({folder}, 0, reader, orderer);
    recorder.attach(store);

    store.addTab();
    EXPECT_EQ((Words{"content", "session", "chrome"}), recorder.take()) << "the new tab is read at once";
    EXPECT_EQ(store.current().url(), folder);
    ASSERT_TRUE(settled(store));
    EXPECT_EQ(store.current().entries().size(), 1u);

    while (store.tabs().size() < BrowserStore::kMaximumTabs)
        store.addTab(tree.root());
    ASSERT_TRUE(settled(store));
    recorder.take();
    store.addTab();
    EXPECT_EQ(store.tabs().size(), 50u);
    EXPECT_EQ(Words{"chrome"}, recorder.take());
    EXPECT_EQ(store.current().error, BrowserIssue::tooManyTabs());

    // Closing: last position → left neighbour, middle → right neighbour,
    // inactive → the active one stays.
    const auto idAt = [&](std::size_t i) { return store.tabs()[i].id; };
    const Uuid left = idAt(48);
    store.closeTab(idAt(49));
    EXPECT_EQ(store.activeID(), left);
    store.switchTab(idAt(10));
    const Uuid right = idAt(11);
    store.closeTab(idAt(10));
    EXPECT_EQ(store.activeID(), right);
    store.closeTab(idAt(0));
    EXPECT_EQ(store.activeID(), right);
    EXPECT_EQ(store.tabs().size(), 47u);

    BrowserStore single({folder}, 0, reader, orderer);
    recorder.attach(single);
    recorder.take();
    single.switchTab(single.activeID());
    single.closeTab(Uuid::random());
    single.closeTab(single.activeID());
    single.nextTab(false);
    EXPECT_EQ(single.tabs().size(), 1u);
    EXPECT_TRUE(recorder.take().empty())
        << "the last tab stays; unknown ids, the active tab and cycling one tab are silent";
}

TEST_F(BrowserStoreTest, NavigationShowsBatchesThenTheOrderedListingAndHistoryOnce) {
    const std::string big = tree.makeFolder("big");
    for (int i = 0; i < 1000; ++i)
        tree.writeFile("big/item" + std::to_string(i));
    BrowserStore store({tree.root()}, 0, reader, orderer);
    recorder.attach(store);

    store.navigate(big, Navigation::visit);
    EXPECT_TRUE(store.current().loading);
    ASSERT_TRUE(settled(store));
    EXPECT_EQ(store.current().entries().size(), 1000u);
    EXPECT_EQ(store.current().history.locations, (std::vector<std::string>{tree.root(), big}));
    ASSERT_GE(recorder.contents.size(), 2u) << "a first batch, then the complete listing";
    EXPECT_EQ(recorder.contents.front(), std::make_pair(big, true));
    EXPECT_EQ(recorder.contents.back(), std::make_pair(big, false));
    const auto &visible = store.current().visibleEntries();
    EXPECT_TRUE(std::is_sorted(visible.begin(), visible.end(), [](const FileEntry &a, const FileEntry &b) {
        return FileSort::compareNames(a.name(), b.name()) < 0;
    }));

    // Unchanged on refresh: only chrome, and the listing is not reloaded.
    recorder.take();
    store.refresh();
    ASSERT_TRUE(settled(store));
    EXPECT_EQ((Words{"chrome", "session", "chrome"}), recorder.take());

    store.goForward();
    EXPECT_TRUE(recorder.take().empty()) << "no forward location";
    store.goBack();
    ASSERT_TRUE(settled(store));
    EXPECT_EQ(store.current().url(), tree.root());
    EXPECT_EQ(store.current().history.index, 0u);
    store.goBack();
    EXPECT_FALSE(store.current().loading) << "no back location";
}

TEST_F(BrowserStoreTest, OnlyTheSecondOfTwoQuickNavigationsAppears) {
    const std::string first = tree.makeFolder("first");
    const std::string second = tree.makeFolder("second");
    for (int i = 0; i < 300; ++i)
        tree.writeFile("first/f" + std::to_string(i));
    tree.writeFile("second/s");
    BrowserStore store({tree.root()}, 0, reader, orderer);
    recorder.attach(store);

    store.navigate(first, Navigation::visit);
    store.navigate(second, Navigation::visit);
    ASSERT_TRUE(settled(store));
    test::spinFor(100ms);
    for (const auto &[folder, loading] : recorder.contents)
        EXPECT_EQ(folder, second);
    EXPECT_EQ(store.current().history.locations, (std::vector<std::string>{tree.root(), second}));
    EXPECT_EQ(store.current().entries().size(), 1u);
}

TEST_F(BrowserStoreTest, AFailedNavigationLeavesTheTabAsItWas) {
    tree.writeFile("listed");
    const std::string file = tree.writeFile("plain.txt");
    BrowserStore store({tree.root()}, 0, reader, orderer);
    store.refresh();
    ASSERT_TRUE(settled(store));
    const BrowserTab before = store.current();
    recorder.attach(store);

    for (const std::string &target : {file, tree.path("missing")}) {
        store.navigate(target, Navigation::visit);
        ASSERT_TRUE(settled(store));
        EXPECT_EQ((Words{"chrome", "chrome"}), recorder.take());
        const BrowserTab &after = store.current();
        ASSERT_TRUE(after.error);
        const auto *issue = std::get_if<BrowserIssue::DirectoryRead>(&after.error->value);
        ASSERT_TRUE(issue);
        EXPECT_EQ(issue->path, target);
        EXPECT_FALSE(issue->detail.empty());
        EXPECT_EQ(after.history, before.history);
        EXPECT_EQ(after.entries(), before.entries());
    }
    EXPECT_EQ(store.watchedFolders(), std::set<std::string>{tree.root()})
        << "the failed target is not watched";
}

TEST_F(BrowserStoreTest, GoingUpSelectsTheFolderCameFrom) {
    const std::string child = tree.makeFolder("child");
    for (int i = 0; i < 50; ++i)
        tree.writeFile("a" + std::to_string(i));
    BrowserStore store({child}, 0, reader, orderer);
    store.goUp();
    ASSERT_TRUE(settled(store));
    EXPECT_EQ(store.current().url(), tree.root());
    EXPECT_EQ(store.current().selection, std::set<std::string>{idOf(store.current(), "child")});
    ASSERT_EQ(store.selected().size(), 1u);
    EXPECT_EQ(store.selected()[0].name(), "child");

    BrowserStore root({"/"}, 0, reader, orderer);
    root.goUp();
    EXPECT_FALSE(root.current().loading) << "the root has no parent";
}

TEST_F(BrowserStoreTest, SelectionFilterAndScroll) {
    for (const char *name : {"apple", "banana", "cherry"})
        tree.writeFile(name);
    BrowserStore store({tree.root()}, 0, reader, orderer);
    store.refresh();
    ASSERT_TRUE(settled(store));
    recorder.attach(store);
    const std::string apple = idOf(store.current(), "apple");
    const std::string banana = idOf(store.current(), "banana");

    store.select({apple, banana, "0:0:not-listed"});
    EXPECT_EQ(store.current().selection, (std::set<std::string>{apple, banana}));
    EXPECT_EQ((Words{"selection", "session"}), recorder.take());

    store.filter("APP");
    EXPECT_EQ(store.current().visibleEntries().size(), 1u);
    EXPECT_EQ(store.current().selection, std::set<std::string>{apple});
    EXPECT_EQ((Words{"content", "session"}), recorder.take());
    store.filter("");
    EXPECT_EQ(store.current().selection, std::set<std::string>{apple})
        << "a filtered-out item stays deselected";
    recorder.take();

    store.saveScroll(120);
    store.saveScroll(120);
    store.saveScroll(std::nan(""));
    EXPECT_EQ(Words{"session"}, recorder.take());
    store.saveScroll(-5);
    EXPECT_EQ(store.current().scrollOffset, 0);

    store.addTab(tree.makeFolder("empty"));
    ASSERT_TRUE(settled(store));
    recorder.take();
    store.saveScroll(40);
    EXPECT_TRUE(recorder.take().empty()) << "an empty list keeps its saved position";
}

TEST_F(BrowserStoreTest, SortIsSavedThenAppliedInTheBackground) {
    tree.writeSizedFile("small", 10);
    tree.writeSizedFile("large", 1000);
    tree.writeSizedFile("middle", 100);
    BrowserStore store({tree.root()}, 0, reader, orderer);
    store.refresh();
    ASSERT_TRUE(settled(store));
    recorder.attach(store);

    store.sort(FileSort{SortColumn::size, false});
    EXPECT_TRUE(store.current().arranging);
    EXPECT_EQ((Words{"session", "chrome"}), recorder.take());
    ASSERT_TRUE(test::waitUntil([&] { return !store.current().arranging; }));
    EXPECT_EQ(Words{"content"}, recorder.take());
    std::vector<std::string> names;
    for (const FileEntry &entry : store.current().visibleEntries())
        names.push_back(entry.name());
    EXPECT_EQ(names, (std::vector<std::string>{"large", "middle", "small"}));
}

TEST_F(BrowserStoreTest, HiddenItemsReloadTheActiveTabAndEmptyTheOthers) {
    tree.writeFile(".secret");
    tree.writeFile("shown");
    const std::string other = tree.makeFolder("other");
    tree.writeFile("other/x");
    BrowserStore store({other, tree.root()}, 1, reader, orderer);
    store.refresh();
    ASSERT_TRUE(settled(store));
    store.switchTab(store.tabs()[0].id);
    ASSERT_TRUE(settled(store));
    store.switchTab(store.tabs()[1].id);
    recorder.attach(store);

    store.setShowHidden(true);
    EXPECT_EQ((Words{"hidden on", "chrome"}), recorder.take());
    EXPECT_TRUE(store.tabs()[0].entries().empty());
    EXPECT_EQ(store.current().entries().size(), 2u) << "the shown list stays until the new one is complete";
    ASSERT_TRUE(settled(store));
    EXPECT_EQ(store.current().entries().size(), 3u);
    EXPECT_EQ((Words{"session", "content"}), recorder.take()) << "replaced once, when complete";

    store.switchTab(store.tabs()[0].id);
    ASSERT_TRUE(settled(store));
    EXPECT_EQ(store.current().entries().size(), 1u);
}

TEST_F(BrowserStoreTest, RestoredSelectionIsReportedThenAppliedAndPruned) {
    tree.writeFile("kept");
    const std::string folder = tree.root();
    std::string keptID;
    {
        BrowserStore probe({folder}, 0, reader, orderer);
        probe.refresh();
        ASSERT_TRUE(settled(probe));
        keptID = idOf(probe.current(), "kept");
    }
    const std::set<std::string> saved{keptID, "1:2:gone"};
    const BrowserSession session(
        {TabSession({folder}, 0, "", FileSort{}, saved, 30), TabSession({"/"}, 0, "", FileSort{}, {}, 0)}, 0);
    BrowserStore store(session, reader, orderer);
    EXPECT_EQ(store.session().tabs[0].selection, saved) << "reported before anything is read";
    EXPECT_EQ(store.session().tabs[0].scrollOffset, 30);

    store.refresh();
    ASSERT_TRUE(settled(store));
    EXPECT_EQ(store.current().selection, std::set<std::string>{keptID});
    EXPECT_EQ(store.session().tabs[0].selection, std::set<std::string>{keptID});
    EXPECT_EQ(store.current().scrollOffset, 30) << "a refresh keeps the restored position";
}

TEST_F(BrowserStoreTest, TheMonitorRefreshesIdleTabsShowingAChangedFolder) {
    const std::string shown = tree.makeFolder("shown");
    const std::string elsewhere = tree.makeFolder("elsewhere");
    BrowserStore store({shown}, 0, reader, orderer);
    store.startMonitoring();
    store.refresh();
    ASSERT_TRUE(settled(store));
    EXPECT_EQ(store.watchedFolders(), std::set<std::string>{shown});
    test::spinFor(300ms); // the first report of a new watch set
    recorder.attach(store);

    tree.writeFile("elsewhere/unseen");
    test::spinFor(400ms);
    EXPECT_TRUE(recorder.take().empty()) << elsewhere << " is not shown by any tab";

    tree.writeFile("shown/new");
    ASSERT_TRUE(test::waitUntil([&] { return store.current().entries().size() == 1; }));
    EXPECT_FALSE(store.current().loading);

    store.stopMonitoring();
    tree.writeFile("shown/later");
    test::spinFor(400ms);
    EXPECT_EQ(store.current().entries().size(), 1u) << "no events after stopMonitoring";
}

TEST_F(BrowserStoreTest, ANavigationReadsItsDestinationOnceAndNoOtherTab) {
    std::vector<std::string> folders;
    for (int i = 0; i < 5; ++i) {
        folders.push_back(tree.makeFolder("tab" + std::to_string(i)));
        tree.writeFile("tab" + std::to_string(i) + "/item");
    }
    const std::string destination = tree.makeFolder("destination");
    tree.writeFile("destination/item");
    CountingReader counting;
    BrowserStore store(folders, 0, counting, orderer);
    store.startMonitoring();
    for (const BrowserTab &tab : std::vector<BrowserTab>(store.tabs())) {
        store.switchTab(tab.id);
        ASSERT_TRUE(settled(store));
    }
    test::spinFor(500ms); // any report of the watch set would have come by now
    counting.reads.clear();

    store.navigate(destination, Navigation::visit);
    ASSERT_TRUE(settled(store));
    test::spinFor(500ms);
    EXPECT_EQ(counting.reads, (std::map<std::string, int>{{destination, 1}}));

    // The guarantee stays: a change after the watch began is seen.
    tree.writeFile("destination/later");
    ASSERT_TRUE(test::waitUntil([&] { return store.current().entries().size() == 2; }));
}

TEST_F(BrowserStoreTest, AFileStillBeingWrittenShowsItsGrowingSize) {
    BrowserStore store({tree.root()}, 0, reader, orderer);
    std::FILE *download = std::fopen(tree.path("download.part").c_str(), "w");
    ASSERT_NE(download, nullptr);
    store.startMonitoring();
    store.refresh();
    ASSERT_TRUE(settled(store));
    const auto sizeShown = [&] {
        const auto &entries = store.current().entries();
        return entries.empty() ? std::optional<std::int64_t>() : entries[0].size();
    };
    EXPECT_EQ(sizeShown(), 0);
    std::fputs("first bytes", download);
    std::fflush(download);
    EXPECT_TRUE(test::waitUntil([&] { return sizeShown() == 11; })) << "the file is still open";
    std::fclose(download);
}
