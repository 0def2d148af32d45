// The listing of the trashes in batches. Each trash's records are read by
// name first (or taken from the memo while their folder is unchanged); then
// they are described in chunks: one open and one read for each record, one
// stat for its item, relative to the open folders. The first chunk is small
// and is handed over before anything else is read; a large listing is then
// shared with a helper thread, since each entry is a few system calls and
// the two cores can make them side by side. The helper first reads the
// items' names, which are needed last: items without a record are looked
// for once the records are described, and only where the records did not
// account for every item.
#include "engine/TrashListing.h"

#include "engine/detail/Beside.h"
#include "engine/detail/FileDescriptor.h"
#include "engine/detail/TrashFiles.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
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
    TrashRecordMemo::Names records;      // names in info/ ending in ".trashinfo"
    std::vector<std::string> items;      // names in files/, read beside the records' describing
    std::atomic<std::size_t> matched{0}; // records whose item was found
    std::vector<std::string> unrecorded; // names in files/ without a record
};

struct Chunk {
    OpenTrash *trash;
    bool records; // of `records`, else of `unrecorded`
    std::size_t begin;
    std::size_t end;
};

// A stamp no later change can share: older than a second now. The change
// time, which every added, removed or renamed entry moves and which, unlike
// the modification time, no one can set back.
std::optional<TrashRecordMemo::Stamp> settledStamp(int folder) {
    struct stat info {};
    if (::fstat(folder, &info) != 0)
        return std::nullopt;
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (info.st_ctim.tv_sec + 1 >= now.tv_sec)
        return std::nullopt;
    return TrashRecordMemo::Stamp{info.st_ino, info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
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
        open->unchanged = open->infoStamp.has_value();
    }
    if (open->unchanged)
        open->records = memo->unchanged(open->infoPath, *open->infoStamp);
    if (!open->records) {
        std::vector<std::string> names;
        if (open->info)
            names = detail::namesIn(open->info.get(), ".");
        std::erase_if(names, [](const std::string &name) {
            return !name.ends_with(detail::kInfoSuffix) || name.size() == detail::kInfoSuffix.size();
        });
        open->records = std::make_shared<const std::vector<std::string>>(std::move(names));
        open->unchanged = false;
    }
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

std::optional<TrashRecordMemo::Stamp> recordStamp(const OpenTrash &trash, const std::string &record) {
    struct statx info {};
    if (::statx(trash.info.get(), record.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_CTIME, &info) != 0)
        return std::nullopt;
    return TrashRecordMemo::Stamp{info.stx_ino, info.stx_ctime.tv_sec, info.stx_ctime.tv_nsec};
}

// The records' halves of a chunk's entries (`items`, named by the records
// from `first` on): what the memo knows, the rest read and taught to it.
void readRecords(const OpenTrash &trash, std::size_t first, std::vector<TrashedItem> &items,
                 detail::DeletionDates &dates, TrashRecordMemo *memo, const OperationCancellation &cancel) {
    const auto record = [&](std::size_t i) -> const std::string & { return (*trash.records)[first + i]; };
    std::vector<std::optional<TrashRecordMemo::Stamp>> stamps(items.size());
    std::vector<bool> known(items.size());
    if (memo) {
        std::vector<TrashRecordMemo::Query> queries;
        std::vector<std::size_t> asked; // the item of each query
        queries.reserve(items.size());
        asked.reserve(items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!trash.unchanged && !(stamps[i] = recordStamp(trash, record(i))))
                continue;
            queries.push_back({record(i), stamps[i]});
            asked.push_back(i);
        }
        std::vector<std::optional<TrashRecordMemo::Record>> found = memo->find(trash.infoPath, queries);
        for (std::size_t q = 0; q < found.size(); ++q) {
            if (!found[q])
                continue;
            TrashedItem &item = items[asked[q]];
            item.originalPath = std::move(found[q]->originalPath);
            item.deleted = found[q]->deleted;
            if (!item.originalPath)
                item.state = TrashedItem::State::damagedRecord;
            known[asked[q]] = true;
        }
    }
    std::vector<TrashRecordMemo::Lesson> lessons;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (known[i])
            continue;
        checkCancellation(cancel);
        if (memo && !stamps[i])
            stamps[i] = recordStamp(trash, record(i));
        const std::string text = detail::readSmallFile(trash.info.get(), record(i).c_str());
        readRecord(text, trash.top, items[i], dates);
        if (memo && stamps[i] && !text.empty())
            lessons.push_back({record(i), *stamps[i], {items[i].originalPath, items[i].deleted}});
    }
    if (memo)
        memo->remember(trash.infoPath, std::move(lessons));
}

std::vector<TrashedItem> describe(const Chunk &chunk, detail::DeletionDates &dates, TrashRecordMemo *memo,
                                  const Prepare &prepare, const OperationCancellation &cancel) {
    OpenTrash &trash = *chunk.trash;
    std::vector<TrashedItem> items(chunk.end - chunk.begin);
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].trash = trash.trash;
        if (chunk.records) {
            const std::string &record = (*trash.records)[chunk.begin + i];
            items[i].name = record.substr(0, record.size() - detail::kInfoSuffix.size());
        } else {
            items[i].name = trash.unrecorded[chunk.begin + i];
            items[i].state = TrashedItem::State::noRecord;
        }
    }
    if (chunk.records)
        readRecords(trash, chunk.begin, items, dates, memo, cancel);
    std::size_t matched = 0;
    for (TrashedItem &item : items) {
        checkCancellation(cancel);
        if (describeItem(trash, item, cancel))
            matched += chunk.records ? 1 : 0;
        else if (chunk.records)
            item.state = TrashedItem::State::missingItem;
    }
    trash.matched += matched;
    if (prepare)
        prepare(items);
    return items;
}

