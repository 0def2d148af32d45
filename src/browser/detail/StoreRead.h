#pragma once

#include "browser/BrowserStore.h"
#include "core/DirectorySnapshot.h"

#include <memory>
#include <optional>
#include <string>
#include <system_error>

namespace dromel {
class DirectoryRead;
class OrderingTicket;
} // namespace dromel

namespace dromel::detail {

// One navigation of one tab: consumes the reader's cumulative snapshots, has
// each ordered off the main thread and publishes it into the tab. The store
// owns it; everything that calls back into it holds it weakly, so once the
// store drops it (superseded, tab closed, store gone) nothing more happens.
// Main thread only.
class StoreRead : public std::enable_shared_from_this<StoreRead> {
public:
    struct Setup {
        BrowserStore::Navigation mode;
        std::string target;
        Uuid tabID;
        Uuid generation;
        bool hidden = false;
        bool keepUntilComplete = false;
        long long selectionCounter = 0;
        std::string previousFolder;
        // Set for a search below the target instead of a read of it.
        std::optional<SearchQuery> search;
    };

    StoreRead(BrowserStore &store, Setup setup);
    ~StoreRead();
    StoreRead(const StoreRead &) = delete;
    StoreRead &operator=(const StoreRead &) = delete;

    void start();
    // Stops the read and any sort in flight; nothing is reported afterwards.
    // Whoever cancels has already given the tab a new generation or removed it.
    void cancel();

private:
    void received(const DirectorySnapshot &snapshot);
    void finished(std::error_code error);
    // Orders the newest pending snapshot unless a sort is already running.
    void advance();
    void orderPending(FileSort sort);
    void ordered(const FileSort &used, std::optional<FileEntryList> result);
    // False when the observer destroyed the store meanwhile.
    [[nodiscard]] bool publish(const FileEntryList &ordered);
    void fail(const std::string &detail);
    bool current() const;

    BrowserStore &m_store;
    const std::weak_ptr<const void> m_storeAlive;
    const Setup m_setup;
    const std::string m_folder; // the target, standardized
    std::unique_ptr<DirectoryRead> m_read;
    std::shared_ptr<OrderingTicket> m_ticket;
    // A slow sort lets snapshots pile up; they are cumulative, so only the
    // newest matters.
    std::optional<DirectorySnapshot> m_pending;
    std::optional<DirectorySnapshot> m_ordering;
    std::optional<std::error_code> m_end;
    bool m_published;
    bool m_lastComplete = false;
    bool m_cancelled = false;
};

} // namespace dromel::detail
