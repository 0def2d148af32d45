// The store's search state: a tab shows a search's results through the same
// read, sort and filter road as a folder's listing, with its folder kept as
// the history's current location so that back returns to it.
#include "browser/BrowserStore.h"

#include "browser/detail/StoreRead.h"
#include "core/Location.h"
#include "runtime/MainThread.h"

namespace dromel {

void BrowserStore::search(SearchQuery query) {
    MainThread::assertCurrent("BrowserStore::search");
    if (query.startFolder.empty())
        query.startFolder = active().url();
    startSearch(m_activeID, std::move(query), false);
}

void BrowserStore::endSearch() {
    MainThread::assertCurrent("BrowserStore::endSearch");
    BrowserTab &tab = active();
    if (!tab.search)
        return;
    tab.search.reset();
    tab.searchDetails.reset();
    tab.replaceEntries({}, {});
    tab.selection.clear();
    navigate(tab.url(), Navigation::refresh);
}

void BrowserStore::startSearch(Uuid id, SearchQuery query, bool keepUntilComplete) {
    BrowserTab *tab = findTab(id);
    if (!tab)
        return;
    if (const auto running = m_reads.find(id); running != m_reads.end())
        running->second->cancel();
    cancelSort(id);
    m_destinations.erase(id);
    m_invalidations.erase(id);
    m_urgentInvalidations.erase(id);
    m_deferredRefreshes.erase(id);
    query.startFolder = Location::standardized(query.startFolder);
    tab->search = query;
    if (!keepUntilComplete) {
        tab->replaceEntries({}, {});
        tab->searchDetails.reset();
        tab->selection.clear();
        tab->scrollOffset = 0;
    }
    const auto changes = m_selectionChanges.find(id);
    detail::StoreRead::Setup setup{
        .mode = Navigation::refresh,
        .target = tab->url(),
        .tabID = id,
        .generation = Uuid::random(),
        .hidden = m_showHidden,
        .keepUntilComplete = keepUntilComplete,
        .selectionCounter = changes == m_selectionChanges.end() ? 0 : changes->second,
        .previousFolder = tab->url(),
        .search = std::move(query),
    };
    const Uuid generation = setup.generation;
    tab->generation = generation;
    tab->loading = true;
    tab->error.reset();
    auto read = std::make_shared<detail::StoreRead>(*this, std::move(setup));
    m_reads[id] = read;
    m_readStarts[id] = std::chrono::steady_clock::now();
    if (isActive(id) && (!notify(Change::content) || !notifySession()))
        return;
    if (isCurrentRead(id, generation))
        read->start();
}

bool BrowserStore::invalidateSearch(Uuid id, const std::set<std::string> &changed, bool spaced) {
    BrowserTab *tab = findTab(id);
    if (!tab || !tab->search)
        return false;
    // The monitor watches the start folder only, and a search may be long:
    // only changes the program made (after a file operation) search again.
    if (spaced)
        return true;
    const std::string &start = tab->search->startFolder;
    for (const std::string &folder : changed) {
        if (folder == start || (folder.starts_with(start) && (start == "/" || folder[start.size()] == '/'))) {
            startSearch(id, *tab->search, true);
            break;
        }
    }
    return true;
}

} // namespace dromel
