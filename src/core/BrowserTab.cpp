#include "core/BrowserTab.h"

namespace dromel {

BrowserTab::BrowserTab(Uuid tabID, const std::string &location)
    : id(tabID), history(location), generation(Uuid::random()), m_listingVersion(Uuid::random()) {}

void BrowserTab::setFilter(std::string filter) {
    m_filter = std::move(filter);
    recomputeVisible();
}

void BrowserTab::replaceEntries(FileEntryList entries, FileEntryList ordered) {
    m_entries = std::move(entries);
    m_listingVersion = Uuid::random();
    m_orderedEntries = std::move(ordered);
    recomputeVisible();
}

void BrowserTab::reorder(FileEntryList ordered) {
    m_orderedEntries = std::move(ordered);
    recomputeVisible();
}

void BrowserTab::recomputeVisible() {
    m_visibleEntries = FileSort::filtered(m_orderedEntries, m_filter);
}

} // namespace dromel
