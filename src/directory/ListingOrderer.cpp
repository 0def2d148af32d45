#include "directory/ListingOrderer.h"

#include "directory/detail/SortTicket.h"

namespace dromel {

ListingOrderer::ListingOrderer() : m_queue(QueueNames::listingOrder()) {}

std::shared_ptr<OrderingTicket> ListingOrderer::order(FileEntryList entries, FileSort sort,
                                                      Completion completion) {
    auto ticket = std::make_shared<detail::SortTicket>(std::move(completion));
    // The job holds the ticket weakly: a caller that drops its ticket has
    // abandoned the sort, and the job then skips it.
    m_queue.async([weak = std::weak_ptr<detail::SortTicket>(ticket), entries = std::move(entries), sort] {
        auto held = weak.lock();
        if (!held || held->stopped())
            return;
        held->finish(sort.apply(entries, ""));
    });
    return ticket;
}

} // namespace dromel
