#include "browser/BrowserStore.h"

#include "browser/detail/StoreRead.h"
#include "browser/detail/StoreSort.h"
#include "core/Location.h"
#include "core/StatePaths.h"
#include "directory/DirectoryMonitor.h"
#include "runtime/MainThread.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <system_error>
#include <utility>

namespace dromel {

namespace {

void confined(const char *where) {
    MainThread::assertCurrent(where);
}

std::vector<std::string> folderPaths(const BrowserSession &session) {
    if (!session.valid()) {
        std::fprintf(stderr, "Dromel: BrowserStore was given an invalid session\n");
        std::abort();
    }
    return session.paths();
}

// What a tab shows for a target that names no folder.
BrowserIssue missingFolder(const std::string &url) {
    return BrowserIssue::directoryRead(url, std::error_code(ENOENT, std::system_category()).message());
}

} // namespace

BrowserStore::BrowserStore(const std::vector<std::string> &urls, long activeIndex, DirectoryReading &reader,
                           ListingOrdering &orderer)
    : m_reader(reader), m_orderer(orderer), m_monitorGeneration(Uuid::random()) {
    confined("BrowserStore");
    // Relative paths have no meaning here (see refuseNavigation); callers make
    // them absolute, and any left are dropped.
    std::vector<std::string> folders;
    std::copy_if(urls.begin(), urls.end(), std::back_inserter(folders),
                 [](const std::string &url) { return Location::isAbsolute(url); });
    if (folders.empty())
        folders.push_back(StatePaths::homeFolder());
    m_tabs.reserve(folders.size());
    for (const std::string &folder : folders)
        m_tabs.emplace_back(Uuid::random(), Location::standardized(folder));
    const bool inRange = activeIndex >= 0 && static_cast<std::size_t>(activeIndex) < m_tabs.size();
    m_activeID = m_tabs[inRange ? static_cast<std::size_t>(activeIndex) : 0].id;
    m_refreshTimer.setSingleShot(true);
    QObject::connect(&m_refreshTimer, &QTimer::timeout, [this] { refreshDeferred(); });
}

BrowserStore::BrowserStore(const BrowserSession &session, DirectoryReading &reader, ListingOrdering &orderer)
    : BrowserStore(folderPaths(session), static_cast<long>(session.activeIndex), reader, orderer) {
    m_tabs.clear();
    for (const TabSession &saved : session.tabs) {
        m_tabs.push_back(saved.restore());
        // Applied when the tab's listing arrives; until then the session
        // snapshot reports it, so an early save does not lose it.
        m_restoredSelections[m_tabs.back().id] = saved.selection;
    }
    m_activeID = m_tabs.at(static_cast<std::size_t>(session.activeIndex)).id;
}

BrowserStore::~BrowserStore() {
    confined("~BrowserStore");
    // Reads and sorts hold the store by reference; stop them before it goes.
    for (auto &[id, read] : m_reads)
        read->cancel();
    for (auto &[id, sort] : m_sorts)
        sort->cancel();
}

// --- Views -------------------------------------------------------------------

const BrowserTab &BrowserStore::current() const {
    confined("BrowserStore::current");
    const std::ptrdiff_t position = positionOf(m_activeID);
    assert(position >= 0 && "the active tab always exists");
    return m_tabs[static_cast<std::size_t>(position)];
}

std::vector<FileEntry> BrowserStore::selected() const {
    return current().selectedEntries();
}

BrowserSession BrowserStore::session() const {
    confined("BrowserStore::session");
    std::vector<TabSession> saved;
    saved.reserve(m_tabs.size());
    for (const BrowserTab &tab : m_tabs) {
        saved.emplace_back(tab);
        if (const auto restored = m_restoredSelections.find(tab.id); restored != m_restoredSelections.end())
            saved.back().selection = restored->second;
    }
    const std::ptrdiff_t position = positionOf(m_activeID);
    return BrowserSession(std::move(saved), position < 0 ? 0 : position);
}

std::set<std::string> BrowserStore::watchedFolders() const {
    std::set<std::string> folders;
    for (const BrowserTab &tab : m_tabs)
        folders.insert(tab.url());
    for (const auto &[id, folder] : m_destinations)
        folders.insert(folder);
    return folders;
}

// --- Tabs --------------------------------------------------------------------

void BrowserStore::addTab(std::optional<std::string> url) {
    confined("BrowserStore::addTab");
    if (m_tabs.size() >= kMaximumTabs) {
        active().error = BrowserIssue::tooManyTabs();
        (void)notify(Change::chrome);
        return;
    }
    if (url && !Location::isAbsolute(*url)) {
        active().error = missingFolder(*url);
        (void)notify(Change::chrome);
        return;
    }
    const std::string folder = url ? Location::standardized(*url) : active().url();
    const Uuid id = Uuid::random();
    m_tabs.emplace_back(id, folder);
    m_activeID = id;
    if (!notify(Change::content) || !notifySession())
        return;
    navigate(folder, Navigation::refresh, id);
}

void BrowserStore::closeTab(Uuid id) {
    confined("BrowserStore::closeTab");
    if (m_tabs.size() < 2)
        return;
    const std::ptrdiff_t position = positionOf(id);
    if (position < 0)
        return;
    if (const auto read = m_reads.find(id); read != m_reads.end()) {
        read->second->cancel();
        m_reads.erase(read);
    }
    cancelSort(id);
    m_selectionChanges.erase(id);
    m_restoredSelections.erase(id);
    m_destinations.erase(id);
    m_invalidations.erase(id);
    m_readStarts.erase(id);
    m_readCosts.erase(id);
    m_deferredRefreshes.erase(id);
    m_urgentInvalidations.erase(id);
    m_tabs.erase(m_tabs.begin() + position);
    updateMonitoring();
    if (id == m_activeID)
        m_activeID = m_tabs[std::min<std::size_t>(static_cast<std::size_t>(position), m_tabs.size() - 1)].id;
    if (!notify(Change::content) || !notifySession())
        return;
    loadIfEmpty(m_activeID);
}

void BrowserStore::reopenTab(const TabSession &saved) {
    confined("BrowserStore::reopenTab");
    if (!saved.valid())
        return;
    if (m_tabs.size() >= kMaximumTabs) {
        active().error = BrowserIssue::tooManyTabs();
        (void)notify(Change::chrome);
        return;
    }
    m_tabs.push_back(saved.restore());
    const Uuid id = m_tabs.back().id;
    m_restoredSelections[id] = saved.selection;
    m_activeID = id;
    if (!notify(Change::content) || !notifySession())
        return;
    loadIfEmpty(id);
}

void BrowserStore::switchTab(Uuid id) {
    confined("BrowserStore::switchTab");
    if (id == m_activeID || positionOf(id) < 0)
        return;
    m_activeID = id;
    if (!notify(Change::content) || !notifySession())
        return;
    loadIfEmpty(id);
}

void BrowserStore::nextTab(bool reverse) {
    confined("BrowserStore::nextTab");
    const auto count = static_cast<std::ptrdiff_t>(m_tabs.size());
    const std::ptrdiff_t position = std::max<std::ptrdiff_t>(positionOf(m_activeID), 0);
    const std::ptrdiff_t target = reverse ? (position + count - 1) % count : (position + 1) % count;
    switchTab(m_tabs[static_cast<std::size_t>(target)].id);
}

void BrowserStore::moveTab(Uuid id, std::size_t position) {
    confined("BrowserStore::moveTab");
    const std::ptrdiff_t from = positionOf(id);
    if (from < 0)
        return;
    const auto to = static_cast<std::ptrdiff_t>(std::min(position, m_tabs.size() - 1));
    if (from == to)
        return;
    const auto begin = m_tabs.begin();
    if (from < to)
        std::rotate(begin + from, begin + from + 1, begin + to + 1);
    else
        std::rotate(begin + to, begin + from, begin + from + 1);
    if (!notify(Change::chrome))
        return;
    (void)notifySession();
}

void BrowserStore::showError(const std::string &message) {
    confined("BrowserStore::showError");
    if (BrowserTab *tab = findTab(m_activeID))
        tab->error = BrowserIssue::message(message);
    (void)notify(Change::chrome);
}

void BrowserStore::dismissError() {
    confined("BrowserStore::dismissError");
    if (BrowserTab *tab = findTab(m_activeID))
        tab->error.reset();
    (void)notify(Change::chrome);
}

void BrowserStore::loadIfEmpty(Uuid id) {
    BrowserTab *tab = findTab(id);
    if (!tab || !tab->entries().empty() || tab->loading)
        return;
    if (tab->search)
        startSearch(id, *tab->search, false);
    else
        navigate(tab->url(), Navigation::refresh, id);
}

// --- Navigation --------------------------------------------------------------

void BrowserStore::navigate(std::string url, Navigation mode, std::optional<Uuid> tabID) {
    confined("BrowserStore::navigate");
    const Uuid id = tabID.value_or(m_activeID);
    BrowserTab *tab = findTab(id);
    if (!tab)
        return;
    if (const auto running = m_reads.find(id); running != m_reads.end())
        running->second->cancel();
    cancelSort(id);
    tab->search.reset();
    tab->searchDetails.reset();
    // A folder has no location column to show the order by.
    if (tab->sort.column == SortColumn::location)
        tab->sort.column = SortColumn::name;
    if (!Location::isAbsolute(url)) {
        refuseNavigation(id, url);
        return;
    }
    m_destinations[id] = Location::standardized(url);
    m_invalidations.erase(id);
    m_urgentInvalidations.erase(id);
    updateMonitoring();

    const auto changes = m_selectionChanges.find(id);
    detail::StoreRead::Setup setup{
        .mode = mode,
        .target = url,
        .tabID = id,
        .generation = Uuid::random(),
        .hidden = m_showHidden,
        .keepUntilComplete = mode == Navigation::refresh && !tab->entries().empty(),
        .selectionCounter = changes == m_selectionChanges.end() ? 0 : changes->second,
        .previousFolder = tab->url(),
        .search = std::nullopt,
    };
    const Uuid generation = setup.generation;
    tab->generation = generation;
    tab->loading = true;
    tab->error.reset();
    // Registered before any notice, so an observer that navigates again
    // supersedes this read cleanly.
    auto read = std::make_shared<detail::StoreRead>(*this, std::move(setup));
    m_reads[id] = read;
    m_readStarts[id] = std::chrono::steady_clock::now();
    if (isActive(id) && !notify(Change::chrome))
        return;
    if (isCurrentRead(id, generation))
        read->start();
}

// A relative target would be read against the process's working folder and
// end up in the history, where it makes every later session invalid. It is
// refused the way a missing folder fails, superseding any read in flight.
void BrowserStore::refuseNavigation(Uuid id, const std::string &url) {
    m_reads.erase(id);
    m_readStarts.erase(id);
    m_destinations.erase(id);
    m_invalidations.erase(id);
    m_urgentInvalidations.erase(id);
    updateMonitoring();
    BrowserTab &tab = *findTab(id);
    tab.generation = Uuid::random();
    tab.loading = false;
    tab.error = missingFolder(url);
    if (isActive(id))
        (void)notify(Change::chrome);
}

void BrowserStore::refresh() {
    confined("BrowserStore::refresh");
    if (const auto &query = active().search)
        startSearch(m_activeID, *query, true);
    else
        navigate(active().url(), Navigation::refresh);
}

void BrowserStore::goBack() {
    confined("BrowserStore::goBack");
    if (active().search) {
        endSearch();
        return;
    }
    if (const auto back = active().history.back())
        navigate(*back, Navigation::back);
}

void BrowserStore::goForward() {
    confined("BrowserStore::goForward");
    if (const auto forward = active().history.forward())
        navigate(*forward, Navigation::forward);
}

void BrowserStore::goUp() {
    confined("BrowserStore::goUp");
    const std::string folder = active().url();
    const std::string parent = Location::parent(folder);
    if (parent != folder)
        navigate(parent, Navigation::parent);
}

void BrowserStore::finishRead(Uuid id) {
    m_reads.erase(id);
    m_destinations.erase(id);
    if (const auto started = m_readStarts.find(id); started != m_readStarts.end()) {
        const auto now = std::chrono::steady_clock::now();
        m_readCosts[id] = {now - started->second, now};
        m_readStarts.erase(started);
    }
    std::set<std::string> changed;
    if (auto it = m_invalidations.find(id); it != m_invalidations.end()) {
        changed = std::move(it->second);
        m_invalidations.erase(it);
    }
    const bool urgent = m_urgentInvalidations.erase(id) != 0;
    updateMonitoring();
    // The folder changed on disk while it was being read.
    if (BrowserTab *tab = findTab(id); tab && changed.count(tab->url()) != 0) {
        if (urgent)
            navigate(tab->url(), Navigation::refresh, id);
        else
            refreshChanged(id);
    }
}

void BrowserStore::refreshChanged(Uuid id) {
    BrowserTab *tab = findTab(id);
    if (!tab || tab->search)
        return;
    if (const auto cost = m_readCosts.find(id); cost != m_readCosts.end()) {
        const auto due = cost->second.end + kRefreshSpacing * cost->second.duration;
        const auto now = std::chrono::steady_clock::now();
        if (due > now) {
            m_deferredRefreshes.insert(id);
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now);
            if (!m_refreshTimer.isActive() || m_refreshTimer.remainingTimeAsDuration() > wait)
                m_refreshTimer.start(wait);
            return;
        }
    }
    navigate(tab->url(), Navigation::refresh, id);
}

