#pragma once

#include "core/FileEntry.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <system_error>
#include <vector>

namespace dromel {
class Cancellation;
}

namespace dromel::detail {

class EntryMaker;
class FolderNames;
struct FolderItem;
class ListingPublisher;

// The rest of a large folder read by two threads, the calling one and a
// helper, so that the metadata calls, which cost the most, run side by side.
// Each thread claims the next batch of names (in folder order, under the
// lock), makes its entries outside the lock and hands them back; batches are
// published strictly in the order they were claimed, so snapshots stay
// cumulative and in folder order. A thread that runs too many batches ahead of
// the oldest unfinished one waits for it. Both threads check cancellation
// before every item; the first to see it, or a failure, stops both, and what
// was not published is dropped.
class SharedEnumeration {
public:
    SharedEnumeration(FolderNames &names, ListingPublisher &publisher, const Cancellation &cancellation,
                      const std::function<void()> &onItem);

    // Returns once both threads have ended: no error when the folder was read
    // to its end (every entry published but the complete listing).
    std::error_code run(EntryMaker &callerMaker, EntryMaker &helperMaker);

private:
    void work(EntryMaker &maker);
    bool claim(std::vector<FolderItem> &batch, std::size_t &number);
    void handBack(std::size_t number, std::vector<FileEntry> &&entries);
    void stop(std::error_code error);

    FolderNames &m_names;
    ListingPublisher &m_publisher;
    const Cancellation &m_cancellation;
    const std::function<void()> &m_onItem;

    std::mutex m_mutex;
    std::condition_variable m_progress;
    std::size_t m_claimed = 0;                               // batches handed out so far
    std::size_t m_published = 0;                             // batches passed to the publisher, in order
    std::map<std::size_t, std::vector<FileEntry>> m_waiting; // made, not yet in order
    bool m_exhausted = false;                                // every name is claimed
    bool m_stopped = false;
    std::error_code m_error;
};

} // namespace dromel::detail
