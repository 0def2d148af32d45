#include "core/BrowserTab.h"

#include <functional>
#include <string_view>
#include <vector>

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

// The ids as an open-addressing hash set of views into them: one flat
// allocation, one probe per entry, where a tree of 100,000 strings costs a
// walk of cache misses per lookup.
class IdLookup {
public:
    explicit IdLookup(const std::set<std::string> &ids) {
        std::size_t slots = 16;
        while (slots < ids.size() * 2)
            slots *= 2;
        m_slots.resize(slots);
        m_mask = slots - 1;
        for (const std::string &id : ids)
            m_slots[probe(id)] = {id.data(), id.size(), false};
    }

    // Marks `id` found; true when it is one of the ids and was not found before.
    bool find(std::string_view id) {
        Slot &slot = m_slots[probe(id)];
        if (!slot.data || slot.found)
            return false;
        slot.found = true;
        return true;
    }

    template <typename Visit> void forEachNotFound(Visit visit) const {
        for (const Slot &slot : m_slots)
            if (slot.data && !slot.found)
                visit(std::string_view(slot.data, slot.size));
    }

private:
    struct Slot {
        const char *data = nullptr;
        std::size_t size = 0;
        bool found = false;
    };

    // The slot holding `id`, or the empty one where it would go.
    std::size_t probe(std::string_view id) const {
        std::size_t index = std::hash<std::string_view>()(id) & m_mask;
        while (m_slots[index].data && std::string_view(m_slots[index].data, m_slots[index].size) != id)
            index = (index + 1) & m_mask;
        return index;
    }

    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
};

} // namespace

void BrowserTab::pruneSelection() {
    if (selection.empty())
        return;
    IdLookup lookup(selection);
    std::size_t found = 0;
    for (const FileEntry &entry : m_visibleEntries)
        if (lookup.find(entry.id()) && ++found == selection.size())
            return;
    // Copies first: the views point into the strings being erased.
    std::vector<std::string> gone;
    lookup.forEachNotFound([&gone](std::string_view missing) { gone.emplace_back(missing); });
    for (const std::string &goneID : gone)
        selection.erase(goneID);
}

std::vector<FileEntry> BrowserTab::selectedEntries() const {
    std::vector<FileEntry> result;
    if (selection.empty())
        return result;
    IdLookup lookup(selection);
    for (const FileEntry &entry : m_visibleEntries)
        if (lookup.find(entry.id())) {
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
