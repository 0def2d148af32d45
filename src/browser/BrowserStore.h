#pragma once

#include "core/BrowserSession.h"
#include "core/BrowserTab.h"
#include "core/FileEntry.h"
#include "core/FileSort.h"
#include "core/SearchQuery.h"
#include "core/Uuid.h"
#include "directory/SearchReading.h"
#include "runtime/Lifetime.h"
#include "runtime/WorkQueue.h"

#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace dromel {

class DirectoryMonitor;
class DirectoryReading;
class ListingOrdering;

namespace detail {
class StoreRead;
class StoreSort;
} // namespace detail

// The single owner of every tab of the main window. It turns user intents into
// state changes and background work (reads, sorts, watches) and tells its one
// observer what changed.
//
// Threading: confined to the main thread; every public member asserts it.
// Callbacks run synchronously on the main thread inside the operation that
// caused them, after the state change is complete. An observer may call back
// into the store, and may even destroy it: the store then touches nothing more.
// Read and sort jobs hold the store weakly and do nothing once it is gone.
//
// The reader and the orderer must outlive the store.
class BrowserStore {
public:
    // What an observer must refresh.
    enum class Change { content, selection, chrome };
    enum class Navigation { visit, back, forward, refresh, parent };

    static constexpr std::size_t kMaximumTabs = 50;
    // Listings this long get their names prepared for the filter in the
    // background once they are complete and ordered; shorter ones filter
    // fast enough entry by entry.
    static constexpr std::size_t kFilterIndexMinimum = 2000;

    // No urls means one tab at the home folder (relative ones are dropped); an
    // active index out of range means the first tab. Nothing is read until refresh() or a tab switch.
    BrowserStore(const std::vector<std::string> &urls, long activeIndex, DirectoryReading &reader,
                 ListingOrdering &orderer);
    // `session` must be valid (the caller checked BrowserSession::valid()).
    BrowserStore(const BrowserSession &session, DirectoryReading &reader, ListingOrdering &orderer);
    ~BrowserStore();
    BrowserStore(const BrowserStore &) = delete;
    BrowserStore &operator=(const BrowserStore &) = delete;

    std::function<void(Change)> onChange;
    std::function<void(const BrowserSession &)> onSessionChanged;
    std::function<void(bool)> onHiddenChanged;

    // Stored for the window and file list; the store never reads it.
    bool windowsKeys = true;

    const std::vector<BrowserTab> &tabs() const { return m_tabs; }
    const Uuid &activeID() const { return m_activeID; }
    bool showHidden() const { return m_showHidden; }

    // The active tab. Valid until the store next changes; copy it to keep it
    // (a copy shares the listing storage, so it is cheap).
    const BrowserTab &current() const;
    // The visible entries of the active tab that are selected, in list order.
    std::vector<FileEntry> selected() const;
    // The persisted form of every tab; holds no entries, so it is cheap.
    BrowserSession session() const;

    void addTab(std::optional<std::string> url = std::nullopt);
    // Ids and values are taken by copy: a caller may pass a reference into the
    // store's own state (store.current().id), which these operations change.
    void closeTab(Uuid id);
    // Opens a closed tab again, with its history, filter, sort, view and
    // selection, as the active tab. `saved` must be valid.
    void reopenTab(const TabSession &saved);
    void switchTab(Uuid id);
    void nextTab(bool reverse);
    // Puts the tab at `position` (clamped to the last place), the others
    // keeping their order; the active tab stays active.
    void moveTab(Uuid id, std::size_t position);
    void showError(const std::string &message);
    void dismissError();

    // Loads `url` into the tab (the active one when no id is given). History
    // changes only when the first listing arrives; a failure leaves the tab
    // where it was and shows the error. A relative path is refused as missing.
    void navigate(std::string url, Navigation mode, std::optional<Uuid> tabID = std::nullopt);
    void refresh();
    void goBack();
    void goForward();
    void goUp();

    // Shows the results of `query` in the active tab in place of its folder,
    // found in the background and streamed in like a folder's listing. Back,
    // or any navigation, leaves them; refresh searches again.
    void search(SearchQuery query);
    void endSearch();
    // Content search skips larger files.
    void setContentSizeLimit(std::int64_t bytes) { m_searching.contentSizeLimit = bytes; }
    std::int64_t contentSizeLimit() const { return m_searching.contentSizeLimit; }

