#include "browser/detail/StoreRead.h"

#include "core/Location.h"
#include "directory/DirectoryReading.h"
#include "directory/ListingOrdering.h"

namespace dromel::detail {

namespace {

// What a tab shows when a read ends without a complete listing and without
// saying why.
constexpr const char *kIncompleteRead = "The folder could not be read completely.";

} // namespace

StoreRead::StoreRead(BrowserStore &store, Setup setup)
    : m_store(store), m_storeAlive(store.m_lifetime.weak()), m_setup(std::move(setup)),
      m_folder(Location::standardized(m_setup.target)),
      m_published(m_setup.mode == BrowserStore::Navigation::refresh) {}

StoreRead::~StoreRead() = default;

void StoreRead::start() {
    std::weak_ptr<StoreRead> weak = weak_from_this();
    auto onSnapshot = [weak](const DirectorySnapshot &snapshot) {
        if (auto self = weak.lock())
            self->received(snapshot);
    };
    auto onFinish = [weak](std::error_code error) {
        if (auto self = weak.lock())
            self->finished(error);
    };
    if (m_setup.search)
        m_read = m_store.m_searching.snapshots(*m_setup.search, m_setup.hidden, onSnapshot, onFinish);
    else
        m_read = m_store.m_reader.snapshots(m_folder, m_setup.hidden, onSnapshot, onFinish);
}

void StoreRead::cancel() {
    m_cancelled = true;
    if (m_read)
        m_read->cancel();
    if (m_ticket)
        m_ticket->cancel();
    m_ticket.reset();
}

bool StoreRead::current() const {
    return !m_cancelled && !m_storeAlive.expired() &&
           m_store.isCurrentRead(m_setup.tabID, m_setup.generation);
}

void StoreRead::received(const DirectorySnapshot &snapshot) {
    if (!current())
        return;
    // A refresh of a folder already shown replaces the listing once, with the
    // complete result, so the list does not shrink and grow again.
    if (m_setup.keepUntilComplete && !snapshot.isComplete)
        return;
    m_pending = snapshot;
    advance();
}

void StoreRead::finished(std::error_code error) {
    if (!current())
        return;
    m_end = error;
    advance();
}

void StoreRead::advance() {
    if (m_ordering || !current())
        return;
    if (m_pending) {
        m_ordering = std::move(m_pending);
        m_pending.reset();
        orderPending(m_store.findTab(m_setup.tabID)->sort);
        return;
    }
    if (!m_end)
        return;
    if (*m_end)
        fail(m_end->message());
    else if (m_lastComplete)
        m_store.finishRead(m_setup.tabID);
    else
        fail(kIncompleteRead);
}

void StoreRead::orderPending(FileSort sort) {
    std::weak_ptr<StoreRead> weak = weak_from_this();
    // The completion may be released on the sorting thread: it holds nothing
    // but a weak reference.
    m_ticket =
        m_store.m_orderer.order(m_ordering->entries, sort, [weak, sort](std::optional<FileEntryList> result) {
            if (auto self = weak.lock())
                self->ordered(sort, std::move(result));
        });
}

void StoreRead::ordered(const FileSort &used, std::optional<FileEntryList> result) {
    m_ticket.reset();
    if (!current())
        return;
    if (!result) {
        m_ordering.reset();
        fail("The listing could not be ordered.");
        return;
    }
    // The user changed the sort while this batch was being ordered.
    const FileSort wanted = m_store.findTab(m_setup.tabID)->sort;
    if (!(wanted == used)) {
        orderPending(wanted);
        return;
    }
    if (!publish(*result))
        return;
    m_ordering.reset();
    advance();
}

bool StoreRead::publish(const FileEntryList &ordered) {
    using Navigation = BrowserStore::Navigation;
    const Uuid id = m_setup.tabID;
    BrowserTab &tab = *m_store.findTab(id);
    const DirectorySnapshot &snapshot = *m_ordering;
    const bool complete = snapshot.isComplete;
    const bool wasPublished = m_published;

    if (!wasPublished) {
        if (m_setup.mode == Navigation::back)
            tab.history.step(-1);
        else if (m_setup.mode == Navigation::forward)
            tab.history.step(+1);
        else
            tab.history.visit(m_folder);
        m_store.m_restoredSelections.erase(id);
        tab.selection.clear();
        tab.scrollOffset = 0;
    }
    const FileEntryList oldVisible = tab.visibleEntries();
    // The listing being installed is already in the tab's current order.
    m_store.cancelSort(id);
    tab.replaceEntries(snapshot.entries, ordered);
    tab.searchDetails = snapshot.search;

    // Going up selects the folder the user came from, in whichever batch it
    // arrives, until the user touches the selection or the filter.
    const auto changes = m_store.m_selectionChanges.find(id);
    const long long counter = changes == m_store.m_selectionChanges.end() ? 0 : changes->second;
    if (m_setup.mode == Navigation::parent && counter == m_setup.selectionCounter) {
        const std::string name = Location::lastComponent(m_setup.previousFolder);
        for (const FileEntry &entry : snapshot.entries)
            if (entry.name() == name && entry.url() == m_setup.previousFolder) {
                tab.selection = {entry.id()};
                break;
            }
    }
    if (auto restored = m_store.m_restoredSelections.find(id);
        restored != m_store.m_restoredSelections.end()) {
        tab.selection = restored->second;
        if (complete)
            m_store.m_restoredSelections.erase(restored);
    }
    tab.pruneSelection();
    tab.loading = !complete;
    tab.error.reset();
    if (complete)
        m_store.prepareFilter(id);
    m_published = true;
    m_lastComplete = complete;

    // Decided before any observer runs: an observer may change the tabs.
    const bool active = m_store.isActive(id);
    const auto change = !wasPublished || !(tab.visibleEntries() == oldVisible) ? BrowserStore::Change::content
                                                                               : BrowserStore::Change::chrome;
    if ((!wasPublished || complete) && !m_store.notifySession())
        return false;
    return !active || m_store.notify(change);
}

void StoreRead::fail(const std::string &detail) {
    if (!current())
        return;
    const Uuid id = m_setup.tabID;
    BrowserTab &tab = *m_store.findTab(id);
    tab.loading = false;
    tab.error = BrowserIssue::directoryRead(m_folder, detail);
    // Keeps this object alive through finishRead, which drops the store's hold.
    const auto self = shared_from_this();
    if (m_store.isActive(id) && !m_store.notify(BrowserStore::Change::chrome))
        return;
    if (m_store.isCurrentRead(id, m_setup.generation))
        m_store.finishRead(id);
}

} // namespace dromel::detail
