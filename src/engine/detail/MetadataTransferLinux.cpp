#include "engine/detail/MetadataTransfer.h"

#include "core/OperationProblem.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

namespace dromel::detail {

namespace {

// Flags an owner may set; immutable and append-only need privilege and would
// lock the copy against the rest of the operation.
constexpr int kUserFlags = FS_NODUMP_FL | FS_NOATIME_FL | FS_SYNC_FL | FS_DIRSYNC_FL | FS_COMPR_FL;

bool permittedToFail(std::string_view name, int error) {
    // trusted.* and security.* need privilege; a user's copy goes without.
    return error == EPERM && !name.starts_with("user.") && !name.starts_with("system.");
}

void transferAttributes(int from, int to, const std::string &path) {
    ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size < 0) {
        if (errno == ENOTSUP)
            return;
        throw OperationProblem::fromErrno(errno, path);
    }
    std::vector<char> names(static_cast<std::size_t>(size) + 1, '\0');
    size = ::flistxattr(from, names.data(), static_cast<std::size_t>(size));
    if (size < 0)
        throw OperationProblem::fromErrno(errno, path);
    std::string value;
    for (std::size_t start = 0; start < static_cast<std::size_t>(size);) {
        const std::string name(names.data() + start);
        start += name.size() + 1;
        if (name.empty())
            continue;
        const ssize_t length = ::fgetxattr(from, name.c_str(), nullptr, 0);
        if (length < 0)
            throw OperationProblem::fromErrno(errno, path);
        value.assign(static_cast<std::size_t>(length), '\0');
        const ssize_t read = ::fgetxattr(from, name.c_str(), value.data(), value.size());
        if (read < 0)
            throw OperationProblem::fromErrno(errno, path);
        if (::fsetxattr(to, name.c_str(), value.data(), static_cast<std::size_t>(read), 0) != 0 &&
            !permittedToFail(name, errno))
            throw OperationProblem::fromErrno(errno, path);
    }
}

void transferFlags(int from, int to) {
    int source = 0, target = 0;
    if (::ioctl(from, FS_IOC_GETFLAGS, &source) != 0 || ::ioctl(to, FS_IOC_GETFLAGS, &target) != 0)
        return; // a file system without inode flags
    const int wanted = (target & ~kUserFlags) | (source & kUserFlags);
    if (wanted != target)
        (void)::ioctl(to, FS_IOC_SETFLAGS, &wanted); // best effort: not every file system takes every flag
}

} // namespace

void transferMetadata(int from, int to, const std::string &path) {
    struct stat info {};
    if (::fstat(from, &info) != 0)
        throw OperationProblem::fromErrno(errno, path);
    transferAttributes(from, to, path);
    // Owner before mode: chown clears set-id bits.
    if (::fchown(to, info.st_uid, info.st_gid) != 0 && errno != EPERM)
        throw OperationProblem::fromErrno(errno, path);
    if (::fchmod(to, info.st_mode & 07777) != 0)
        throw OperationProblem::fromErrno(errno, path);
    transferFlags(from, to);
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (::futimens(to, times) != 0)
        throw OperationProblem::fromErrno(errno, path);
}

void transferLinkMetadata(const std::string &from, const std::string &to) {
    struct stat info {};
    if (::lstat(from.c_str(), &info) != 0)
        throw OperationProblem::fromErrno(errno, to);
    if (::lchown(to.c_str(), info.st_uid, info.st_gid) != 0 && errno != EPERM)
        throw OperationProblem::fromErrno(errno, to);
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw OperationProblem::fromErrno(errno, to);
}

} // namespace dromel::detail
