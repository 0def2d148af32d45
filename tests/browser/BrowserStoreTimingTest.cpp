// Orders of events the real reader and orderer cannot be made to produce on
// demand: a batch arriving while a sort runs, a change during a read, a click
// between two batches. The test hands over every snapshot and every sort.
#include "browser/BrowserStore.h"

#include "directory/DirectoryReading.h"
#include "directory/ListingOrdering.h"
#include "runtime/MainThread.h"
#include "support/Listing.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

using namespace dromel;
using namespace std::chrono_literals;
using Navigation = BrowserStore::Navigation;

namespace {

struct Ended : DirectoryRead {
    std::shared_ptr<bool> ended = std::make_shared<bool>(false);
    ~Ended() override { *ended = true; }
    void cancel() override { *ended = true; }
};

// Hands every read to the test, which delivers its snapshots and its end.
class ManualReader : public DirectoryReading {
public:
    struct Request {
        std::string folder;
        SnapshotHandler onSnapshot;
        FinishHandler onFinish;
        std::shared_ptr<bool> ended;
    };

    std::unique_ptr<DirectoryRead> snapshots(const std::string &folder, bool, SnapshotHandler onSnapshot,
                                             FinishHandler onFinish) override {
        auto read = std::make_unique<Ended>();
        requests.push_back({folder, std::move(onSnapshot), std::move(onFinish), read->ended});
        return read;
    }

    // Entries named `names` in `folder` (folders when the name ends in "/").
    static FileEntryList entries(const std::string &folder, const std::vector<std::string> &names) {
        auto shared = std::make_shared<const std::string>(folder);
        std::vector<FileEntry> list;
        for (std::string name : names) {
            const bool isFolder = name.ends_with('/');
            if (isFolder)
                name.pop_back();
            list.push_back(FileEntry::listed(shared, name, 1, std::hash<std::string>()(name), isFolder, false,
                                             false, static_cast<std::int64_t>(name.size()), std::nullopt,
                                             nullptr));
        }
        return FileEntryList(std::move(list));
    }
    // To the latest read, unless it has ended.
    void deliver(const std::vector<std::string> &names, bool complete) {
        if (!*requests.back().ended)
            requests.back().onSnapshot({entries(requests.back().folder, names), complete});
    }
    void finish() {
        if (!*requests.back().ended)
            requests.back().onFinish({});
    }

    std::vector<Request> requests;
};

class ManualOrderer : public ListingOrdering {
public:
    struct Request {
        FileEntryList entries;
        FileSort sort;
        Completion completion;
        std::shared_ptr<bool> cancelled;
    };
    struct Ticket : OrderingTicket {
        std::shared_ptr<bool> cancelled = std::make_shared<bool>(false);
        Completion completion;
        void cancel() override {
            if (!std::exchange(*cancelled, true))
                MainThread::post([completion = completion] { completion(std::nullopt); });
        }
    };

    std::shared_ptr<OrderingTicket> order(FileEntryList entries, FileSort sort,
                                          Completion completion) override {
        auto ticket = std::make_shared<Ticket>();
        ticket->completion = completion;
        requests.push_back({std::move(entries), sort, std::move(completion), ticket->cancelled});
        return ticket;
    }
    // Answers the oldest request not yet answered.
    void complete() {
        Request request = std::move(requests.at(next++));
        if (!*request.cancelled)
            request.completion(request.sort.apply(request.entries, ""));
    }
    std::size_t waiting() const { return requests.size() - next; }

    std::vector<Request> requests;
    std::size_t next = 0;
};

using Names = std::vector<std::string>;

class BrowserStoreTimingTest : public ::testing::Test {
protected:
    // The store showing `folder` with `names`, completely read.
    void load(const Names &names, const std::string &folder = "/data") {
        store.navigate(folder, Navigation::visit);
        reader.deliver(names, true);
        orderer.complete();
        reader.finish();
        ASSERT_FALSE(store.current().loading);
    }

    ManualReader reader;
    ManualOrderer orderer;
    BrowserStore store{std::vector<std::string>{"/start"}, 0, reader, orderer};
};

} // namespace

TEST_F(BrowserStoreTimingTest, SortsOvertakenByASortOrAListingAreDiscarded) {
    store.navigate("/data", Navigation::visit);
    reader.deliver({"b", "a", "c"}, true);
    ASSERT_EQ(orderer.waiting(), 1u);
    store.sort(FileSort{SortColumn::name, false});
    orderer.complete(); // the batch in the old order: ordered again
    EXPECT_TRUE(store.current().entries().empty());
    orderer.complete(); // the re-sort of the (empty) listing shown before
    orderer.complete(); // the batch, in the new order
    reader.finish();
    EXPECT_EQ(test::namesOf(store.current().visibleEntries()), (Names{"c", "b", "a"}));
    EXPECT_FALSE(store.current().loading);

    const Names shown = test::namesOf(store.current().visibleEntries());
    store.sort(FileSort{SortColumn::name, true});
    store.sort(FileSort{SortColumn::size, true});
    ASSERT_EQ(orderer.waiting(), 2u);
    orderer.complete(); // the first, already cancelled
    EXPECT_TRUE(store.current().arranging);
    EXPECT_EQ(test::namesOf(store.current().visibleEntries()), shown);
    test::spinFor(20ms); // the cancelled ticket's answer arrives and is ignored
    EXPECT_TRUE(store.current().arranging);
    orderer.complete();
    EXPECT_FALSE(store.current().arranging);
    EXPECT_EQ(store.current().sort, (FileSort{SortColumn::size, true}));

    const Names bySize = test::namesOf(store.current().visibleEntries());
    store.sort(FileSort{SortColumn::name, false});
    store.refresh();
    reader.deliver({"b", "a", "d"}, true);
    orderer.complete(); // the re-sort of the old listing
    EXPECT_EQ(test::namesOf(store.current().visibleEntries()), bySize);
    orderer.complete(); // the refresh, ordered with the new sort
    reader.finish();
    EXPECT_EQ(test::namesOf(store.current().visibleEntries()), (Names{"d", "b", "a"}));
    EXPECT_FALSE(store.current().arranging);
}

