#pragma once

#include "core/FileEntryList.h"
#include "core/FileSort.h"

#include <functional>
#include <memory>
#include <optional>

namespace dromel {

// A sort the caller may abandon.
class OrderingTicket {
public:
    virtual ~OrderingTicket() = default;
    // Answers the caller with "cancelled" at once; a sort that has not
    // started is skipped, a running one finishes and is dropped.
    virtual void cancel() = 0;
};

// Orders listings off the main thread. The completion runs on the main
// thread at most once: with the ordered entries, or with nothing when the
// sort was cancelled through cancel(). Dropping the ticket abandons the sort
// without an answer; the completion may then be destroyed on the sorting
// thread, so it should capture only what is safe to release anywhere.
class ListingOrdering {
public:
    using Completion = std::function<void(std::optional<FileEntryList>)>;

    virtual ~ListingOrdering() = default;
    virtual std::shared_ptr<OrderingTicket> order(FileEntryList entries, FileSort sort,
                                                  Completion completion) = 0;
};

} // namespace dromel
