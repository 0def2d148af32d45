#pragma once

#include <linux/fs.h>

#include <cstdint>
#include <string_view>

namespace dromel::detail {

// The inode flags a copy carries, and so the only ones a manifest records:
// flags an owner may set and that mean something about the file on any
// volume. Flags a file system sets by itself (ext4's extents, btrfs's
// no-copy-on-write) would make every copy between two types differ;
// immutable and append-only need privilege and would lock the copy against
// the rest of the operation; compression is a storage hint of one volume.
constexpr std::uint32_t kTransferredFlags = FS_NODUMP_FL | FS_NOATIME_FL | FS_SYNC_FL | FS_DIRSYNC_FL;

// Attributes that are one file system's own storage of something recorded
// elsewhere: xfs shows its copies of the ACLs to root under these names. Not
// metadata of the file, so neither recorded nor copied.
constexpr bool isVolumeInternalAttribute(std::string_view name) {
    return name == "trusted.SGI_ACL_FILE" || name == "trusted.SGI_ACL_DEFAULT";
}

} // namespace dromel::detail
