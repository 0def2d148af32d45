#include "directory/detail/SharedEnumeration.h"

#include "directory/detail/EntryMaker.h"
#include "directory/detail/FolderNames.h"
#include "directory/detail/ListingPublisher.h"
#include "runtime/Cancellation.h"

#include <exception>
#include <optional>
#include <system_error>
#include <thread>

namespace dromel::detail {

namespace {

// Small enough that the lock is rarely contended and a batch is made in well
// under a millisecond; the window bounds memory held out of order and the
// work a cancelled read can still have in hand.
constexpr std::size_t kBatchSize = 128;
constexpr std::size_t kMaxAhead = 16;

} // namespace

SharedEnumeration::SharedEnumeration(FolderNames &names, ListingPublisher &publisher,
                                     const Cancellation &cancellation, const std::function<void()> &onItem)
    : m_names(names), m_publisher(publisher), m_cancellation(cancellation), m_onItem(onItem) {}

std::error_code SharedEnumeration::run(EntryMaker &callerMaker, EntryMaker &helperMaker) {
    std::exception_ptr helperFailure;
    std::optional<std::thread> helper;
    try {
        helper.emplace([&] {
            try {
                work(helperMaker);
            } catch (...) {
                helperFailure = std::current_exception();
                stop(std::make_error_code(std::errc::not_enough_memory));
            }
        });
    } catch (const std::system_error &) {
        // No thread to be had (a process at its limit): this one reads the rest alone.
    }
    try {
        work(callerMaker);
    } catch (...) {
        stop(std::make_error_code(std::errc::not_enough_memory));
        if (helper)
            helper->join();
        throw;
    }
    if (helper)
        helper->join();
    if (helperFailure)
        std::rethrow_exception(helperFailure);
    std::lock_guard lock(m_mutex);
    return m_error;
}

void SharedEnumeration::work(EntryMaker &maker) {
    std::vector<FolderItem> batch;
    std::vector<FileEntry> entries;
    std::size_t number = 0;
    while (claim(batch, number)) {
        entries.reserve(batch.size());
        for (FolderItem &item : batch) {
            if (m_cancellation.isCancelled())
                return stop(std::make_error_code(std::errc::operation_canceled));
            if (m_onItem)
                m_onItem();
            if (auto entry = maker.make(std::move(item)))
                entries.push_back(std::move(*entry));
        }
        handBack(number, std::move(entries));
        entries = {};
    }
}

bool SharedEnumeration::claim(std::vector<FolderItem> &batch, std::size_t &number) {
    batch.clear();
    std::unique_lock lock(m_mutex);
    m_progress.wait(lock, [this] { return m_stopped || m_exhausted || m_claimed - m_published < kMaxAhead; });
    if (m_stopped || m_exhausted)
        return false;
    number = m_claimed++;
    FolderItem item;
    while (batch.size() < kBatchSize && m_names.next(item))
        batch.push_back(std::move(item));
    if (batch.size() < kBatchSize) {
        m_exhausted = true;
        if (m_names.error()) {
            m_stopped = true;
            m_error = m_names.error();
            m_waiting.clear();
        }
        lock.unlock();
        m_progress.notify_all();
        return !m_names.error();
    }
    return true;
}

void SharedEnumeration::handBack(std::size_t number, std::vector<FileEntry> &&entries) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return;
        m_waiting.emplace(number, std::move(entries));
        // Publishing under the lock keeps batches in order; it only hands a
        // snapshot over, now and then.
        for (auto next = m_waiting.begin(); next != m_waiting.end() && next->first == m_published;
             next = m_waiting.erase(next), ++m_published)
            m_publisher.add(std::move(next->second));
    }
    m_progress.notify_all();
}

void SharedEnumeration::stop(std::error_code error) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_stopped)
            m_error = error;
        m_stopped = true;
        m_waiting.clear();
    }
    m_progress.notify_all();
}

} // namespace dromel::detail
