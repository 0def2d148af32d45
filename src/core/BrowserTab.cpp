#include "core/BrowserTab.h"

#include <string_view>
#include <unordered_set>

namespace dromel {

BrowserTab::BrowserTab(Uuid tabID, const std::string &location)
    : id(tabID), history(location), generation(Uuid::random()), m_listingVersion(Uuid::random()),
      m_orderVersion(Uuid::random()) {}

void BrowserTab::setFilter(std::string filter) {
    // Typing one more letter only ever hides names: without prepared names,
    // search what is shown instead of the whole listing.
    const bool narrowing = !m_filterIndex && !m_filter.empty() && FileSort::narrows(filter, m_filter);
    m_filter = std::move(filter);
    if (narrowing)
        m_visibleEntries = FileSort::filtered(m_visibleEntries, m_filter);
    else
        recomputeVisible();
}

void BrowserTab::replaceEntries(FileEntryList entries, FileEntryList ordered) {
    m_entries = std::move(entries);
    m_listingVersion = Uuid::random();
    m_orderedEntries = std::move(ordered);
    m_orderVersion = Uuid::random();
    m_filterIndex.reset();
    recomputeVisible();
}

void BrowserTab::reorder(FileEntryList ordered) {
    m_orderedEntries = std::move(ordered);
    m_orderVersion = Uuid::random();
    m_filterIndex.reset();
    recomputeVisible();
}

void BrowserTab::setFilterIndex(std::shared_ptr<const FilterIndex> index, const Uuid &version) {
    if (version == m_orderVersion && index && index->size() == m_orderedEntries.size())
        m_filterIndex = std::move(index);
}

namespace {

// The ids as a hash set of views into `ids`: one lookup per entry instead of
// a walk down a tree of 100,000 strings.
std::unordered_set<std::string_view> lookupOf(const std::set<std::string> &ids) {
    std::unordered_set<std::string_view> lookup;
    lookup.reserve(ids.size());
    for (const std::string &id : ids)
        lookup.insert(id);
    return lookup;
}

} // namespace

void BrowserTab::pruneSelection() {
    if (selection.empty())
        return;
    std::unordered_set<std::string_view> missing = lookupOf(selection);
    for (const FileEntry &entry : m_visibleEntries)
        if (missing.erase(entry.id()) != 0 && missing.empty())
            return;
    // Copies first: the views point into the strings being erased.
    std::vector<std::string> gone(missing.begin(), missing.end());
    for (const std::string &goneID : gone)
        selection.erase(goneID);
}

std::vector<FileEntry> BrowserTab::selectedEntries() const {
    std::vector<FileEntry> result;
    if (selection.empty())
        return result;
    const std::unordered_set<std::string_view> lookup = lookupOf(selection);
    for (const FileEntry &entry : m_visibleEntries)
        if (lookup.count(entry.id()) != 0) {
            result.push_back(entry);
            if (result.size() == selection.size())
                break;
        }
    return result;
}

void BrowserTab::recomputeVisible() {
    if (m_filterIndex && !m_filter.empty())
        m_visibleEntries = m_filterIndex->filtered(m_orderedEntries, m_filter);
    else
        m_visibleEntries = FileSort::filtered(m_orderedEntries, m_filter);
}

} // namespace dromel
