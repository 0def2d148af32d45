#pragma once

#include "directory/ListingOrdering.h"
#include "runtime/WorkQueue.h"

namespace dromel {

// FileSort::apply on the "Dromel.listing-order" queue, two sorts at a time.
// Every call goes through the queue, however short the list.
class ListingOrderer : public ListingOrdering {
public:
    ListingOrderer();
    std::shared_ptr<OrderingTicket> order(FileEntryList entries, FileSort sort,
                                          Completion completion) override;

private:
    WorkQueue m_queue;
};

} // namespace dromel
