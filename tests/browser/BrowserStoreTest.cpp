// The store against the real reader, orderer and monitor on real folders.
#include "browser/BrowserStore.h"
#include "support/CountingReader.h"

#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "support/Listing.h"
#include "support/StoreSettled.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>

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
    }
    std::vector<std::string> take() { return std::exchange(notices, {}); }
};

using Words = std::vector<std::string>;

using test::CountingReader;

class BrowserStoreTest : public ::testing::Test {
protected:
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
    ASSERT_TRUE(test::settled(store));
    EXPECT_EQ(store.current().entries().size(), 1u);

    while (store.tabs().size() < BrowserStore::kMaximumTabs)
        store.addTab(tree.root());
    ASSERT_TRUE(test::settled(store));
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
    single.closeTab(Uuid::random());
    single.closeTab(single.activeID());
    single.nextTab(false);
    EXPECT_EQ(single.tabs().size(), 1u);
    EXPECT_TRUE(recorder.take().empty()) << "the last tab stays; unknown ids and cycling one tab are silent";
}

TEST_F(BrowserStoreTest, MovingTabsReordersThemAndTheSession) {
    const std::string a = tree.makeFolder("a");
    const std::string b = tree.makeFolder("b");
    const std::string c = tree.makeFolder("c");
    BrowserStore store({a, b, c}, 1, reader, orderer);
    std::vector<BrowserSession> sessions;
    recorder.attach(store);
    store.onSessionChanged = [&](const BrowserSession &session) {
        recorder.notices.emplace_back("session");
        sessions.push_back(session);
    };
    const auto folders = [&] {
        std::vector<std::string> urls;
        for (const BrowserTab &tab : store.tabs())
            urls.push_back(tab.url());
        return urls;
    };
    const Uuid idA = store.tabs()[0].id;
    const Uuid idB = store.tabs()[1].id;

    store.moveTab(idA, 2);
    EXPECT_EQ(folders(), (std::vector<std::string>{b, c, a}));
    EXPECT_EQ((Words{"chrome", "session"}), recorder.take()) << "no listing is reloaded";
    EXPECT_EQ(store.activeID(), idB) << "the active tab stays active";
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions.back().paths(), (std::vector<std::string>{b, c, a}));
    EXPECT_EQ(sessions.back().activeIndex, 0) << "the saved active index follows its tab";

    store.moveTab(idA, 0);
    EXPECT_EQ(folders(), (std::vector<std::string>{a, b, c}));
    EXPECT_EQ(sessions.back().activeIndex, 1);
    store.moveTab(idB, 99);
    EXPECT_EQ(folders(), (std::vector<std::string>{a, c, b})) << "a position past the end is the last place";
    recorder.take();

    store.moveTab(idB, 2);
    store.moveTab(Uuid::random(), 0);
    EXPECT_TRUE(recorder.take().empty()) << "no move, no notice";

    // A session taken after the move restores the new order.
    BrowserStore restored(store.session(), reader, orderer);
    std::vector<std::string> urls;
    for (const BrowserTab &tab : restored.tabs())
        urls.push_back(tab.url());
    EXPECT_EQ(urls, (std::vector<std::string>{a, c, b}));
    EXPECT_EQ(restored.current().url(), b);
}

TEST_F(BrowserStoreTest, LargeListingsGetPreparedNamesForTheFilter) {
    const std::string big = tree.makeFolder("big");
    for (std::size_t i = 0; i < BrowserStore::kFilterIndexMinimum + 100; ++i)
        tree.writeFile("big/Item " + std::to_string(i) + (i % 3 ? ".txt" : ".PNG"));
    BrowserStore store({big}, 0, reader, orderer);
    store.refresh();
    ASSERT_TRUE(test::settled(store));
    ASSERT_TRUE(test::waitUntil([&] { return store.current().hasFilterIndex(); }));
    const auto filterAndCompare = [&](const std::string &filter) {
        store.filter(filter);
        EXPECT_EQ(test::namesOf(store.current().visibleEntries()),
                  test::namesOf(FileSort::filtered(store.current().orderedEntries(), filter)))
            << "filter " << filter;
    };
    for (const std::string filter : {"1", "12", "12.", "png", "item 2", "ITEM 21", "x", "7.t", ""})
        filterAndCompare(filter);

    // A new order drops the prepared names until they are made for it.
    store.sort(FileSort{SortColumn::name, false});
    ASSERT_TRUE(test::settled(store));
    ASSERT_TRUE(test::waitUntil([&] { return store.current().hasFilterIndex(); }));
    filterAndCompare("9");
    EXPECT_EQ(store.current().visibleEntries()[0].name(), "Item 2099.txt");

    // Small folders filter entry by entry.
    store.navigate(tree.root(), Navigation::visit);
    ASSERT_TRUE(test::settled(store));
    EXPECT_FALSE(store.current().hasFilterIndex());
}

