#pragma once

#include "browser/BrowserStore.h"

#include <memory>
#include <optional>

namespace dromel {
class OrderingTicket;
} // namespace dromel

namespace dromel::detail {

// A user-requested re-sort of one tab's listing. It applies only if its token
// is still the tab's latest and the listing it sorted is still installed. The
// store owns it; the orderer's answer holds it weakly. Main thread only.
class StoreSort : public std::enable_shared_from_this<StoreSort> {
public:
    StoreSort(BrowserStore &store, Uuid tabID, Uuid token, FileEntryList entries, Uuid listingVersion,
              FileSort sort);

    void start();
    // Nothing is reported afterwards; the canceller has removed the token.
    void cancel();

private:
    void finished(std::optional<FileEntryList> result);

    BrowserStore &m_store;
    const std::weak_ptr<const void> m_storeAlive;
    const Uuid m_tabID;
    const Uuid m_token;
    const FileEntryList m_entries;
    const Uuid m_listingVersion;
    const FileSort m_sort;
    std::shared_ptr<OrderingTicket> m_ticket;
    bool m_cancelled = false;
};

} // namespace dromel::detail
