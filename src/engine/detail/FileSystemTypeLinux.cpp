#include "engine/detail/FileSystemType.h"

#include "core/Location.h"
#include "core/OperationProblem.h"

#include "engine/detail/FileDescriptor.h"

#include <fcntl.h>
#include <libmount/libmount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string_view>

namespace dromel::detail {

namespace {

struct Known {
    unsigned long magic;
    const char *name;
    bool local;
    bool exclusiveRename; // renameat2(RENAME_NOREPLACE) is atomic there
};

// The magic numbers of <linux/magic.h> and the drivers' own headers.
constexpr std::array kKnown{
    Known{0xEF53, "ext4", true, true},           Known{0x58465342, "xfs", true, true},
    Known{0x9123683E, "btrfs", true, true},      Known{0x01021994, "tmpfs", true, true},
    Known{0x858458F6, "ramfs", true, true},      Known{0xF2F52010, "f2fs", true, true},
    Known{0xCA451A4E, "bcachefs", true, true},   Known{0x4D44, "vfat", true, true},
    Known{0x2011BAB0, "exfat", true, true},      Known{0x7366746E, "ntfs3", true, true},
    Known{0x794C7630, "overlay", true, false},   Known{0x5346544E, "ntfs", true, false},
    Known{0x9660, "iso9660", true, false},       Known{0x73717368, "squashfs", true, false},
    Known{0x15013346, "udf", true, false},       Known{0x3153464A, "jfs", true, false},
    Known{0x52654973, "reiserfs", true, false},  Known{0x2FC12FC1, "zfs", true, false},
    Known{0x482B, "hfsplus", true, false},       Known{0x3434, "nilfs2", true, false},
    Known{0x6969, "nfs", false, false},          Known{0x517B, "smb", false, false},
    Known{0xFF534D42, "cifs", false, false},     Known{0xFE534D42, "smb3", false, false},
    Known{0x5346414F, "afs", false, false},      Known{0x6B414653, "afs", false, false},
    Known{0x00C36400, "ceph", false, false},     Known{0x73757245, "coda", false, false},
    Known{0x01021997, "9p", false, false},       Known{0x01161970, "gfs2", false, false},
    Known{0x7461636F, "ocfs2", false, false},    Known{0x0BD00BD0, "lustre", false, false},
    Known{0x20030528, "orangefs", false, false},
};

constexpr unsigned long kFuseMagic = 0x65735546;

// FUSE file systems that reach their data over a network.
constexpr std::array<std::string_view, 14> kNetworkFuse{
    "sshfs",     "rclone",    "s3fs",     "gcsfuse", "davfs",     "glusterfs",
    "ceph-fuse", "curlftpfs", "smbnetfs", "goofys",  "onedriver", "google-drive-ocamlfuse",
    "httpdirfs", "gvfsd-fuse"};

// The mount table's type for the file system with this device number.
std::string mountTableType(dev_t device) {
    std::string type;
    libmnt_table *table = ::mnt_new_table();
    if (!table)
        return type;
    if (::mnt_table_parse_file(table, "/proc/self/mountinfo") == 0) {
        libmnt_iter *iter = ::mnt_new_iter(MNT_ITER_BACKWARD);
        libmnt_fs *fs = nullptr;
        while (iter && ::mnt_table_next_fs(table, iter, &fs) == 0)
            if (::mnt_fs_get_devno(fs) == device) {
                if (const char *name = ::mnt_fs_get_fstype(fs))
                    type = name;
                break;
            }
        ::mnt_free_iter(iter);
    }
    ::mnt_unref_table(table);
    return type;
}

constexpr const char *kProbeAttribute = "user.dromel-probe";

// Volumes whose owners and modes come from mount options, not from the disk.
bool knownWithoutPosixMetadata(std::string_view name) {
    return name == "vfat" || name == "msdos" || name == "exfat" || name == "ntfs" || name == "ntfs3" ||
           name == "iso9660" || name == "udf" || name == "fuseblk" || name == "fuse" ||
           name.starts_with("fuse.");
}

enum class Probe { yes, no, unknown };

// An unnamed file that vanishes on close: set a mode, an attribute and (as
// root) an owner, and see whether the volume kept them.
Probe probeTemporaryFile(const std::string &folder) {
    FileDescriptor fd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!fd)
        return Probe::unknown; // no O_TMPFILE there, or no write permission
    constexpr mode_t kProbeMode = 0604;
    if (::fchmod(fd.get(), kProbeMode) != 0)
        return Probe::no;
    if (::fsetxattr(fd.get(), kProbeAttribute, "1", 1, 0) != 0)
        return errno == ENOTSUP || errno == ENOSYS ? Probe::no : Probe::unknown;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return Probe::unknown;
    if ((info.st_mode & 07777) != kProbeMode)
        return Probe::no;
    if (::geteuid() == 0) {
        const uid_t other = info.st_uid == 1 ? 2 : 1;
        if (::fchown(fd.get(), other, other) != 0 || ::fstat(fd.get(), &info) != 0 || info.st_uid != other)
            return Probe::no;
    }
    return Probe::yes;
}

} // namespace

bool keepsPosixMetadata(const std::string &folder, const FileSystemType &type) {
    // A missing attribute is ENODATA where user attributes exist at all.
    if (::getxattr(folder.c_str(), kProbeAttribute, nullptr, 0) < 0 && (errno == ENOTSUP || errno == ENOSYS))
        return false;
    switch (probeTemporaryFile(folder)) {
    case Probe::yes:
        return true;
    case Probe::no:
        return false;
    case Probe::unknown:
        break;
    }
    return !knownWithoutPosixMetadata(type.name) && type.name != "ramfs";
}

FileSystemType fileSystemTypeOf(const std::string &path) {
    struct stat object {};
    if (::lstat(path.c_str(), &object) != 0)
        throw OperationProblem::fromErrno(errno, path);
    // statfs follows links; a link lives on its folder's file system.
    const std::string probe = S_ISLNK(object.st_mode) ? Location::parent(path) : path;
    struct statfs info {};
    if (::statfs(probe.c_str(), &info) != 0)
        throw OperationProblem::fromErrno(errno, path);
    const auto magic = static_cast<unsigned long>(info.f_type) & 0xFFFFFFFFul;
    if (magic == kFuseMagic) {
        const std::string type = mountTableType(object.st_dev);
        if (type == "fuseblk")
            return {type, true, false};
        std::string_view subtype = type;
        if (subtype.starts_with("fuse."))
            subtype.remove_prefix(5);
        for (std::string_view network : kNetworkFuse)
            if (subtype == network)
                return {type, false, false};
        return {type.empty() ? "fuse" : type, true, false};
    }
    for (const Known &known : kKnown)
        if (known.magic == magic)
            return {known.name, known.local, known.exclusiveRename};
    return {"", true, false};
}

} // namespace dromel::detail
