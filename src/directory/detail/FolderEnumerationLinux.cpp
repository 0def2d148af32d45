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
#include <memory>
#include <optional>
#include <unordered_set>

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
    const auto sharedFolder = std::make_shared<const std::string>(folder);
    KindLookup kinds;

    FileEntryList published;
    std::vector<FileEntry> pending;
    auto lastPublication = Clock::now();
    bool publishedOnce = false;

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
            return systemError(errno);
        }
        const bool isLink = S_ISLNK(info.stx_mode);
        bool isDirectory = S_ISDIR(info.stx_mode);
        if (isLink) {
            // A link to a folder opens as that folder; a dangling one is a file.
            struct statx target {};
            isDirectory = ::statx(dirFd, item->d_name, AT_NO_AUTOMOUNT, STATX_TYPE, &target) == 0 &&
                          S_ISDIR(target.stx_mode);
        }
        const std::uint64_t device = makedev(info.stx_dev_major, info.stx_dev_minor);
        std::optional<std::int64_t> size;
        if (!isDirectory && (info.stx_mask & STATX_SIZE))
            size = static_cast<std::int64_t>(info.stx_size);
        std::optional<FileTime> modified;
        if (info.stx_mask & STATX_MTIME)
            modified = timeOf(info.stx_mtime);
        pending.push_back(FileEntry::listed(sharedFolder, std::string(name), device, info.stx_ino,
                                            isDirectory, false, isLink, size, modified,
                                            isDirectory ? kinds.folderKind() : kinds.fileKind(name)));

        const std::size_t total = published.size() + pending.size();
        const auto now = Clock::now();
        const bool due = publishedOnce ? now - lastPublication >= kCadence
                                       : total >= kFirstBatch || now - lastPublication >= kCadence;
        if (due) {
            published = published.appending(std::move(pending));
            pending = {};
            publish(published, false);
            publishedOnce = true;
            lastPublication = now;
        }
    }
    if (cancellation.isCancelled())
        return cancelled;
    if (!pending.empty())
        published = published.appending(std::move(pending));
    publish(published, true);
    return {};
}

} // namespace dromel::detail
