#include "directory/detail/ListingPublisher.h"

namespace dromel::detail {

namespace {

constexpr std::size_t kFirstBatch = 128;
constexpr auto kCadence = std::chrono::milliseconds(100);

} // namespace

void ListingPublisher::add(FileEntry entry) {
    m_pending.push_back(std::move(entry));
    publishIfDue();
}

void ListingPublisher::add(std::vector<FileEntry> &&entries) {
    if (m_pending.empty()) {
        m_pending = std::move(entries);
    } else {
        m_pending.insert(m_pending.end(), std::make_move_iterator(entries.begin()),
                         std::make_move_iterator(entries.end()));
    }
    entries.clear();
    publishIfDue();
}

void ListingPublisher::publishIfDue() {
    if (m_pending.empty())
        return;
    const auto now = Clock::now();
    const bool due = now - m_lastPublication >= kCadence ||
                     (!m_publishedOnce && m_published.size() + m_pending.size() >= kFirstBatch);
    if (!due)
        return;
    m_published = m_published.appending(std::move(m_pending));
    m_pending = {};
    m_publish(m_published, false);
    m_publishedOnce = true;
    m_lastPublication = now;
}

void ListingPublisher::finish() {
    if (!m_pending.empty())
        m_published = m_published.appending(std::move(m_pending));
    m_pending = {};
    m_publish(m_published, true);
}

} // namespace dromel::detail
