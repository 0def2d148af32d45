#include "engine/OperationStages.h"

#include "core/Location.h"
#include "engine/OperationFS.h"
#include "engine/detail/FileDescriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <vector>

namespace dromel::OperationStages {

namespace {

// Everything inside the folder `fd`, deepest first; stops at other volumes
// (a mount inside would not be the task's).
bool emptyFolder(int fd, std::int64_t device) {
    const int copy = ::dup(fd);
    if (copy < 0)
        return false;
    DIR *dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    bool ok = true;
    for (const std::string &name : names) {
        struct stat info {};
        if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (static_cast<std::int64_t>(info.st_dev) != device) {
            ok = false;
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            detail::FileDescriptor inner(
                ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            // A folder copied without write permission is made writable to
            // empty it: it is ours.
            if (!inner || ::fchmod(inner.get(), 0700) != 0 || !emptyFolder(inner.get(), device) ||
                ::unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0)
                ok = false;
        } else if (::unlinkat(fd, name.c_str(), 0) != 0) {
            ok = false;
        }
    }
    return ok;
}

} // namespace

OperationStage begin(const std::string &path) {
    OperationStage stage;
    stage.path = path;
    stage.device = OperationFS::folderDevice(Location::parent(path));
    stage.owner = static_cast<std::uint32_t>(::geteuid());
    // Birth times have nanoseconds; a second of slack keeps the comparison
    // on the safe side of a clock tick.
    stage.since = static_cast<std::int64_t>(std::time(nullptr)) - 1;
    return stage;
}

namespace {

// The inode at the stage's path when it is still the stage, else 0.
std::uint64_t ownInode(const OperationStage &stage) {
    if (stage.path.empty())
        return 0;
    struct statx info {};
    if (::statx(AT_FDCWD, stage.path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &info) !=
        0)
        return 0;
    if (static_cast<std::int64_t>(::makedev(info.stx_dev_major, info.stx_dev_minor)) != stage.device ||
        info.stx_uid != stage.owner)
        return 0;
    if (stage.inode != 0)
        return info.stx_ino == stage.inode ? info.stx_ino : 0;
    const bool bornLater = !(info.stx_mask & STATX_BTIME) || info.stx_btime.tv_sec >= stage.since;
    return bornLater ? info.stx_ino : 0;
}

} // namespace

bool isOwn(const OperationStage &stage) {
    return ownInode(stage) != 0;
}

bool removeIfOwn(const OperationStage &stage) {
    const std::uint64_t inode = ownInode(stage);
    if (inode == 0)
        return false;
    const std::string folder = Location::parent(stage.path);
    const std::string name = Location::lastComponent(stage.path);
    detail::FileDescriptor parent(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent)
        return false;
    struct stat info {};
    // Still the object just checked, not one swapped in meanwhile.
    if (::fstatat(parent.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || info.st_ino != inode)
        return false;
    if (!S_ISDIR(info.st_mode))
        return ::unlinkat(parent.get(), name.c_str(), 0) == 0;
    detail::FileDescriptor inner(
        ::openat(parent.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!inner || ::fchmod(inner.get(), 0700) != 0 || !emptyFolder(inner.get(), stage.device))
        return false;
    return ::unlinkat(parent.get(), name.c_str(), AT_REMOVEDIR) == 0;
}

} // namespace dromel::OperationStages
