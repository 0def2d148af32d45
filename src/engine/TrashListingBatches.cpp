// The listing of the trashes in batches. Each trash's two folders are read
// by name first (cheap), which tells the records from the items without a
// record; then the entries are described in chunks: one open and one read
// for each record, one stat for each item, relative to the open folders. The
// first chunk is small and is handed over before anything else is read; a
// large listing is then shared with a helper thread, since each entry is a
// few system calls and the two cores can make them side by side.
#include "engine/TrashListing.h"

#include "engine/detail/FileDescriptor.h"
#include "engine/detail/TrashFiles.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <time.h>
#include <unordered_map>
#include <unordered_set>

namespace dromel::TrashListing {

namespace {

using detail::FileDescriptor;

constexpr std::size_t kFirstBatchSize = 128;
constexpr std::size_t kBatchSize = 512;
// Below this many entries a helper thread costs more than it saves.
constexpr std::size_t kSharedFrom = 1024;

struct OpenTrash {
    std::string trash;
    std::string top;
    std::string infoPath;
    std::optional<TrashRecordMemo::Stamp> infoStamp; // set when old enough to be trusted later
    bool unchanged = false;                          // since the memo last saw it listed whole
    FileDescriptor info;
    FileDescriptor files;
    std::unordered_map<std::string, std::pair<std::int64_t, std::int64_t>> sizes;
    std::vector<std::string> records;    // names in info/ ending in ".trashinfo"
    std::vector<std::string> unrecorded; // names in files/ without a record
};

struct Chunk {
    const OpenTrash *trash;
    bool records; // of `records`, else of `unrecorded`
    std::size_t begin;
    std::size_t end;
};

// A stamp no later change can share: older than a second now.
std::optional<TrashRecordMemo::Stamp> settledStamp(int folder) {
    struct stat info {};
    if (::fstat(folder, &info) != 0)
        return std::nullopt;
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (info.st_mtim.tv_sec + 1 >= now.tv_sec)
        return std::nullopt;
    return TrashRecordMemo::Stamp{info.st_ino, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

std::unique_ptr<OpenTrash> openTrash(const std::string &trash, const TrashRecordMemo *memo) {
    const FileDescriptor self(::open(trash.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!self)
        return nullptr;
    auto open = std::make_unique<OpenTrash>();
    open->trash = trash;
    open->top = topOf(trash);
    open->info =
        FileDescriptor(::openat(self.get(), "info", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    open->files =
        FileDescriptor(::openat(self.get(), "files", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    open->sizes = detail::folderSizes(self.get());
    open->infoPath = trash + "/info/";
    if (memo && open->info) {
        open->infoStamp = settledStamp(open->info.get());
        open->unchanged = open->infoStamp && memo->unchanged(open->infoPath, *open->infoStamp);
    }
    std::unordered_set<std::string> unrecorded;
    if (open->files) {
        std::vector<std::string> names = detail::namesIn(open->files.get(), ".");
        unrecorded.reserve(names.size());
        for (std::string &name : names)
            unrecorded.insert(std::move(name));
    }
    if (open->info)
        for (std::string &record : detail::namesIn(open->info.get(), ".")) {
            if (!record.ends_with(detail::kInfoSuffix) || record.size() == detail::kInfoSuffix.size())
                continue;
            unrecorded.erase(record.substr(0, record.size() - detail::kInfoSuffix.size()));
            open->records.push_back(std::move(record));
        }
    open->unrecorded.assign(unrecorded.begin(), unrecorded.end());
    return open;
}

// The item's half of an entry; false when the item is not there.
bool describeItem(const OpenTrash &trash, TrashedItem &item, const OperationCancellation &cancel) {
    struct stat object {};
    if (!trash.files || ::fstatat(trash.files.get(), item.name.c_str(), &object, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    item.device = object.st_dev;
    item.inode = object.st_ino;
    item.isDirectory = S_ISDIR(object.st_mode);
    item.isSymbolicLink = S_ISLNK(object.st_mode);
    if (!item.isDirectory) {
        item.size = object.st_size;
        return true;
    }
    // A folder's size is taken from directorysizes while its record is the
    // one the size was written for.
    struct stat record {};
    const auto cached = trash.sizes.find(item.name);
    if (cached != trash.sizes.end() &&
        ::fstatat(trash.info.get(), (item.name + std::string(detail::kInfoSuffix)).c_str(), &record, 0) ==
            0 &&
        record.st_mtim.tv_sec == cached->second.second)
        item.size = cached->second.first;
    else
        item.size = detail::contentSize(trash.files.get(), item.name.c_str(), cancel);
    return true;
}

// The record's half of an entry, from the memo where it knows the record.
void readRecordOf(const OpenTrash &trash, const std::string &record, TrashedItem &item,
                  detail::DeletionDates &dates, TrashRecordMemo *memo) {
    if (!memo) {
        readRecord(detail::readSmallFile(trash.info.get(), record.c_str()), trash.top, item, dates);
        return;
    }
    const std::string path = trash.infoPath + record;
    std::optional<TrashRecordMemo::Record> known;
    if (trash.unchanged)
        known = memo->find(path, std::nullopt);
    std::optional<TrashRecordMemo::Stamp> stamp;
    struct statx info {};
    if (!known &&
        ::statx(trash.info.get(), record.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_CTIME, &info) == 0) {
        stamp = TrashRecordMemo::Stamp{info.stx_ino, info.stx_ctime.tv_sec, info.stx_ctime.tv_nsec};
        known = memo->find(path, stamp);
    }
    if (known) {
        item.originalPath = std::move(known->originalPath);
        item.deleted = known->deleted;
        if (!item.originalPath)
            item.state = TrashedItem::State::damagedRecord;
        return;
    }
    const std::string text = detail::readSmallFile(trash.info.get(), record.c_str());
    readRecord(text, trash.top, item, dates);
    if (stamp && !text.empty())
        memo->remember(path, *stamp, {item.originalPath, item.deleted});
}

std::vector<TrashedItem> describe(const Chunk &chunk, detail::DeletionDates &dates, TrashRecordMemo *memo,
                                  const Prepare &prepare, const OperationCancellation &cancel) {
    const OpenTrash &trash = *chunk.trash;
    std::vector<TrashedItem> items;
    items.reserve(chunk.end - chunk.begin);
    for (std::size_t i = chunk.begin; i < chunk.end; ++i) {
        checkCancellation(cancel);
        TrashedItem item;
        item.trash = trash.trash;
        if (chunk.records) {
            const std::string &record = trash.records[i];
            item.name = record.substr(0, record.size() - detail::kInfoSuffix.size());
            readRecordOf(trash, record, item, dates, memo);
            if (!describeItem(trash, item, cancel))
                item.state = TrashedItem::State::missingItem;
        } else {
            item.name = trash.unrecorded[i];
            describeItem(trash, item, cancel);
            item.state = TrashedItem::State::noRecord;
        }
        items.push_back(std::move(item));
    }
    if (prepare)
        prepare(items);
    return items;
}

std::vector<Chunk> chunksOf(const std::vector<std::unique_ptr<OpenTrash>> &trashes) {
    std::vector<Chunk> chunks;
    std::size_t size = kFirstBatchSize;
    for (const auto &trash : trashes)
        for (const bool records : {true, false}) {
            const std::size_t count = records ? trash->records.size() : trash->unrecorded.size();
            for (std::size_t begin = 0; begin < count; begin += size, size = kBatchSize)
                chunks.push_back({trash.get(), records, begin, std::min(count, begin + size)});
        }
    return chunks;
}

} // namespace

void list(const std::vector<std::string> &trashes, const OperationCancellation &cancel, const Batch &onBatch,
          TrashRecordMemo *memo, const Prepare &prepare) {
    std::vector<std::unique_ptr<OpenTrash>> open;
    std::size_t total = 0;
    for (const std::string &trash : trashes) {
        checkCancellation(cancel);
        if (auto opened = openTrash(trash, memo)) {
            total += opened->records.size() + opened->unrecorded.size();
            open.push_back(std::move(opened));
        }
    }
    const std::vector<Chunk> chunks = chunksOf(open);
    const auto settle = [&] {
        if (!memo)
            return;
        std::unordered_map<std::string, TrashRecordMemo::Stamp> folders;
        for (const auto &trash : open)
            if (trash->infoStamp)
                folders.emplace(trash->infoPath, *trash->infoStamp);
        memo->sweep(folders);
    };
    if (chunks.empty()) {
        settle();
        return;
    }
    detail::DeletionDates dates;
    onBatch(describe(chunks.front(), dates, memo, prepare, cancel));

    std::atomic<std::size_t> next = 1;
    std::mutex mutex;
    std::vector<std::vector<TrashedItem>> ready; // the helper's, guarded by `mutex`
    std::exception_ptr helperFailure;
    std::atomic<bool> stop = false;
    std::thread helper;
    if (total >= kSharedFrom)
        helper = std::thread([&] {
            detail::DeletionDates own;
            try {
                for (std::size_t i = next++; i < chunks.size() && !stop; i = next++) {
                    std::vector<TrashedItem> batch = describe(chunks[i], own, memo, prepare, cancel);
                    const std::lock_guard lock(mutex);
                    ready.push_back(std::move(batch));
                }
            } catch (...) {
                helperFailure = std::current_exception();
            }
        });
    const auto handOver = [&] {
        std::vector<std::vector<TrashedItem>> taken;
        {
            const std::lock_guard lock(mutex);
            taken.swap(ready);
        }
        for (std::vector<TrashedItem> &batch : taken)
            onBatch(std::move(batch));
    };
    try {
        for (std::size_t i = next++; i < chunks.size(); i = next++) {
            onBatch(describe(chunks[i], dates, memo, prepare, cancel));
            handOver();
        }
    } catch (...) {
        stop = true;
        if (helper.joinable())
            helper.join();
        throw;
    }
    if (helper.joinable())
        helper.join();
    if (helperFailure)
        std::rethrow_exception(helperFailure);
    handOver();
    settle();
}

} // namespace dromel::TrashListing
