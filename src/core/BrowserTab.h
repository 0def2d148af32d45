#pragma once

#include "core/BrowserIssue.h"
#include "core/FileEntryList.h"
#include "core/FileSort.h"
#include "core/FilterIndex.h"
#include "core/NavigationHistory.h"
#include "core/SearchHit.h"
#include "core/SearchQuery.h"
#include "core/TabViewMode.h"
#include "core/Uuid.h"

#include <memory>
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
    // Set while the tab shows a search's results instead of its folder; the
    // folder stays the history's current location.
    std::optional<SearchQuery> search;
    std::shared_ptr<const SearchDetails> searchDetails;
    TabViewMode viewMode = TabViewMode::list;
    // The icon view's icon side in pixels; 0 leaves the view's default.
    int iconZoom = 0;

    const std::string &url() const { return history.current(); }
    const FileEntryList &entries() const { return m_entries; }
    const FileEntryList &orderedEntries() const { return m_orderedEntries; }
    const FileEntryList &visibleEntries() const { return m_visibleEntries; }
    const Uuid &listingVersion() const { return m_listingVersion; }
    const std::string &filter() const { return m_filter; }
    // Renewed whenever orderedEntries changes (new entries or a new order).
    const Uuid &orderVersion() const { return m_orderVersion; }

    // Prepared names for filtering orderedEntries at `version`; ignored when
    // the order has changed since. Dropped with the order it was made for.
    void setFilterIndex(std::shared_ptr<const FilterIndex> index, const Uuid &version);
    bool hasFilterIndex() const { return m_filterIndex != nullptr; }

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
    Uuid m_orderVersion;
    std::shared_ptr<const FilterIndex> m_filterIndex;
    std::string m_filter;
};

} // namespace dromel