void BrowserStore::refreshDeferred() {
    const std::set<Uuid> ids = std::exchange(m_deferredRefreshes, {});
    const auto alive = m_lifetime.weak();
    for (const Uuid &id : ids) {
        if (alive.expired())
            return;
        BrowserTab *tab = findTab(id);
        if (!tab)
            continue;
        if (tab->loading)
            m_invalidations[id].insert(tab->url());
        else
            refreshChanged(id);
    }
}

bool BrowserStore::isCurrentRead(const Uuid &id, const Uuid &generation) const {
    const std::ptrdiff_t position = positionOf(id);
    return position >= 0 && m_tabs[static_cast<std::size_t>(position)].generation == generation;
}

// --- Filter, selection, sorting ----------------------------------------------

void BrowserStore::prepareFilter(Uuid id) {
    const BrowserTab *tab = findTab(id);
    if (!tab || tab->loading || tab->orderedEntries().size() < kFilterIndexMinimum)
        return;
    // The tab takes the result only if its order is still the one prepared.
    m_filterQueue.async([this, alive = m_lifetime.weak(), id, version = tab->orderVersion(),
                         entries = tab->orderedEntries()] {
        auto index = std::make_shared<const FilterIndex>(entries);
        MainThread::post([this, alive, id, version, index = std::move(index)] {
            if (alive.expired())
                return;
            if (BrowserTab *target = findTab(id))
                target->setFilterIndex(index, version);
        });
    });
}

