#include "sidebar/SidebarWatchSet.h"

#include <algorithm>
#include <iterator>

namespace dromel {

bool SidebarWatchSet::change(const std::set<std::string> &folders) {
    if (folders == m_folders)
        return false;
    std::set<std::string> confirmed;
    std::set_intersection(m_confirmed.begin(), m_confirmed.end(), folders.begin(), folders.end(),
                          std::inserter(confirmed, confirmed.end()));
    m_confirmed = std::move(confirmed);
    // Kept even when empty (the monitor stops and reports nothing): a folder
    // removed and added again was unwatched in between.
    m_unconfirmed.push_back({folders, m_folders});
    m_folders = folders;
    return true;
}

namespace {

std::set<std::string> joinedBy(const std::set<std::string> &folders, const std::set<std::string> &previous) {
    std::set<std::string> joined;
    std::set_difference(folders.begin(), folders.end(), previous.begin(), previous.end(),
                        std::inserter(joined, joined.end()));
    return joined;
}

} // namespace

std::optional<SidebarWatchSet::Confirmation> SidebarWatchSet::take(const std::set<std::string> &reported) {
    // A set that only dropped folders is watched once sent: the monitor
    // reports only folders new to its set, so nothing confirms it.
    while (!m_unconfirmed.empty() &&
           joinedBy(m_unconfirmed.front().folders, m_unconfirmed.front().previous).empty())
        m_unconfirmed.pop_front();
    if (m_unconfirmed.empty())
        return std::nullopt;
    std::set<std::string> joined = joinedBy(m_unconfirmed.front().folders, m_unconfirmed.front().previous);
    // The report may carry changes coalesced with the confirmation.
    if (!std::includes(reported.begin(), reported.end(), joined.begin(), joined.end()))
        return std::nullopt;
    Sent sent = std::move(m_unconfirmed.front());
    m_unconfirmed.pop_front();
    // Watched from now on without a gap: in this set and every set sent since.
    std::set<std::string> steady = sent.folders;
    for (const Sent &later : m_unconfirmed) {
        std::set<std::string> kept;
        std::set_intersection(steady.begin(), steady.end(), later.folders.begin(), later.folders.end(),
                              std::inserter(kept, kept.end()));
        steady = std::move(kept);
    }
    m_confirmed.insert(steady.begin(), steady.end());
    Confirmation confirmation;
    std::set_difference(reported.begin(), reported.end(), joined.begin(), joined.end(),
                        std::inserter(confirmation.changed, confirmation.changed.end()));
    confirmation.joined = std::move(joined);
    confirmation.folders = std::move(sent.folders);
    return confirmation;
}

bool SidebarWatchSet::awaitsConfirmation(const std::string &folder) const {
    return m_folders.count(folder) && !m_confirmed.count(folder);
}

} // namespace dromel
