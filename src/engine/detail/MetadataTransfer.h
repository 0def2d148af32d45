#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace dromel::detail {

// The permission bits a copy gets: the source's, less set-user-ID and
// set-group-ID when the copy's owner or group differs (as cp -p does: a
// set-id program must not become one of whoever copied it).
constexpr mode_t copiedMode(mode_t sourceMode, uid_t sourceOwner, gid_t sourceGroup, uid_t copyOwner,
                            gid_t copyGroup) {
    const mode_t mode = sourceMode & 07777;
    if (copyOwner == sourceOwner && copyGroup == sourceGroup)
        return mode;
    return mode & ~static_cast<mode_t>(S_ISUID | S_ISGID);
}

// Mode, owner (where permitted), access and modification times, extended
// attributes and user-settable inode flags from one open object to another
// (regular files and folders). Throws OperationProblem(system) for `path`.
void transferMetadata(int from, int to, const std::string &path);
// The same with the source's fstat already at hand.
void transferMetadata(int from, const struct stat &source, int to, const std::string &path);

// As much of the same as the target's volume keeps, never failing: for a
// volume that cannot keep it all (FAT, some FUSE ones), where the user
// agreed to lose the rest.
void transferKeptMetadata(int from, const struct stat &source, int to);

// The same for a symbolic link, by path and without following it: owner and
// times (Linux keeps no mode, flags or user attributes on links).
void transferLinkMetadata(const std::string &from, const std::string &to);

} // namespace dromel::detail