void BrowserStore::select(std::set<std::string> ids) {
    confined("BrowserStore::select");
    BrowserTab &tab = active();
    m_restoredSelections.erase(tab.id);
    ++m_selectionChanges[tab.id];
    tab.selection = std::move(ids);
    tab.pruneSelection();
    if (!notify(Change::selection))
        return;
    (void)notifySession();
}

void BrowserStore::filter(std::string text) {
    confined("BrowserStore::filter");
    BrowserTab &tab = active();
    m_restoredSelections.erase(tab.id);
    ++m_selectionChanges[tab.id];
    tab.setFilter(std::move(text));
    tab.scrollOffset = 0;
    tab.pruneSelection();
    if (!notify(Change::content))
        return;
    (void)notifySession();
}

void BrowserStore::sort(FileSort sort) {
    confined("BrowserStore::sort");
    const Uuid id = m_activeID;
    cancelSort(id);
    BrowserTab &tab = active();
    tab.sort = sort;
    tab.arranging = true;
    // Captured before any observer runs.
    const FileEntryList entries = tab.entries();
    const Uuid version = tab.listingVersion();
    if (!notifySession())
        return;
    const Uuid token = Uuid::random();
    m_sortTokens[id] = token;
    auto task = std::make_shared<detail::StoreSort>(*this, id, token, entries, version, sort);
    m_sorts[id] = task;
    if (!notify(Change::chrome))
        return;
    if (m_sorts.count(id) != 0 && m_sorts[id] == task)
        task->start();
}