TEST_F(BrowserStoreTimingTest, AChangeDuringAReadRefreshesOnceAfterIt) {
    store.navigate("/data", Navigation::visit);
    store.invalidateDirectories({"/data/", "/elsewhere"});
    store.invalidateDirectories({"/data"});
    EXPECT_EQ(reader.requests.size(), 1u) << "deferred while loading";
    reader.deliver({"a"}, true);
    orderer.complete();
    reader.finish();
    ASSERT_EQ(reader.requests.size(), 2u) << "one extra refresh";
    EXPECT_EQ(reader.requests[1].folder, "/data");
    EXPECT_TRUE(store.current().loading);

    store.invalidateDirectories({"/elsewhere"});
    EXPECT_EQ(reader.requests.size(), 2u);
}

TEST_F(BrowserStoreTimingTest, GoingUpDoesNotOverrideAClickMadeBeforeTheFolderArrives) {
    load({}, "/data/inner");
    store.goUp();
    reader.deliver({"a"}, false);
    orderer.complete();
    const std::string clicked = store.current().entries()[0].id();
    store.select({clicked});
    reader.deliver({"a", "inner/"}, true);
    orderer.complete();
    reader.finish();
    EXPECT_EQ(store.current().selection, std::set<std::string>{clicked});
}

TEST_F(BrowserStoreTimingTest, ARestoredSelectionSurvivesPartialBatches) {
    const FileEntryList listed = ManualReader::entries("/data", {"a", "b"});
    const std::string a = listed[0].id();
    const std::string b = listed[1].id();
    BrowserStore restored(BrowserSession({TabSession({"/data"}, 0, "", FileSort{}, {a, b}, 0)}, 0), reader,
                          orderer);
    restored.refresh();
    reader.deliver({"a"}, false);
    orderer.complete();
    EXPECT_EQ(restored.current().selection, std::set<std::string>{a});
    EXPECT_EQ(restored.session().tabs[0].selection, (std::set<std::string>{a, b})) << "still pending";
    reader.deliver({"a", "b"}, true);
    orderer.complete();
    reader.finish();
    EXPECT_EQ(restored.current().selection, (std::set<std::string>{a, b}));
    restored.select({});
    EXPECT_TRUE(restored.session().tabs[0].selection.empty());
}

TEST_F(BrowserStoreTimingTest, AReadEndingWithoutACompleteListingFails) {
    load({"a"});
    store.navigate("/other", Navigation::visit);
    reader.deliver({"x"}, false);
    orderer.complete();
    reader.finish();
    ASSERT_TRUE(store.current().error);
    EXPECT_FALSE(store.current().loading);

    // An observer that destroys the store from inside a notice.
    auto owned = std::make_unique<BrowserStore>(std::vector<std::string>{"/data"}, 0, reader, orderer);
    owned->onChange = [&](BrowserStore::Change) { owned.reset(); };
    owned->refresh();
    EXPECT_FALSE(owned);
    reader.deliver({"a"}, true);
    reader.finish();
}

// A folder that changes all the time is re-read no sooner than four times its
// last read's duration after that read: re-reading it takes a fifth of the
// time at most. A change arriving during a read is spaced the same way.
TEST_F(BrowserStoreTimingTest, ChangesSeenByTheMonitorAreSpacedByTheCostOfTheLastRead) {
    test::TempTree tree;
    store.startMonitoring();
    const auto started = std::chrono::steady_clock::now();
    store.navigate(tree.root(), Navigation::visit);
    tree.writeFile("log", "growing"); // during the read: refreshed after it, spaced
    test::spinFor(400ms);             // a slow read
    reader.deliver({"log"}, true);
    orderer.complete();
    reader.finish();
    const auto finished = std::chrono::steady_clock::now();
    const auto cost = finished - started;
    ASSERT_FALSE(store.current().loading);
    const std::size_t before = reader.requests.size();

    ASSERT_TRUE(test::waitUntil([&] { return reader.requests.size() > before; }, 10s));
    EXPECT_GE(std::chrono::steady_clock::now() - finished, (BrowserStore::kRefreshSpacing - 1) * cost)
        << "the store's own measure of the read is a little shorter";
    reader.deliver({"log"}, true);
    orderer.complete();
    reader.finish();

    // Changes reported while idle wait for the spacing too.
    const auto idleSince = std::chrono::steady_clock::now();
    tree.writeFile("log", "grown");
    ASSERT_TRUE(test::waitUntil([&] { return reader.requests.size() > before + 1; }, 10s));
    EXPECT_GE(std::chrono::steady_clock::now() - idleSince, 3ms) << "a quick read is re-read soon";
}
