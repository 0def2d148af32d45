#pragma once

#include "directory/ListingOrdering.h"

#include <mutex>

namespace dromel::detail {

// The hand-over between the waiting caller, the sorting job and
// cancellation: whichever calls finish() first answers the caller, once.
class SortTicket : public OrderingTicket, public std::enable_shared_from_this<SortTicket> {
public:
    explicit SortTicket(ListingOrdering::Completion completion) : m_completion(std::move(completion)) {}

    // Any thread. Posts the answer to the main thread unless already stopped.
    void finish(std::optional<FileEntryList> result);
    bool stopped() const;
    void cancel() override { finish(std::nullopt); }

private:
    mutable std::mutex m_mutex;
    ListingOrdering::Completion m_completion;
    bool m_stopped = false;
};

} // namespace dromel::detail
