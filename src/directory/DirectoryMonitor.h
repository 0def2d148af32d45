#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace dromel {

class SerialQueue;

// Watches a set of folders (absolute paths) and reports, in batches coalesced
// over 150 ms, which of them may have changed: an item directly inside was
// created, deleted, moved, written (also while still open) or had its
// attributes changed. Changes deeper down do not count. Symbolic links in the
// paths are resolved; a folder that does not exist yet is watched through its
// nearest existing ancestor. Folders are watched one by one: a folder that
// stays in the set keeps its watch, and only folders new to the set are
// reported once (a client that read them before may have missed changes).
// Where inotify cannot be had, the whole set is reported every five seconds.
//
// onChange runs on the monitor's own queue, never the main thread.
class DirectoryMonitor {
public:
    using ChangeHandler = std::function<void(const std::set<std::string> &folders)>;

    struct Options {
        std::chrono::milliseconds coalescing{150};
        std::chrono::milliseconds fallbackPeriod{5000};
        // Off for a client that reads a folder only after watch() returned:
        // nothing can have been missed for it.
        bool reportNewlyWatched = true;
    };

    // With includeParentChanges each folder's parent is watched too, so that
    // renaming or deleting the folder itself is seen.
    DirectoryMonitor(bool includeParentChanges, ChangeHandler onChange);
    DirectoryMonitor(bool includeParentChanges, ChangeHandler onChange, Options options);
    ~DirectoryMonitor();
    DirectoryMonitor(const DirectoryMonitor &) = delete;
    DirectoryMonitor &operator=(const DirectoryMonitor &) = delete;

    // From any thread; waits until the new folders are watched (one hop to
    // the monitor's queue), so a read started afterwards misses no change.
    // The wait is bounded (a folder on a volume that stopped answering can
    // hold the watch for as long as it is dead): past the bound the new
    // folders are watched later and then reported as if changed. An
    // unchanged set (after standardizing) is ignored.
    void watch(std::set<std::string> folders);
    void stop();

    // The physical form of `path`: symbolic links resolved as far as the path
    // exists, the missing tail kept as written.
    static std::string physicalPath(const std::string &path);

    class State;

private:
    std::unique_ptr<SerialQueue> m_queue;
    std::shared_ptr<State> m_state; // touched only on m_queue
};

} // namespace dromel
