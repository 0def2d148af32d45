#include "directory/detail/EntryMaker.h"

#include "directory/detail/FolderNames.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace dromel::detail {

namespace {

constexpr unsigned kItemMask = STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_MTIME;

FileTime timeOf(const statx_timestamp &stamp) {
    return FileTime(std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec));
}

} // namespace

EntryMaker::EntryMaker(int folderFd, const struct statx &folder, const std::string &folderPath)
    : m_folderFd(folderFd), m_folderDevice(makedev(folder.stx_dev_major, folder.stx_dev_minor)),
      m_folderPath(std::make_shared<const std::string>(folderPath)), m_ownKinds(std::in_place),
      m_kinds(*m_ownKinds) {}

EntryMaker::EntryMaker(int folderFd, const struct statx &folder, const std::string &folderPath,
                       KindLookup &kinds)
    : m_folderFd(folderFd), m_folderDevice(makedev(folder.stx_dev_major, folder.stx_dev_minor)),
      m_folderPath(std::make_shared<const std::string>(folderPath)), m_kinds(kinds) {}

std::optional<FileEntry> EntryMaker::make(FolderItem &&item) {
    struct statx info {};
    if (::statx(m_folderFd, item.name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kItemMask, &info) !=
        0) {
        if (errno == ENOENT)
            return std::nullopt; // vanished between enumeration and now
        // One broken item (a dead network or FUSE mount answering ENOTCONN,
        // EIO, ESTALE, EACCES) must not hide its siblings: it is listed with
        // what the folder says about it, on the folder's device, size 0 for a
        // file and no date.
        const bool isDirectory = item.type == DT_DIR;
        const auto kind = isDirectory ? m_kinds.folderKind() : m_kinds.fileKind(item.name);
        return FileEntry::listed(m_folderPath, std::move(item.name), m_folderDevice, item.inode, isDirectory,
                                 false, item.type == DT_LNK,
                                 isDirectory ? std::nullopt : std::optional<std::int64_t>(0), std::nullopt,
                                 kind);
    }
    const bool isLink = S_ISLNK(info.stx_mode);
    bool isDirectory = S_ISDIR(info.stx_mode);
    if (isLink) {
        // A link to a folder opens as that folder; a dangling one is a file.
        struct statx target {};
        isDirectory = ::statx(m_folderFd, item.name.c_str(), AT_NO_AUTOMOUNT, STATX_TYPE, &target) == 0 &&
                      S_ISDIR(target.stx_mode);
    }
    std::optional<std::int64_t> size;
    if (!isDirectory && (info.stx_mask & STATX_SIZE))
        size = static_cast<std::int64_t>(info.stx_size);
    std::optional<FileTime> modified;
    if (info.stx_mask & STATX_MTIME)
        modified = timeOf(info.stx_mtime);
    const auto kind = isDirectory ? m_kinds.folderKind() : m_kinds.fileKind(item.name);
    // The kernel's own answer for this process (ACLs, capabilities and all),
    // asked only of folders: one call each, none for files.
    const bool unreadable = isDirectory &&
                            ::faccessat(m_folderFd, item.name.c_str(), R_OK | X_OK, AT_EACCESS) != 0 &&
                            errno == EACCES;
    return FileEntry::listed(m_folderPath, std::move(item.name),
                             makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino, isDirectory,
                             false, isLink, size, modified, kind, unreadable);
}

} // namespace dromel::detail
