#include "directory/detail/SearchState.h"

namespace dromel::detail {

namespace {

constexpr auto kBatchInterval = std::chrono::milliseconds(50);

} // namespace

SearchState::SearchState(SearchQuery query, SearchOptions options, SearchWalker::BatchHandler onBatch,
                         SearchWalker::FinishHandler onFinish)
    : m_query(std::move(query)), m_options(std::move(options)),
      m_names(m_query.mode == SearchMode::name ? m_query.text : std::string()),
      m_text(m_query.mode == SearchMode::content ? m_query.text : std::string()),
      m_threads(m_options.threads > 0 ? m_options.threads : SearchWalker::defaultThreads()),
      m_onBatch(std::move(onBatch)), m_onFinish(std::move(onFinish)) {
    m_folders.push_back({m_query.startFolder, 0, true});
}

void SearchState::cancel() {
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    m_folderReady.notify_all();
    m_hitsReady.notify_all();
}

bool SearchState::takeFolder(PendingFolder &folder) {
    std::unique_lock lock(m_mutex);
    m_folderReady.wait(lock, [&] { return m_over || isCancelled() || !m_folders.empty() || m_reading == 0; });
    if (m_over || isCancelled() || m_folders.empty()) {
        m_over = true;
        m_folderReady.notify_all();
        m_hitsReady.notify_all();
        return false;
    }
    folder = std::move(m_folders.back());
    m_folders.pop_back();
    ++m_reading;
    return true;
}

void SearchState::addHits(std::vector<SearchHit> &hits) {
    if (hits.empty())
        return;
    std::lock_guard lock(m_mutex);
    const bool wasEmpty = m_hits.empty();
    std::move(hits.begin(), hits.end(), std::back_inserter(m_hits));
    hits.clear();
    if (wasEmpty)
        m_hitsReady.notify_one();
}

void SearchState::finishFolder(std::vector<PendingFolder> &subfolders, std::vector<SearchHit> &hits,
                               std::optional<SearchProblem> problem) {
    addHits(hits);
    std::lock_guard lock(m_mutex);
    // Pushed in reverse so that the first listed is read first.
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
        m_folders.push_back(std::move(*it));
    subfolders.clear();
    if (problem)
        m_problems.push_back(std::move(*problem));
    ++m_foldersRead;
    --m_reading;
    m_folderReady.notify_all();
}

bool SearchState::enterMount(std::uint64_t device, std::uint64_t inode) {
    std::lock_guard lock(m_mutex);
    return m_mounts.emplace(device, inode).second;
}

void SearchState::deliver() {
    auto lastDelivery = std::chrono::steady_clock::time_point();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_hitsReady.wait(lock, [&] { return m_over || isCancelled() || !m_hits.empty(); });
        if (isCancelled())
            break;
        if (!m_hits.empty()) {
            const auto due = lastDelivery + kBatchInterval;
            if (std::chrono::steady_clock::now() < due) {
                m_hitsReady.wait_until(lock, due, [&] { return isCancelled(); });
                continue;
            }
            std::vector<SearchHit> batch;
            batch.swap(m_hits);
            lock.unlock();
            m_onBatch(std::move(batch));
            lastDelivery = std::chrono::steady_clock::now();
            lock.lock();
            continue;
        }
        if (m_over)
            break;
    }
    // Walking threads may still be inside a folder after a cancel; the end is
    // reported without waiting for them, and what they find is dropped.
    SearchSummary summary;
    summary.problems = m_problems;
    summary.foldersRead = m_foldersRead;
    summary.cancelled = isCancelled();
    lock.unlock();
    m_onFinish(std::move(summary));
}

} // namespace dromel::detail
