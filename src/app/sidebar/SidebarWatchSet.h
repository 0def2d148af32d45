#pragma once

#include <deque>
#include <optional>
#include <set>
#include <string>

namespace dromel {

// The bookkeeping of the folders the sidebar asks its directory monitor to
// watch. The monitor reports the folders new to its set once it watches them;
// that first report confirms the watch rather than announcing a change,
// and reloading every folder for it would read each expanded folder again at
// every expand and collapse. This tells the two apart: each set sent is
// expected back whole, in order. Should a real report equal to the expected
// set come first, it is taken for the confirmation and the confirmation that
// follows counts as the change, so no change goes unread.
//
// Plain bookkeeping, no threads: main thread only, like the sidebar.
class SidebarWatchSet {
public:
    // A report that confirmed a set: the folders watched from now on, and those
    // among them that were not watched before (they may have changed unseen).
    struct Confirmation {
        std::set<std::string> folders;
        std::set<std::string> joined;
        // Folders reported beside the confirmation: real changes.
        std::set<std::string> changed;
    };

    // Makes `folders` the set; true when it differs and must be sent to the monitor.
    [[nodiscard]] bool change(const std::set<std::string> &folders);
    // The report, when it is the confirmation of a set sent; nothing for a change.
    std::optional<Confirmation> take(const std::set<std::string> &reported);

    const std::set<std::string> &folders() const { return m_folders; }
    // The folder is in the set but its watch has not been confirmed yet: a read
    // started now could miss a change made before the watch starts.
    bool awaitsConfirmation(const std::string &folder) const;

private:
    struct Sent {
        std::set<std::string> folders;
        std::set<std::string> previous;
    };
    std::set<std::string> m_folders;   // the last set sent
    std::set<std::string> m_confirmed; // watched without a gap since their confirmation
    std::deque<Sent> m_unconfirmed;
};

} // namespace dromel
