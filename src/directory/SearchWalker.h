#pragma once

#include "core/SearchHit.h"
#include "core/SearchQuery.h"
#include "runtime/WorkQueue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace dromel {

namespace detail {
class SearchState;
}

struct SearchOptions {
    static constexpr std::int64_t kDefaultContentSizeLimit = std::int64_t{64} << 20;

    bool showHidden = false;
    // Threads reading folders (and files) side by side; 0 picks by the machine.
    int threads = 0;
    // Content search skips larger files.
    std::int64_t contentSizeLimit = kDefaultContentSizeLimit;
    // Called on a walking thread before each folder is read.
    std::function<void(const std::string &folder)> onFolderForTesting;
};

// A folder the walk could not read, and why; the rest was searched.
struct SearchProblem {
    std::string path;
    std::error_code error;
};

struct SearchSummary {
    std::vector<SearchProblem> problems;
    std::uint64_t foldersRead = 0;
    bool cancelled = false;
};

// One running search. Dropping it cancels the walk; handlers that run after
// that belong to a walk nobody waits for, so consumers guard them.
class SearchRun {
public:
    explicit SearchRun(std::shared_ptr<detail::SearchState> state);
    ~SearchRun();
    SearchRun(const SearchRun &) = delete;
    SearchRun &operator=(const SearchRun &) = delete;

    void cancel();

private:
    std::shared_ptr<detail::SearchState> m_state;
};

// Walks a tree below a folder for names or contents. Several threads take
// folders from one shared queue (so memory grows with the queue of folders
// waiting, not with the tree); each folder is read with getdents64, opened
// without following links, so a link never leads the walk into a loop; an
// item's metadata is read only for a result or a constraint. Other volumes
// are entered only when the query asks (mount points themselves are still
// listed, as `find -xdev` does).
//
// Threading: start() may be called from any thread and never blocks. Batches
// of hits go to `onBatch` on a walk thread, no more often than every 50 ms
// (the first as soon as it is found); `onFinish` runs once, last, on that
// thread, also after a cancel. Cancellation is checked before each folder,
// every few hundred items, and between blocks of a file being read.
class SearchWalker {
public:
    using BatchHandler = std::function<void(std::vector<SearchHit> hits)>;
    using FinishHandler = std::function<void(SearchSummary summary)>;

    SearchWalker();
    ~SearchWalker();
    SearchWalker(const SearchWalker &) = delete;
    SearchWalker &operator=(const SearchWalker &) = delete;

    std::unique_ptr<SearchRun> start(const SearchQuery &query, const SearchOptions &options,
                                     BatchHandler onBatch, FinishHandler onFinish);

    static int defaultThreads();

private:
    WorkQueue m_queue;
};

} // namespace dromel
