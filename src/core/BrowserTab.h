#pragma once

#include "core/BrowserIssue.h"
#include "core/FileEntryList.h"
#include "core/FileSort.h"
#include "core/NavigationHistory.h"
#include "core/Uuid.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dromel {

// The whole browsing state of one tab. Plain value owned by the store; the
// tab keeps visibleEntries consistent with its filter and renews
// listingVersion exactly when entries are replaced.
class BrowserTab {
public:
    BrowserTab(Uuid id, const std::string &location);

    Uuid id;
    NavigationHistory history;
    std::set<std::string> selection;
    FileSort sort;
    double scrollOffset = 0;
    bool loading = false;
    bool arranging = false;
    std::optional<BrowserIssue> error;
    Uuid generation;

    const std::string &url() const { return history.current(); }
    const FileEntryList &entries() const { return m_entries; }
    const FileEntryList &orderedEntries() const { return m_orderedEntries; }
    const FileEntryList &visibleEntries() const { return m_visibleEntries; }
    const Uuid &listingVersion() const { return m_listingVersion; }
    const std::string &filter() const { return m_filter; }

    void setFilter(std::string filter);
    void replaceEntries(FileEntryList entries, FileEntryList ordered);
    void reorder(FileEntryList ordered);
    // selection = selection ∩ the ids of visibleEntries.
    void pruneSelection();
    // The visible entries whose id is selected, in list order.
    std::vector<FileEntry> selectedEntries() const;

private:
    void recomputeVisible();

    FileEntryList m_entries;
    FileEntryList m_orderedEntries;
    FileEntryList m_visibleEntries;
    Uuid m_listingVersion;
    std::string m_filter;
};

} // namespace dromel
