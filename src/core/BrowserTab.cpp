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

void BrowserTab::pruneSelection() {
    if (selection.empty())
        return;
    std::set<std::string> kept;
    for (const FileEntry &entry : m_visibleEntries) {
        auto entryID = entry.id();
        if (selection.count(entryID) != 0) {
            kept.insert(std::move(entryID));
            if (kept.size() == selection.size())
                break;
        }
    }
    selection = std::move(kept);
}

std::vector<FileEntry> BrowserTab::selectedEntries() const {
    std::vector<FileEntry> result;
    if (selection.empty())
        return result;
    for (const FileEntry &entry : m_visibleEntries)
        if (selection.count(entry.id()) != 0) {
            result.push_back(entry);
            if (result.size() == selection.size())
                break;
        }
    return result;
}

void BrowserTab::recomputeVisible() {
    m_visibleEntries = FileSort::filtered(m_orderedEntries, m_filter);
}

} // namespace dromel