void BrowserStore::cancelSort(Uuid id) {
    if (const auto it = m_sorts.find(id); it != m_sorts.end()) {
        const auto task = it->second;
        m_sorts.erase(it);
        task->cancel();
    }
    m_sortTokens.erase(id);
    if (BrowserTab *tab = findTab(id))
        tab->arranging = false;
}

void BrowserStore::saveScroll(double offset) {
    confined("BrowserStore::saveScroll");
    BrowserTab &tab = active();
    // An empty or still-empty list must not overwrite the saved position.
    if (tab.entries().empty() || !std::isfinite(offset))
        return;
    const double value = std::max(offset, 0.0);
    if (tab.scrollOffset == value)
        return;
    tab.scrollOffset = value;
    (void)notifySession();
}

void BrowserStore::setView(TabViewMode mode, int iconZoom) {
    confined("BrowserStore::setView");
    BrowserTab &tab = active();
    const int zoom = std::clamp(iconZoom, 0, TabSession::kMaxIconZoom);
    if (tab.viewMode == mode && tab.iconZoom == zoom)
        return;
    tab.viewMode = mode;
    tab.iconZoom = zoom;
    if (!notify(Change::chrome))
        return;
    (void)notifySession();
}

void BrowserStore::setShowHidden(bool value) {
    confined("BrowserStore::setShowHidden");
    m_showHidden = value;
    if (onHiddenChanged) {
        const auto alive = m_lifetime.weak();
        auto observer = onHiddenChanged;
        observer(value);
        if (alive.expired())
            return;
    }
    for (auto &[id, read] : m_reads)
        read->cancel();
    m_reads.clear();
    for (BrowserTab &tab : m_tabs)
        cancelSort(tab.id);
    m_destinations.clear();
    m_invalidations.clear();
    m_urgentInvalidations.clear();
    m_readStarts.clear();
    for (BrowserTab &tab : m_tabs) {
        tab.generation = Uuid::random();
        tab.loading = false;
        // Read again, with the new setting, when next activated.
        if (tab.id != m_activeID)
            tab.replaceEntries({}, {});
    }
    refresh();
}

