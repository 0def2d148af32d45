#pragma once

#include "core/NameMatch.h"
#include "core/SearchHit.h"
#include "core/TextSearch.h"
#include "directory/SearchWalker.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace dromel::detail {

// A folder waiting to be read, with the device of the folder that listed it.
struct PendingFolder {
    std::string path;
    std::uint64_t parentDevice = 0;
    bool isStart = false;
};

// What the threads of one walk share: the stack of folders still to read, the
// hits not yet delivered, the problems met and the end. Walking threads take
// folders and hand back what they found; one delivering thread passes the
// hits on in batches and reports the end. Every field below the mutex is
// guarded by it; the query, matchers and options are immutable.
class SearchState {
public:
    SearchState(SearchQuery query, SearchOptions options, SearchWalker::BatchHandler onBatch,
                SearchWalker::FinishHandler onFinish);

    const SearchQuery &query() const { return m_query; }
    const SearchOptions &options() const { return m_options; }
    const NameMatch &names() const { return m_names; }
    const TextSearch &text() const { return m_text; }
    int threads() const { return m_threads; }

    void cancel();
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    const std::atomic<bool> &cancelled() const { return m_cancelled; }

    // Walking side. takeFolder() waits for a folder; false when the walk is
    // over (nothing left and nobody reading, or cancelled).
    bool takeFolder(PendingFolder &folder);
    void addHits(std::vector<SearchHit> &hits);
    void finishFolder(std::vector<PendingFolder> &subfolders, std::vector<SearchHit> &hits,
                      std::optional<SearchProblem> problem);
    // The start folder's device, set once by the thread that reads it before
    // any other folder is queued.
    void setStartDevice(std::uint64_t device) { m_startDevice = device; }
    std::uint64_t startDevice() const { return m_startDevice; }
    // False when this mount point (device and inode) was entered already: a
    // bind mount of an ancestor would otherwise be walked forever.
    bool enterMount(std::uint64_t device, std::uint64_t inode);

    // Delivering side: runs until the walk is over, then reports the end.
    void deliver();

private:
    const SearchQuery m_query;
    const SearchOptions m_options;
    const NameMatch m_names;
    const TextSearch m_text;
    const int m_threads;
    const SearchWalker::BatchHandler m_onBatch;
    const SearchWalker::FinishHandler m_onFinish;
    std::atomic<bool> m_cancelled{false};
    std::uint64_t m_startDevice = 0;

    std::mutex m_mutex;
    std::condition_variable m_folderReady; // a folder was queued, or the walk ended
    std::condition_variable m_hitsReady;   // hits arrived, or the walk ended
    std::vector<PendingFolder> m_folders;  // a stack: depth first keeps it short
    std::vector<SearchHit> m_hits;
    std::vector<SearchProblem> m_problems;
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_mounts;
    std::uint64_t m_foldersRead = 0;
    int m_reading = 0;
    bool m_over = false;
};

} // namespace dromel::detail