TEST_F(BrowserStoreTest, NavigationShowsBatchesThenTheOrderedListingAndHistoryOnce) {
    const std::string big = tree.makeFolder("big");
    for (int i = 0; i < 1000; ++i)
        tree.writeFile("big/item" + std::to_string(i));
    BrowserStore store({tree.root()}, 0, reader, orderer);
    recorder.attach(store);

    store.navigate(big, Navigation::visit);
    EXPECT_TRUE(store.current().loading);
    ASSERT_TRUE(test::settled(store));
    EXPECT_EQ(store.current().entries().size(), 1000u);
    EXPECT_EQ(store.current().history.locations, (std::vector<std::string>{tree.root(), big}));
    ASSERT_GE(recorder.contents.size(), 2u) << "a first batch, then the complete listing";
    EXPECT_EQ(recorder.contents.front(), std::make_pair(big, true));
    EXPECT_EQ(recorder.contents.back(), std::make_pair(big, false));

    // Unchanged on refresh: only chrome, and the listing is not reloaded.
    recorder.take();
    store.refresh();
    ASSERT_TRUE(test::settled(store));
    EXPECT_EQ((Words{"chrome", "session", "chrome"}), recorder.take());

    store.goForward();
    EXPECT_TRUE(recorder.take().empty()) << "no forward location";
    store.goBack();
    ASSERT_TRUE(test::settled(store));
    EXPECT_EQ(store.current().url(), tree.root());
    EXPECT_EQ(store.current().history.index, 0u);
    store.goBack();
    EXPECT_FALSE(store.current().loading) << "no back location";

    store.goForward();
    ASSERT_TRUE(test::settled(store));
    store.goUp();
    ASSERT_TRUE(test::settled(store));
    EXPECT_EQ(store.current().url(), tree.root());
    EXPECT_EQ(store.current().selection, std::set<std::string>{idOf(store.current(), "big")})
        << "going up selects the folder it came from";
    BrowserStore root({"/"}, 0, reader, orderer);
    root.goUp();
    EXPECT_FALSE(root.current().loading) << "the root has no parent";
}

