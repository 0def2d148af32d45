#pragma once

#include "core/FileEntryList.h"

#include <chrono>
#include <functional>
#include <vector>

namespace dromel::detail {

// Gathers a read's entries in folder order and publishes cumulative listings:
// the first once 128 entries are in or 100 ms have passed, then at most every
// 100 ms while entries arrive, and the complete one last. Earlier entries are
// shared, never copied, between snapshots. Not thread-safe.
class ListingPublisher {
public:
    using Publish = std::function<void(const FileEntryList &, bool isComplete)>;

    explicit ListingPublisher(const Publish &publish) : m_publish(publish) {}

    void add(FileEntry entry);
    void add(std::vector<FileEntry> &&entries);
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    void publishIfDue();

    const Publish &m_publish;
    FileEntryList m_published;
    std::vector<FileEntry> m_pending;
    Clock::time_point m_lastPublication = Clock::now();
    bool m_publishedOnce = false;
};

} // namespace dromel::detail
