#include "directory/SearchWalker.h"

#include "directory/detail/FolderSearch.h"
#include "directory/detail/SearchState.h"

#include <algorithm>
#include <thread>

namespace dromel {

namespace {

constexpr int kMaxThreads = 8;

QueueConfig searchQueue() {
    // One delivering thread beside the walking ones. The walkers fill every
    // core; below the main thread's priority the window still repaints
    // within a frame while results stream in (at the process's own, each
    // repaint waited for a core), and the search loses nothing while the
    // main thread sleeps.
    return {"Dromel.search", kMaxThreads + 1, QueuePriority::bulk};
}

} // namespace

SearchRun::SearchRun(std::shared_ptr<detail::SearchState> state) : m_state(std::move(state)) {}

SearchRun::~SearchRun() {
    m_state->cancel();
}

void SearchRun::cancel() {
    m_state->cancel();
}

SearchWalker::SearchWalker() : m_queue(searchQueue()) {}

SearchWalker::~SearchWalker() = default;

int SearchWalker::defaultThreads() {
    // Reads wait on the disk as often as on the processor: a few more threads
    // than cores keep a cold disk busy.
    const int cores = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    return std::clamp(cores * 2, 4, kMaxThreads);
}

std::unique_ptr<SearchRun> SearchWalker::start(const SearchQuery &query, const SearchOptions &options,
                                               BatchHandler onBatch, FinishHandler onFinish) {
    auto state =
        std::make_shared<detail::SearchState>(query, options, std::move(onBatch), std::move(onFinish));
    m_queue.async([state] { state->deliver(); });
    for (int i = 0; i < std::min(state->threads(), kMaxThreads); ++i)
        m_queue.async([state] { detail::FolderSearch(*state).run(); });
    return std::make_unique<SearchRun>(state);
}

} // namespace dromel
