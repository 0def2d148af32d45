#include "properties/ItemFacts.h"

#include "core/Location.h"
#include "desktop/ApplicationDatabase.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <vector>

namespace dromel {

namespace {

ItemFacts::Time timeOf(const struct statx_timestamp &stamp) {
    return ItemFacts::Time(std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec));
}

std::string nameOfUser(uid_t id) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(id, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->pw_name;
    return std::to_string(id);
}

std::string nameOfGroup(gid_t id) {
    std::vector<char> buffer(16384);
    group entry{};
    group *found = nullptr;
    if (::getgrgid_r(id, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->gr_name;
    return std::to_string(id);
}

// The highest folder above `path` on the same device: its mount point.
std::string mountPointOf(const std::string &path, dev_t device) {
    std::string current = path;
    while (current != "/") {
        const std::string parent = Location::parent(current);
        struct stat status {};
        if (::stat(parent.c_str(), &status) != 0 || status.st_dev != device)
            break;
        current = parent;
    }
    return current;
}

} // namespace

ItemFacts ItemFacts::read(const std::string &path) {
    ItemFacts facts;
    facts.path = path;
    struct statx status {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &status) != 0)
        return facts;
    facts.exists = true;
    facts.folder = S_ISDIR(status.stx_mode);
    facts.link = S_ISLNK(status.stx_mode);
    if (facts.link) {
        std::vector<char> target(4096);
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length > 0)
            facts.linkTarget.assign(target.data(), static_cast<std::size_t>(length));
    }
    facts.size = static_cast<std::int64_t>(status.stx_size);
    facts.allocated = static_cast<std::int64_t>(status.stx_blocks) * 512;
    facts.modified = timeOf(status.stx_mtime);
    facts.accessed = timeOf(status.stx_atime);
    facts.changed = timeOf(status.stx_ctime);
    if (status.stx_mask & STATX_BTIME)
        facts.created = timeOf(status.stx_btime);
    facts.mode = status.stx_mode & 07777;
    facts.owner = status.stx_uid;
    facts.group = status.stx_gid;
    facts.ownerName = nameOfUser(status.stx_uid);
    facts.groupName = nameOfGroup(status.stx_gid);
    facts.volume = mountPointOf(path, makedev(status.stx_dev_major, status.stx_dev_minor));
    struct statvfs space {};
    if (::statvfs(path.c_str(), &space) == 0)
        facts.volumeFree =
            static_cast<std::int64_t>(space.f_bavail) * static_cast<std::int64_t>(space.f_frsize);
    facts.mimeType = facts.link ? "inode/symlink" : ApplicationDatabase::mimeTypeOf(path);
    facts.kind = ApplicationDatabase::describe(facts.mimeType);
    if (!facts.folder)
        if (const auto application = ApplicationDatabase::defaultFor(facts.mimeType)) {
            facts.opensWith = application->name;
            facts.opensWithId = application->id;
        }
    return facts;
}

} // namespace dromel
