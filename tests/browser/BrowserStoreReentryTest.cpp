// The store's entry points called the way a window calls them: with ids and
// values taken straight from the store, and from inside its own notices.
#include "browser/BrowserStore.h"

#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>

using namespace dromel;
using namespace std::chrono_literals;
using Change = BrowserStore::Change;
using Navigation = BrowserStore::Navigation;

namespace {

class BrowserStoreReentryTest : public ::testing::Test {
protected:
    BrowserStoreReentryTest() {
        for (const char *name : {"a", "b", "c"}) {
            folders.push_back(tree.makeFolder(name));
            for (int i = 0; i < 5; ++i)
                tree.writeFile(std::string(name) + "/item" + std::to_string(i));
        }
        tree.writeFile("a/.hidden-item");
    }
    bool settled(BrowserStore &store) {
        // The first read loads the MIME database, which takes seconds under
        // the sanitizers.
        return test::waitUntil(
            [&] {
                return std::none_of(store.tabs().begin(), store.tabs().end(),
                                    [](const BrowserTab &t) { return t.loading || t.arranging; });
            },
            30s);
    }
    static bool activeExists(const BrowserStore &store) {
        return std::any_of(store.tabs().begin(), store.tabs().end(),
                           [&](const BrowserTab &t) { return t.id == store.activeID(); });
    }

    test::TempTree tree;
    std::vector<std::string> folders;
    LocalDirectoryReader reader;
    ListingOrderer orderer;
};

} // namespace

TEST_F(BrowserStoreReentryTest, TabOperationsTakeTheStoresOwnIds) {
    BrowserStore store(folders, 1, reader, orderer);
    const Uuid right = store.tabs()[2].id;
    store.closeTab(store.current().id);
    ASSERT_TRUE(activeExists(store)) << "the active id must not follow the erased slot";
    EXPECT_EQ(store.activeID(), right);
    EXPECT_EQ(store.current().url(), folders[2]);
    ASSERT_TRUE(settled(store));

    store.switchTab(store.tabs()[0].id);
    EXPECT_EQ(store.current().url(), folders[0]);
    store.closeTab(store.tabs()[0].id);
    ASSERT_TRUE(activeExists(store));
    EXPECT_EQ(store.current().url(), folders[2]);
    ASSERT_TRUE(settled(store));

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
    ASSERT_TRUE(settled(store));
    for (const BrowserTab &tab : store.tabs())
        EXPECT_FALSE(tab.entries().empty()) << tab.url();
}

TEST_F(BrowserStoreReentryTest, RelativeTargetsAreRefusedAndTheSessionStaysValid) {
    BrowserStore store({folders[0]}, 0, reader, orderer);
    store.refresh();
    ASSERT_TRUE(settled(store));
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
            switch (random() % 15) {
            case 0:
                s.addTab(folder);
                break;
            case 1:
                s.addTab();
                break;
            case 2:
                s.closeTab(s.current().id);
                break;
            case 3:
                s.closeTab(anyTab());
                break;
            case 4:
                s.switchTab(anyTab());
                break;
            case 5:
                s.nextTab(chance(50));
                break;
            case 6:
                s.navigate(folder, Navigation::visit, anyTab());
                break;
            case 7:
                s.navigate(chance(50) ? "relative" : folder + "/missing", Navigation::visit);
                break;
            case 8:
                s.goUp();
                break;
            case 9:
                s.goBack();
                break;
            case 10:
                s.setShowHidden(!s.showHidden());
                break;
            case 11:
                s.sort(FileSort{static_cast<SortColumn>(random() % 4), chance(50)});
                break;
            case 12:
                s.filter(chance(50) ? std::string() : s.current().filter() + "i");
                break;
            case 13:
                s.select(s.current().selection);
                break;
            case 14:
                s.invalidateDirectories({folder});
                break;
            }
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
