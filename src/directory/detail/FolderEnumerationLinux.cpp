#include "directory/detail/FolderEnumeration.h"

#include "directory/detail/KindLookup.h"
#include "runtime/Cancellation.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>
#include <vector>

namespace dromel::detail {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kFirstBatch = 128;
constexpr auto kCadence = std::chrono::milliseconds(100);
constexpr unsigned kItemMask = STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_MTIME;

std::error_code systemError(int error) {
    return {error, std::system_category()};
}

FileTime timeOf(const statx_timestamp &stamp) {
    return FileTime(std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec));
}

// Names listed one per line in the folder's ".hidden" file, the desktops'
// convention for hiding items without renaming them.
std::unordered_set<std::string> hiddenNames(int folder) {
    std::unordered_set<std::string> names;
    const int fd = ::openat(folder, ".hidden", O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return names;
    std::string text;
    char buffer[4096];
    constexpr std::size_t kLimit = 1 << 20; // a sane bound for a list of names
    for (ssize_t count; text.size() < kLimit && (count = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(count));
    ::close(fd);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            names.emplace(text, start, end - start);
        start = end + 1;
    }
    return names;
}

struct DirCloser {
    void operator()(DIR *dir) const { ::closedir(dir); }
};

// What the statx loop learns about one item; turned into a FileEntry (kind,
// collation key, shared storage) by the Publisher.
struct RawItem {
    std::string name;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool isDirectory = false;
    bool isLink = false;
    std::optional<std::int64_t> size;
    std::optional<FileTime> modified;
};

// Builds entries and publishes cumulative listings on the cadence.
class Publisher {
public:
    Publisher(const std::string &folder, const std::function<void(const FileEntryList &, bool)> &publish)
        : m_folder(std::make_shared<const std::string>(folder)), m_publish(publish) {}

    void add(RawItem item) {
        const auto kind = item.isDirectory ? m_kinds.folderKind() : m_kinds.fileKind(item.name);
        m_pending.push_back(FileEntry::listed(m_folder, std::move(item.name), item.device, item.inode,
                                              item.isDirectory, false, item.isLink, item.size, item.modified,
                                              kind));
        const std::size_t total = m_published.size() + m_pending.size();
        const auto now = Clock::now();
        const bool due = m_publishedOnce ? now - m_lastPublication >= kCadence
                                         : total >= kFirstBatch || now - m_lastPublication >= kCadence;
        if (due) {
            m_published = m_published.appending(std::move(m_pending));
            m_pending = {};
            m_publish(m_published, false);
            m_publishedOnce = true;
            m_lastPublication = now;
        }
    }
    void finish() {
        if (!m_pending.empty())
            m_published = m_published.appending(std::move(m_pending));
        m_publish(m_published, true);
    }

private:
    const std::shared_ptr<const std::string> m_folder;
    const std::function<void(const FileEntryList &, bool)> &m_publish;
    KindLookup m_kinds;
    FileEntryList m_published;
    std::vector<FileEntry> m_pending;
    Clock::time_point m_lastPublication = Clock::now();
    bool m_publishedOnce = false;
};

// Large folders are read by two threads: this one keeps calling statx (the
// kernel's share, as fast as a bare loop) while a helper builds the entries
// (kinds, collation keys, allocation). Items cross in chunks, in order.
class EntryBuilder {
public:
    static constexpr std::size_t kChunk = 256;

    EntryBuilder(Publisher &publisher, const Cancellation &cancellation)
        : m_cancellation(cancellation), m_thread([this, &publisher] { run(publisher); }) {}
    ~EntryBuilder() { stop(); }
    EntryBuilder(const EntryBuilder &) = delete;
    EntryBuilder &operator=(const EntryBuilder &) = delete;

    void add(RawItem item) {
        m_chunk.push_back(std::move(item));
        if (m_chunk.size() >= kChunk)
            flush();
    }
    // Waits until every item handed over is built and published.
    void stop() {
        if (!m_thread.joinable())
            return;
        if (!m_cancellation.isCancelled())
            flush();
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_ready.notify_one();
        m_thread.join();
    }

private:
    void flush() {
        if (m_chunk.empty())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_chunks.push_back(std::move(m_chunk));
        }
        m_chunk = {};
        m_ready.notify_one();
    }
    void run(Publisher &publisher) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_ready.wait(lock, [this] { return m_closed || !m_chunks.empty(); });
            if (m_chunks.empty())
                return;
            std::vector<RawItem> chunk = std::move(m_chunks.front());
            m_chunks.pop_front();
            lock.unlock();
            // A cancelled read drops what is still to be built, so ending a
            // read of a huge folder does not wait for its entries.
            if (m_cancellation.isCancelled()) {
                lock.lock();
                m_chunks.clear();
                return;
            }
            for (RawItem &item : chunk)
                publisher.add(std::move(item));
            lock.lock();
        }
    }

    const Cancellation &m_cancellation;
    std::vector<RawItem> m_chunk; // filled by the statx thread
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::vector<RawItem>> m_chunks;
    bool m_closed = false;
    std::thread m_thread; // last: starts once everything above exists
};

