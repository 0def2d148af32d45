#include "directory/detail/SortTicket.h"

#include "runtime/MainThread.h"

namespace dromel::detail {

void SortTicket::finish(std::optional<FileEntryList> result) {
    ListingOrdering::Completion completion;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return;
        m_stopped = true;
        completion = std::move(m_completion);
        m_completion = nullptr;
    }
    if (completion)
        MainThread::post([completion = std::move(completion), result = std::move(result)]() mutable {
            completion(std::move(result));
        });
}

bool SortTicket::stopped() const {
    std::lock_guard lock(m_mutex);
    return m_stopped;
}

} // namespace dromel::detail