TEST_F(BrowserStoreTest, OnlyTheLastOfQuickNavigationsAppearsAndAFailedOneChangesNothing) {
    const std::string first = tree.makeFolder("first");
    const std::string second = tree.makeFolder("second");
    for (int i = 0; i < 300; ++i)
        tree.writeFile("first/f" + std::to_string(i));
    tree.writeFile("second/s");
    const std::string file = tree.writeFile("plain.txt");
    BrowserStore store({tree.root()}, 0, reader, orderer);
    recorder.attach(store);
    store.navigate(first, Navigation::visit);
    store.navigate(second, Navigation::visit);
    ASSERT_TRUE(test::settled(store));
    test::spinFor(100ms);
    for (const auto &[folder, loading] : recorder.contents)
        EXPECT_EQ(folder, second);
    EXPECT_EQ(store.current().history.locations, (std::vector<std::string>{tree.root(), second}));
    EXPECT_EQ(store.current().entries().size(), 1u);

    const BrowserTab before = store.current();
    recorder.take();
    for (const std::string &target : {file, tree.path("missing")}) {
        store.navigate(target, Navigation::visit);
        ASSERT_TRUE(test::settled(store));
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
    EXPECT_EQ(store.watchedFolders(), std::set<std::string>{second}) << "a failed target is not watched";
}

TEST_F(BrowserStoreTest, SelectionFilterScrollAndSort) {
    tree.writeSizedFile("apple", 10);
    tree.writeSizedFile("banana", 1000);
    tree.writeSizedFile("cherry", 100);
    BrowserStore store({tree.root()}, 0, reader, orderer);
    store.refresh();
    ASSERT_TRUE(test::settled(store));
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
    recorder.take();

    store.sort(FileSort{SortColumn::size, false});
    EXPECT_TRUE(store.current().arranging);
    EXPECT_EQ((Words{"session", "chrome"}), recorder.take()) << "saved, then applied in the background";
    ASSERT_TRUE(test::waitUntil([&] { return !store.current().arranging; }));
    EXPECT_EQ(Words{"content"}, recorder.take());
    EXPECT_EQ(test::namesOf(store.current().visibleEntries()),
              (std::vector<std::string>{"banana", "cherry", "apple"}));
}

TEST_F(BrowserStoreTest, ANavigationReadsOnlyItsDestinationOnceAndTheMonitorRefreshesIt) {
    std::vector<std::string> folders;
    for (int i = 0; i < 5; ++i) {
        folders.push_back(tree.makeFolder("tab" + std::to_string(i)));
        tree.writeFile("tab" + std::to_string(i) + "/item");
    }
    const std::string destination = tree.makeFolder("destination");
    std::FILE *download = std::fopen(tree.path("destination/download.part").c_str(), "w");
    ASSERT_NE(download, nullptr);
    CountingReader counting;
    BrowserStore store(folders, 0, counting, orderer);
    store.startMonitoring();
    for (const BrowserTab &tab : std::vector<BrowserTab>(store.tabs())) {
        store.switchTab(tab.id);
        ASSERT_TRUE(test::settled(store));
    }
    test::spinFor(500ms); // any report of the watch set would have come by now
    counting.reads.clear();

    store.navigate(destination, Navigation::visit);
    ASSERT_TRUE(test::settled(store));
    test::spinFor(500ms);
    EXPECT_EQ(counting.reads, (std::map<std::string, int>{{destination, 1}}));

    // The guarantee stays: a change after the watch began is seen, even to a
    // file still open for writing.
    std::fputs("first bytes", download);
    std::fflush(download);
    EXPECT_TRUE(test::waitUntil([&] {
        const auto &entries = store.current().entries();
        return entries.size() == 1 && entries[0].size() == 11;
    }));
    std::fclose(download);
    store.stopMonitoring();
    tree.writeFile("destination/later");
    test::spinFor(400ms);
    EXPECT_EQ(store.current().entries().size(), 1u) << "no events after stopMonitoring";
}

// The store's entry points called the way a window calls them: with ids and
// values taken straight from the store, and from inside its own notices.
class BrowserStoreReentryTest : public BrowserStoreTest {
protected:
    BrowserStoreReentryTest() {
        for (const char *name : {"a", "b", "c"}) {
            folders.push_back(tree.makeFolder(name));
            for (int i = 0; i < 5; ++i)
                tree.writeFile(std::string(name) + "/item" + std::to_string(i));
        }
        tree.writeFile("a/.hidden-item");
    }
    static bool activeExists(const BrowserStore &store) {
        return std::any_of(store.tabs().begin(), store.tabs().end(),
                           [&](const BrowserTab &t) { return t.id == store.activeID(); });
    }

    std::vector<std::string> folders;
};

TEST_F(BrowserStoreReentryTest, TabOperationsTakeTheStoresOwnIds) {
    BrowserStore store(folders, 1, reader, orderer);
    const Uuid right = store.tabs()[2].id;
    store.closeTab(store.current().id);
    ASSERT_TRUE(activeExists(store)) << "the active id must not follow the erased slot";
    EXPECT_EQ(store.activeID(), right);
    EXPECT_EQ(store.current().url(), folders[2]);
    ASSERT_TRUE(test::settled(store));

    store.switchTab(store.tabs()[0].id);
    EXPECT_EQ(store.current().url(), folders[0]);
    store.closeTab(store.tabs()[0].id);
    ASSERT_TRUE(activeExists(store));
    EXPECT_EQ(store.current().url(), folders[2]);
    ASSERT_TRUE(test::settled(store));

    // An observer that opens tabs while the store switches: the tab list is
    // reallocated under the switch.
    store.addTab(folders[1]);
    int opened = 0;
    store.onChange = [&](Change change) {
        if (change == Change::content && opened < 3) {
            ++opened;
            store.addTab(folders[0]);
        }
    };
    store.nextTab(false);
    store.nextTab(true);
    store.onChange = nullptr;
    ASSERT_TRUE(activeExists(store));
    EXPECT_EQ(store.tabs().size(), 5u);
    ASSERT_TRUE(test::settled(store));
    for (const BrowserTab &tab : store.tabs())
        EXPECT_FALSE(tab.entries().empty()) << tab.url();
}

TEST_F(BrowserStoreReentryTest, RelativeTargetsAreRefusedAndTheSessionStaysValid) {
    BrowserStore store({folders[0]}, 0, reader, orderer);
    store.refresh();
    ASSERT_TRUE(test::settled(store));
    const BrowserTab before = store.current();
    std::vector<Change> changes;
    store.onChange = [&](Change change) { changes.push_back(change); };

    for (const std::string target : {"b", "./c", "../a", ""}) {
        changes.clear();
        store.navigate(target, Navigation::visit);
        EXPECT_EQ(changes, std::vector<Change>{Change::chrome});
        EXPECT_FALSE(store.current().loading);
        ASSERT_TRUE(store.current().error) << target;
        const auto *issue = std::get_if<BrowserIssue::DirectoryRead>(&store.current().error->value);
        ASSERT_TRUE(issue);
        EXPECT_EQ(issue->path, target);
        EXPECT_EQ(issue->detail, std::error_code(ENOENT, std::system_category()).message())
            << "the text of a missing folder";
        EXPECT_EQ(store.current().history, before.history);
        EXPECT_EQ(store.current().entries(), before.entries());
    }
    store.addTab(std::string("relative"));
    EXPECT_EQ(store.tabs().size(), 1u);
    test::spinFor(100ms);
    EXPECT_EQ(store.current().history, before.history);
    EXPECT_TRUE(store.session().valid());

    BrowserStore dropped({"relative", folders[1]}, 0, reader, orderer);
    ASSERT_EQ(dropped.tabs().size(), 1u);
    EXPECT_EQ(dropped.current().url(), folders[1]);
}

// Observers that call back in at random (open, close and switch tabs with the
// store's own ids, navigate, toggle hidden items, sort, filter, destroy the
// store) for a bounded time. The sanitizers and the invariants below catch
// what a scripted test would not think of.
TEST_F(BrowserStoreReentryTest, RandomReentrantUseKeepsTheStoreConsistent) {
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    int stores = 0;
    int operations = 0;

    while (std::chrono::steady_clock::now() < deadline) {
        auto store =
            std::make_unique<BrowserStore>(folders, static_cast<long>(random() % 4) - 1, reader, orderer);
        ++stores;
        int depth = 0;
        std::function<void()> act = [&] {
            BrowserStore &s = *store;
            const auto anyTab = [&]() -> const Uuid & { return s.tabs()[random() % s.tabs().size()].id; };
            const std::string &folder = folders[random() % folders.size()];
            ++operations;
            const std::function<void()> actions[] = {
                [&] { s.addTab(folder); },
                [&] { s.addTab(); },
                [&] { s.closeTab(s.current().id); },
                [&] { s.closeTab(anyTab()); },
                [&] { s.switchTab(anyTab()); },
                [&] { s.nextTab(chance(50)); },
                [&] { s.navigate(folder, Navigation::visit, anyTab()); },
                [&] { s.navigate(chance(50) ? "relative" : folder + "/missing", Navigation::visit); },
                [&] { s.goUp(); },
                [&] { s.goBack(); },
                [&] { s.setShowHidden(!s.showHidden()); },
                [&] {
                    s.sort(FileSort{static_cast<SortColumn>(random() % 4), chance(50)});
                },
                [&] { s.filter(chance(50) ? std::string() : s.current().filter() + "i"); },
                [&] { s.select(s.current().selection); },
                [&] { s.invalidateDirectories({folder}); }};
            actions[random() % std::size(actions)]();
        };
        const auto reenter = [&](int percent) {
            if (!store || depth >= 3 || !chance(percent))
                return;
            if (chance(2)) {
                store.reset(); // from inside the store's own notice
                return;
            }
            ++depth;
            act();
            --depth;
        };
        store->onChange = [&](Change) { reenter(20); };
        store->onSessionChanged = [&](const BrowserSession &session) {
            EXPECT_TRUE(session.valid());
            reenter(10);
        };
        store->onHiddenChanged = [&](bool) { reenter(20); };
        store->startMonitoring();

        for (int step = 0; step < 200 && store; ++step) {
            act();
            if (!store)
                break;
            ASSERT_TRUE(activeExists(*store));
            ASSERT_GE(store->tabs().size(), 1u);
            ASSERT_LE(store->tabs().size(), BrowserStore::kMaximumTabs);
            if (chance(30))
                QCoreApplication::processEvents();
        }
        // Let late reads, sorts and watch reports land on the survivor (or on
        // nothing, when it is gone).
        test::spinFor(20ms);
        if (store) {
            ASSERT_TRUE(activeExists(*store));
            EXPECT_TRUE(store->session().valid());
        }
    }
    EXPECT_GT(stores, 1);
    RecordProperty("operations", operations);
}
