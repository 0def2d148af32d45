#include "trash/TrashReader.h"

#include "core/ItemIdentity.h"
#include "core/Location.h"
#include "directory/DirectoryMonitor.h"
#include "engine/TrashListing.h"
#include "presentation/Localization.h"
#include "runtime/MainThread.h"

#include <chrono>
#include <set>

namespace dromel {

namespace {

constexpr auto kPublicationInterval = std::chrono::milliseconds(100);

// The handlers of one listing, shared by its deliveries.
struct Delivery {
    DirectoryReading::SnapshotHandler onSnapshot;
    DirectoryReading::FinishHandler onFinish;
};

// One listing of the Trash. Cancelling it silences its callbacks; the
// listing itself stops at its next item.
struct TrashRead : DirectoryRead {
    explicit TrashRead(std::shared_ptr<Cancellation> shared) : flag(std::move(shared)) {}
    ~TrashRead() override { flag->cancel(); }
    void cancel() override { flag->cancel(); }
    std::shared_ptr<Cancellation> flag;
};

// The kind column's texts for entries that cannot go back, taken once on
// the main thread: the listing's two threads only read them.
struct StateTexts {
    explicit StateTexts(const Localization &texts)
        : noRecord(texts.text(TextKey::trashNoRecord).toStdString()),
          damagedRecord(texts.text(TextKey::trashDamagedRecord).toStdString()),
          missingItem(texts.text(TextKey::trashMissingItem).toStdString()) {}
    std::string noRecord, damagedRecord, missingItem;
};

std::string kindOf(const TrashedItem &item, const StateTexts &texts) {
    switch (item.state) {
    case TrashedItem::State::restorable:
        return Location::parent(*item.originalPath);
    case TrashedItem::State::noRecord:
        return texts.noRecord;
    case TrashedItem::State::damagedRecord:
        return texts.damagedRecord;
    case TrashedItem::State::missingItem:
        return texts.missingItem;
    }
    return {};
}

// The path a row stands for: the record where the item is gone.
std::string rowPath(const TrashedItem &item) {
    return item.state == TrashedItem::State::missingItem ? item.infoPath() : item.itemPath();
}

// Identified as the folder reader identifies items, so the file commands
// check an item in the Trash as they check any other.
FileEntry entryOf(const TrashedItem &item, const StateTexts &texts) {
    std::string path = rowPath(item);
    std::string id = item.state == TrashedItem::State::missingItem
                         ? path
                         : itemIdentity(item.device, item.inode, item.name);
    return FileEntry(std::move(id), std::move(path), item.shownName(), item.isDirectory, false,
                     item.isSymbolicLink, item.size, item.deleted, kindOf(item, texts));
}

std::set<std::string> watchedFolders() {
    std::set<std::string> folders{TrashListing::homeTrash()};
    for (const std::string &trash : TrashListing::trashFolders()) {
        folders.insert(trash + "/files");
        folders.insert(trash + "/info");
    }
    return folders;
}

} // namespace

TrashReader::TrashReader(DirectoryReading &inner)
    : m_inner(inner), m_location(TrashListing::homeTrash() + "/files"),
      m_queue({"Dromel.trash-reader", 1, QueuePriority::userInitiated}) {}

TrashReader::~TrashReader() = default;

bool TrashReader::isTrash(const std::string &folder) const {
    return Location::standardized(folder) == m_location;
}

std::unique_ptr<DirectoryRead> TrashReader::snapshots(const std::string &folder, bool showHidden,
                                                      SnapshotHandler onSnapshot, FinishHandler onFinish) {
    if (!isTrash(folder))
        return m_inner.snapshots(folder, showHidden, std::move(onSnapshot), std::move(onFinish));
    auto cancel = std::make_shared<Cancellation>();
    auto delivery = std::make_shared<Delivery>(Delivery{std::move(onSnapshot), std::move(onFinish)});
    m_queue.async([this, alive = m_lifetime.weak(), cancel, delivery,
                   texts = std::make_shared<const StateTexts>(Localization::current())] {
        // Cumulative snapshots as the folder reader sends them: the first
        // once a batch is in, then at most every publication interval, and
        // the complete one last.
        FileEntryList listed;
        std::vector<TrashedItem> pendingItems;
        std::vector<FileEntry> pendingEntries;
        auto lastPublication = std::chrono::steady_clock::now();
        bool first = true;
        const auto publish = [&](bool complete) {
            listed = listed.appending(std::move(pendingEntries));
            pendingEntries.clear();
            lastPublication = std::chrono::steady_clock::now();
            MainThread::post([this, alive, cancel, delivery, complete, first, snapshot = listed,
                              items = std::move(pendingItems)]() mutable {
                if (alive.expired() || cancel->isCancelled())
                    return;
                if (first)
                    install({});
                add(std::move(items));
                delivery->onSnapshot(DirectorySnapshot{snapshot, complete});
                if (!complete || alive.expired() || cancel->isCancelled())
                    return;
                if (onFullness)
                    onFullness(!snapshot.empty());
                delivery->onFinish({});
            });
            pendingItems.clear();
            first = false;
        };
        try {
            TrashListing::list(
                TrashListing::trashFolders(), *cancel,
                [&](std::vector<TrashedItem> &&batch) {
                    for (TrashedItem &item : batch) {
                        pendingEntries.push_back(std::move(*item.entry));
                        item.entry.reset();
                        pendingItems.push_back(std::move(item));
                    }
                    if (first || std::chrono::steady_clock::now() - lastPublication >= kPublicationInterval)
                        publish(false);
                },
                &m_memo,
                [&texts = *texts](std::vector<TrashedItem> &batch) {
                    // Each entry's sort key is made here, on both threads.
                    for (TrashedItem &item : batch)
                        item.entry = entryOf(item, texts);
                });
            publish(true);
        } catch (const OperationCancelled &) {
            MainThread::post([alive, cancel, delivery] {
                if (!alive.expired() && !cancel->isCancelled())
                    delivery->onFinish(std::make_error_code(std::errc::operation_canceled));
            });
        }
    });
    return std::make_unique<TrashRead>(std::move(cancel));
}

void TrashReader::add(std::vector<TrashedItem> items) {
    if (items.empty())
        return;
    m_batches.push_back(std::move(items));
    m_index.clear();
}

void TrashReader::install(std::vector<TrashedItem> items) {
    m_batches.clear();
    m_index.clear();
    add(std::move(items));
}

const TrashedItem *TrashReader::item(const std::string &path) const {
    // Empty also when there is nothing to index, which costs nothing to find.
    if (m_index.empty())
        for (const std::vector<TrashedItem> &batch : m_batches)
            for (const TrashedItem &item : batch)
                m_index.insert_or_assign(rowPath(item), &item);
    const auto found = m_index.find(path);
    return found == m_index.end() ? nullptr : found->second;
}

std::vector<std::string> TrashReader::rowPaths(bool missing) const {
    std::vector<std::string> paths;
    for (const std::vector<TrashedItem> &batch : m_batches)
        for (const TrashedItem &item : batch)
            if ((item.state == TrashedItem::State::missingItem) == missing)
                paths.push_back(rowPath(item));
    return paths;
}

std::vector<std::string> TrashReader::itemPaths() const {
    return rowPaths(false);
}

std::vector<std::string> TrashReader::orphanRecords() const {
    return rowPaths(true);
}

void TrashReader::startWatching() {
    if (!m_monitor)
        m_monitor = std::make_unique<DirectoryMonitor>(
            false, [this, alive = m_lifetime.weak()](const std::set<std::string> &) {
                MainThread::post([this, alive] {
                    if (!alive.expired())
                        trashesChanged();
                });
            });
    watchTrashes();
}

void TrashReader::watchTrashes() {
    m_queue.async([this, alive = m_lifetime.weak()] {
        // The queue ends before the monitor goes (see the members' order).
        m_monitor->watch(watchedFolders());
        // Listed whole, so that Empty Trash knows every item without the
        // Trash being open.
        OperationCancellation never;
        std::vector<TrashedItem> items;
        TrashListing::list(
            TrashListing::trashFolders(), never,
            [&](std::vector<TrashedItem> &&batch) {
                items.insert(items.end(), std::make_move_iterator(batch.begin()),
                             std::make_move_iterator(batch.end()));
            },
            &m_memo);
        MainThread::post([this, alive, items = std::move(items)]() mutable {
            if (alive.expired())
                return;
            const bool full = !items.empty();
            install(std::move(items));
            if (onFullness)
                onFullness(full);
        });
    });
}

void TrashReader::trashesChanged() {
    // A new volume trash may have appeared: watch it too.
    watchTrashes();
    if (onChanged)
        onChanged();
}

} // namespace dromel