    void select(std::set<std::string> ids);
    void filter(std::string text);
    void sort(FileSort sort);
    void saveScroll(double offset);
    // The active tab's view; `iconZoom` 0 is the icon view's default size.
    void setView(TabViewMode mode, int iconZoom);
    void setShowHidden(bool value);
    // Folders that changed on disk: idle tabs showing one are refreshed, loading
    // tabs are refreshed once their read ends.
    void invalidateDirectories(std::set<std::string> urls);
    // Changes seen by the monitor are applied the same way, but a tab is
    // re-read no sooner than kRefreshSpacing times its last read's duration
    // after that read ended: a folder that changes all the time (a download
    // in a huge folder) costs at most a fifth of the time re-reading it.
    static constexpr int kRefreshSpacing = 4;
    void startMonitoring();
    void stopMonitoring();

    // What the monitor is told to watch: every tab's folder and every folder
    // being loaded.
    std::set<std::string> watchedFolders() const;

private:
    friend class detail::StoreRead;
    friend class detail::StoreSort;

    BrowserTab *findTab(const Uuid &id);
    BrowserTab &active();
    std::ptrdiff_t positionOf(const Uuid &id) const;
    bool isActive(const Uuid &id) const { return id == m_activeID; }

    // Each returns false when the observer destroyed the store; the caller must
    // then return at once without touching any member.
    [[nodiscard]] bool notify(Change change);
    [[nodiscard]] bool notifySession();

    void cancelSort(Uuid id);
    void updateMonitoring();
    void finishRead(Uuid id);
    void invalidate(std::set<std::string> urls, bool spaced);
    // Refreshes the idle tab now, or once its spacing has passed.
    void refreshChanged(Uuid id);
    void refreshDeferred();
    void refuseNavigation(Uuid id, const std::string &url);
    bool isCurrentRead(const Uuid &id, const Uuid &generation) const;
    // Reads the tab when it has no entries and is not loading.
    void loadIfEmpty(Uuid id);
    // Prepares the tab's ordered names for the filter off the main thread.
    void prepareFilter(Uuid id);
    // Runs the tab's search; `keepUntilComplete` keeps the shown results
    // until the new ones are all found (a search again after a change).
    void startSearch(Uuid id, SearchQuery query, bool keepUntilComplete);
    // A search tab is searched again when a folder below its start changed.
    bool invalidateSearch(Uuid id, const std::set<std::string> &changed, bool spaced);

    std::vector<BrowserTab> m_tabs;
    Uuid m_activeID;
    bool m_showHidden = false;
    DirectoryReading &m_reader;
    ListingOrdering &m_orderer;
    SearchReading m_searching;
    std::unordered_map<Uuid, std::shared_ptr<detail::StoreSort>> m_sorts;
    std::unordered_map<Uuid, Uuid> m_sortTokens;
    std::unordered_map<Uuid, long long> m_selectionChanges;
    std::unordered_map<Uuid, std::shared_ptr<detail::StoreRead>> m_reads;
    std::unordered_map<Uuid, std::string> m_destinations;
    std::unordered_map<Uuid, std::set<std::string>> m_invalidations;
    std::unordered_map<Uuid, std::set<std::string>> m_restoredSelections;
    std::unique_ptr<DirectoryMonitor> m_monitor;
    Uuid m_monitorGeneration;
    // When each running read started, and how long each tab's last read took
    // and when it ended: the spacing of change-driven refreshes.
    struct ReadCost {
        std::chrono::steady_clock::duration duration{};
        std::chrono::steady_clock::time_point end;
    };
    std::unordered_map<Uuid, std::chrono::steady_clock::time_point> m_readStarts;
    std::unordered_map<Uuid, ReadCost> m_readCosts;
    std::set<Uuid> m_deferredRefreshes;
    // Loading tabs told of a change by a caller (after a file operation), not
    // by the monitor: re-read as soon as their read ends.
    std::set<Uuid> m_urgentInvalidations;
    QTimer m_refreshTimer;
    WorkQueue m_filterQueue{QueueNames::filterIndex()};
    // Posted jobs and notices hold this weakly to learn whether the store is gone.
    Lifetime m_lifetime;
};

} // namespace dromel