// An item whose metadata cannot be read: its name and the type the folder
// entry records, the folder's device, size 0 for a file and no date.
RawItem unreadableItem(const dirent &item, const struct statx &folder) {
    RawItem raw;
    raw.name = item.d_name;
    raw.device = makedev(folder.stx_dev_major, folder.stx_dev_minor);
    raw.inode = item.d_ino;
    raw.isDirectory = item.d_type == DT_DIR;
    raw.isLink = item.d_type == DT_LNK;
    if (!raw.isDirectory)
        raw.size = 0;
    return raw;
}

// Below this many items one thread does it all: a helper thread would cost
// more than it saves.
constexpr std::size_t kSharedFrom = 1024;

} // namespace

std::error_code enumerateFolder(const std::string &folder, bool showHidden, const Cancellation &cancellation,
                                const std::function<void(const FileEntryList &, bool)> &publish) {
    const auto cancelled = std::make_error_code(std::errc::operation_canceled);
    if (cancellation.isCancelled())
        return cancelled;

    struct statx own {};
    if (::statx(AT_FDCWD, folder.c_str(), 0, STATX_TYPE, &own) != 0)
        return systemError(errno);
    if (!S_ISDIR(own.stx_mode))
        return systemError(ENOTDIR);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return systemError(errno);
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd));
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return systemError(error);
    }
    const int dirFd = ::dirfd(dir.get());
    const auto hidden = showHidden ? std::unordered_set<std::string>() : hiddenNames(dirFd);
    Publisher publisher(folder, publish);
    std::optional<EntryBuilder> builder;
    std::size_t count = 0;
    const auto take = [&](RawItem raw) {
        if (builder)
            builder->add(std::move(raw));
        else
            publisher.add(std::move(raw));
        if (++count == kSharedFrom)
            builder.emplace(publisher, cancellation);
    };

    for (;;) {
        errno = 0;
        const dirent *item = ::readdir(dir.get());
        if (!item) {
            if (errno != 0)
                return systemError(errno);
            break;
        }
        if (cancellation.isCancelled())
            return cancelled;
        const std::string_view name(item->d_name);
        if (name == "." || name == "..")
            continue;
        if (!showHidden && (name.front() == '.' || hidden.contains(std::string(name))))
            continue;

        struct statx info {};
        if (::statx(dirFd, item->d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kItemMask, &info) != 0) {
            if (errno == ENOENT)
                continue; // vanished between enumeration and now
            // One broken item (a dead network or FUSE mount answering
            // ENOTCONN, EIO, ESTALE, EACCES) must not hide its siblings: it is
            // listed with what the folder itself says about it.
            take(unreadableItem(*item, own));
            continue;
        }
        RawItem raw;
        raw.name = std::string(name);
        raw.isLink = S_ISLNK(info.stx_mode);
        raw.isDirectory = S_ISDIR(info.stx_mode);
        if (raw.isLink) {
            // A link to a folder opens as that folder; a dangling one is a file.
            struct statx target {};
            raw.isDirectory = ::statx(dirFd, item->d_name, AT_NO_AUTOMOUNT, STATX_TYPE, &target) == 0 &&
                              S_ISDIR(target.stx_mode);
        }
        raw.device = makedev(info.stx_dev_major, info.stx_dev_minor);
        raw.inode = info.stx_ino;
        if (!raw.isDirectory && (info.stx_mask & STATX_SIZE))
            raw.size = static_cast<std::int64_t>(info.stx_size);
        if (info.stx_mask & STATX_MTIME)
            raw.modified = timeOf(info.stx_mtime);
        take(std::move(raw));
    }
    if (builder)
        builder->stop();
    if (cancellation.isCancelled())
        return cancelled;
    publisher.finish();
    return {};
}

} // namespace dromel::detail
