#include "properties/FolderTally.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <utility>
#include <vector>

namespace dromel {

namespace {

struct Walk {
    const std::atomic<bool> &cancelled;
    const std::function<void(const FolderTally::Tally &)> &progress;
    std::int64_t progressEvery;
    FolderTally::Tally tally;
    std::set<std::pair<dev_t, ino_t>> linked; // files with several names, seen once
    std::int64_t sinceProgress = 0;

    void add(const struct stat &status) {
        ++tally.items;
        const bool seen = !S_ISDIR(status.st_mode) && status.st_nlink > 1 &&
                          !linked.insert({status.st_dev, status.st_ino}).second;
        if (!seen) {
            tally.bytes += status.st_size;
            tally.allocated += static_cast<std::int64_t>(status.st_blocks) * 512;
        }
        if (++sinceProgress >= progressEvery && progress) {
            sinceProgress = 0;
            progress(tally);
        }
    }

    // Descends with file descriptors, so deep trees need no long paths.
    void folder(int descriptor) {
        DIR *directory = ::fdopendir(descriptor);
        if (!directory) {
            ::close(descriptor);
            return;
        }
        while (const dirent *item = ::readdir(directory)) {
            if (cancelled.load(std::memory_order_relaxed))
                break;
            const std::string_view name = item->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat status {};
            if (::fstatat(::dirfd(directory), item->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            add(status);
            if (S_ISDIR(status.st_mode)) {
                const int child = ::openat(::dirfd(directory), item->d_name,
                                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (child >= 0)
                    folder(child);
            }
        }
        ::closedir(directory);
    }
};

} // namespace

FolderTally::Tally FolderTally::count(const std::string &folder, const std::atomic<bool> &cancelled,
                                      const std::function<void(const Tally &)> &progress,
                                      std::int64_t progressEvery) {
    Walk walk{cancelled, progress, progressEvery, {}, {}, 0};
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0)
        return walk.tally;
    walk.add(status);
    if (S_ISDIR(status.st_mode)) {
        const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (descriptor >= 0)
            walk.folder(descriptor);
    }
    walk.tally.finished = !cancelled.load();
    if (progress)
        progress(walk.tally);
    return walk.tally;
}

} // namespace dromel