std::vector<Chunk> chunksOf(const std::vector<std::unique_ptr<OpenTrash>> &trashes, bool records,
                            std::size_t firstSize) {
    std::vector<Chunk> chunks;
    std::size_t size = firstSize;
    for (const auto &trash : trashes) {
        const std::size_t count = records ? trash->records->size() : trash->unrecorded.size();
        for (std::size_t begin = 0; begin < count; begin += size, size = kBatchSize)
            chunks.push_back({trash.get(), records, begin, std::min(count, begin + size)});
    }
    return chunks;
}

// The items no record named. Every found item was named by exactly one
// record, so when as many were found as files/ holds, there are none and the
// names need not be matched. (A trash changing while it is listed can fool
// the count; the change is seen by the monitor and listed again.)
void findUnrecorded(OpenTrash &trash) {
    if (trash.matched == trash.items.size())
        return;
    std::unordered_set<std::string_view> recorded;
    recorded.reserve(trash.records->size());
    for (const std::string &record : *trash.records)
        recorded.insert(std::string_view(record).substr(0, record.size() - detail::kInfoSuffix.size()));
    for (const std::string &name : trash.items)
        if (!recorded.contains(name))
            trash.unrecorded.push_back(name);
}

// Describes `chunks` and hands each batch over on the calling thread, with a
// helper thread taking chunks beside it when `shared`. `alsoDo` runs once:
// on the helper before its chunks, else on the calling thread after them.
void describeAll(const std::vector<Chunk> &chunks, bool shared, TrashRecordMemo *memo, const Prepare &prepare,
                 const OperationCancellation &cancel, const Batch &onBatch,
                 const std::function<void()> &alsoDo = {}) {
    std::atomic<std::size_t> next = 0;
    std::mutex mutex;
    std::vector<std::vector<TrashedItem>> ready; // the helper's, guarded by `mutex`
    std::atomic<bool> stop = false;
    const auto handOver = [&] {
        std::vector<std::vector<TrashedItem>> taken;
        {
            const std::lock_guard lock(mutex);
            taken.swap(ready);
        }
        for (std::vector<TrashedItem> &batch : taken)
            onBatch(std::move(batch));
    };
    const auto helper = [&] {
        detail::DeletionDates dates;
        try {
            if (alsoDo)
                alsoDo();
            for (std::size_t i = next++; i < chunks.size() && !stop; i = next++) {
                std::vector<TrashedItem> batch = describe(chunks[i], dates, memo, prepare, cancel);
                const std::lock_guard lock(mutex);
                ready.push_back(std::move(batch));
            }
        } catch (...) {
            stop = true;
            throw;
        }
    };
    const auto here = [&] {
        detail::DeletionDates dates;
        try {
            for (std::size_t i = next++; i < chunks.size() && !stop; i = next++) {
                onBatch(describe(chunks[i], dates, memo, prepare, cancel));
                handOver();
            }
        } catch (...) {
            stop = true;
            throw;
        }
    };
    if (shared) {
        detail::runBeside(helper, here);
    } else {
        here();
        if (alsoDo)
            alsoDo();
    }
    handOver();
}

} // namespace

void list(const std::vector<std::string> &trashes, const OperationCancellation &cancel, const Batch &onBatch,
          TrashRecordMemo *memo, const Prepare &prepare) {
    std::vector<std::unique_ptr<OpenTrash>> open;
    std::size_t total = 0;
    for (const std::string &trash : trashes) {
        checkCancellation(cancel);
        if (auto opened = openTrash(trash, memo)) {
            total += opened->records->size();
            open.push_back(std::move(opened));
        }
    }
    std::vector<Chunk> chunks = chunksOf(open, true, kFirstBatchSize);
    if (!chunks.empty()) {
        // The first chunk alone, for the first paint.
        detail::DeletionDates dates;
        onBatch(describe(chunks.front(), dates, memo, prepare, cancel));
        chunks.erase(chunks.begin());
    }
    // The items' names are needed last, to find those without a record: the
    // helper reads them while the records are described.
    const auto readItems = [&] {
        for (const auto &trash : open)
            if (trash->files)
                trash->items = detail::namesIn(trash->files.get(), ".");
    };
    describeAll(chunks, total >= kSharedFrom, memo, prepare, cancel, onBatch, readItems);

    total = 0;
    for (const auto &trash : open) {
        findUnrecorded(*trash);
        total += trash->unrecorded.size();
    }
    describeAll(chunksOf(open, false, kBatchSize), total >= kSharedFrom, memo, prepare, cancel, onBatch);

    if (memo) {
        std::unordered_map<std::string, TrashRecordMemo::Listed> folders;
        for (const auto &trash : open)
            if (trash->infoStamp)
                folders.emplace(trash->infoPath, TrashRecordMemo::Listed{*trash->infoStamp, trash->records});
        memo->sweep(folders);
    }
}

} // namespace dromel::TrashListing