// --- Watching ----------------------------------------------------------------

void BrowserStore::invalidateDirectories(std::set<std::string> urls) {
    confined("BrowserStore::invalidateDirectories");
    invalidate(std::move(urls), false);
}

void BrowserStore::invalidate(std::set<std::string> urls, bool spaced) {
    std::set<std::string> changed;
    for (const std::string &url : urls)
        changed.insert(Location::standardized(url));
    // Ids first: a refresh notifies the observer, which may change the tabs.
    std::vector<Uuid> ids;
    for (const BrowserTab &tab : m_tabs)
        ids.push_back(tab.id);
    const auto alive = m_lifetime.weak();
    for (const Uuid &id : ids) {
        if (alive.expired())
            return;
        BrowserTab *tab = findTab(id);
        if (!tab || invalidateSearch(id, changed, spaced))
            continue;
        std::set<std::string> hits;
        if (changed.count(tab->url()) != 0)
            hits.insert(tab->url());
        if (const auto destination = m_destinations.find(id);
            destination != m_destinations.end() && changed.count(destination->second) != 0)
            hits.insert(destination->second);
        if (hits.empty())
            continue;
        if (tab->loading) {
            m_invalidations[id].merge(hits);
            if (!spaced)
                m_urgentInvalidations.insert(id);
        } else if (spaced)
            refreshChanged(id);
        else
            navigate(tab->url(), Navigation::refresh, id);
    }
}

void BrowserStore::startMonitoring() {
    confined("BrowserStore::startMonitoring");
    if (m_monitor)
        return;
    m_monitorGeneration = Uuid::random();
    // Every read starts after updateMonitoring() has returned, so a folder
    // new to the watch set needs no report: only listings made before now
    // may have missed a change.
    DirectoryMonitor::Options options;
    options.reportNewlyWatched = false;
    m_monitor = std::make_unique<DirectoryMonitor>(
        true,
        [this, alive = m_lifetime.weak(),
         generation = m_monitorGeneration](const std::set<std::string> &urls) {
            MainThread::post([this, alive, generation, urls] {
                if (!alive.expired() && m_monitorGeneration == generation)
                    invalidate(urls, true);
            });
        },
        options);
    updateMonitoring();
    std::set<std::string> unwatchedListings;
    for (const BrowserTab &tab : m_tabs)
        if (tab.loading || !tab.entries().empty())
            unwatchedListings.insert(tab.url());
    for (const auto &[id, folder] : m_destinations)
        unwatchedListings.insert(folder);
    if (!unwatchedListings.empty())
        invalidate(std::move(unwatchedListings), false);
}

void BrowserStore::stopMonitoring() {
    confined("BrowserStore::stopMonitoring");
    m_monitorGeneration = Uuid::random();
    m_monitor.reset();
}

void BrowserStore::updateMonitoring() {
    if (m_monitor)
        m_monitor->watch(watchedFolders());
}

// --- Helpers -----------------------------------------------------------------

BrowserTab *BrowserStore::findTab(const Uuid &id) {
    const std::ptrdiff_t position = positionOf(id);
    return position < 0 ? nullptr : &m_tabs[static_cast<std::size_t>(position)];
}

BrowserTab &BrowserStore::active() {
    BrowserTab *tab = findTab(m_activeID);
    assert(tab && "the active tab always exists");
    return *tab;
}

std::ptrdiff_t BrowserStore::positionOf(const Uuid &id) const {
    const auto it =
        std::find_if(m_tabs.begin(), m_tabs.end(), [&](const BrowserTab &t) { return t.id == id; });
    return it == m_tabs.end() ? -1 : it - m_tabs.begin();
}

bool BrowserStore::notify(Change change) {
    if (!onChange)
        return true;
    const auto alive = m_lifetime.weak();
    // A copy: the observer may replace itself while it runs.
    auto observer = onChange;
    observer(change);
    return !alive.expired();
}

bool BrowserStore::notifySession() {
    if (!onSessionChanged)
        return true;
    const auto alive = m_lifetime.weak();
    auto observer = onSessionChanged;
    observer(session());
    return !alive.expired();
}

} // namespace dromel
