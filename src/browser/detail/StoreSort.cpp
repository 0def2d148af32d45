#include "browser/detail/StoreSort.h"

#include "directory/ListingOrdering.h"

namespace dromel::detail {

StoreSort::StoreSort(BrowserStore &store, Uuid tabID, Uuid token, FileEntryList entries, Uuid listingVersion,
                     FileSort sort)
    : m_store(store), m_storeAlive(store.m_lifetime.weak()), m_tabID(tabID), m_token(token),
      m_entries(std::move(entries)), m_listingVersion(listingVersion), m_sort(sort) {}

void StoreSort::start() {
    std::weak_ptr<StoreSort> weak = weak_from_this();
    m_ticket = m_store.m_orderer.order(m_entries, m_sort, [weak](std::optional<FileEntryList> result) {
        if (auto self = weak.lock())
            self->finished(std::move(result));
    });
}

void StoreSort::cancel() {
    m_cancelled = true;
    if (m_ticket)
        m_ticket->cancel();
    m_ticket.reset();
}

void StoreSort::finished(std::optional<FileEntryList> result) {
    m_ticket.reset();
    if (m_cancelled || m_storeAlive.expired())
        return;
    const auto token = m_store.m_sortTokens.find(m_tabID);
    if (token == m_store.m_sortTokens.end() || token->second != m_token)
        return;                           // a newer request or a new listing took over
    const auto self = shared_from_this(); // cancelSort below drops the store's hold
    BrowserTab *tab = m_store.findTab(m_tabID);
    if (!result) {
        m_store.cancelSort(m_tabID);
        if (tab && m_store.isActive(m_tabID))
            (void)m_store.notify(BrowserStore::Change::chrome);
        return;
    }
    // A newer listing arrived meanwhile; it was ordered with the tab's current
    // sort when it was published.
    if (!tab || tab->listingVersion() != m_listingVersion)
        return;
    tab->reorder(std::move(*result));
    m_store.cancelSort(m_tabID);
    m_store.prepareFilter(m_tabID);
    if (m_store.isActive(m_tabID))
        (void)m_store.notify(BrowserStore::Change::content);
}

} // namespace dromel::detail
