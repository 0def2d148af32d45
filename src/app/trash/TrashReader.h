#pragma once

#include "directory/DirectoryReading.h"
#include "engine/TrashRecordMemo.h"
#include "engine/TrashedItem.h"
#include "runtime/Lifetime.h"
#include "runtime/WorkQueue.h"

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace dromel {

class DirectoryMonitor;

// The Trash as a place the store can show: asked for the home trash's files/
// folder, it lists every trash of the user merged (the home trash and each
// mounted volume's), each row named as the item was, its kind text the folder
// it came from (or why it cannot go back) and its date the deletion date, so
// that sorting, the filter and selection work as in a folder. Any other
// folder is read by `inner`.
//
// It watches every trash's files/ and info/ itself and tells `onChanged`
// (main thread) when the Trash needs reading again, and `onFullness` whether
// it holds anything after each listing and each change.
//
// Main thread only; the listing runs on its own queue.
class TrashReader : public DirectoryReading {
public:
    explicit TrashReader(DirectoryReading &inner);
    ~TrashReader() override;

    // The location that stands for the Trash (the home trash's files/), as
    // found when the reader was made.
    const std::string &location() const { return m_location; }
    bool isTrash(const std::string &folder) const;

    std::unique_ptr<DirectoryRead> snapshots(const std::string &folder, bool showHidden,
                                             SnapshotHandler onSnapshot, FinishHandler onFinish) override;

    // What a row of the newest Trash listing stands for, by the row's path.
    const TrashedItem *item(const std::string &path) const;
    // The paths of every item of the newest listing that is there (records
    // without their item left out).
    std::vector<std::string> itemPaths() const;
    // The records of the newest listing whose item is gone.
    std::vector<std::string> orphanRecords() const;

    // Starts watching the trashes and checks whether the Trash is empty.
    void startWatching();

    std::function<void()> onChanged;
    std::function<void(bool full)> onFullness;

private:
    void watchTrashes();
    void trashesChanged();
    void checkFullness();
    void install(std::vector<TrashedItem> items);
    void add(std::vector<TrashedItem> items);
    // The rows' paths of the items that are gone (`missing`) or there.
    std::vector<std::string> rowPaths(bool missing) const;

    DirectoryReading &m_inner;
    const std::string m_location;
    std::unique_ptr<DirectoryMonitor> m_monitor; // outlives the queue's jobs
    // The newest listing as it came, and its index by path, made when first
    // asked for: most listings are only looked at.
    std::vector<std::vector<TrashedItem>> m_batches;
    mutable std::unordered_map<std::string, const TrashedItem *> m_index;
    TrashRecordMemo m_memo; // the queue's; outlives its jobs
    WorkQueue m_queue;
    Lifetime m_lifetime;
};

} // namespace dromel
