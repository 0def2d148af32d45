#include "engine/detail/MetadataTransfer.h"

#include "core/OperationProblem.h"
#include "engine/detail/CopiedMetadata.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

namespace dromel::detail {

namespace {

constexpr int kUserFlags = static_cast<int>(kTransferredFlags);

constexpr std::string_view kAclNames[] = {"system.posix_acl_access", "system.posix_acl_default"};

bool permittedToFail(std::string_view name, int error) {
    // trusted.* and security.* need privilege; a user's copy goes without.
    return error == EPERM && !name.starts_with("user.") && !name.starts_with("system.");
}

// The attribute names of `fd`; empty where the file system has none.
std::vector<std::string> attributeNames(int fd, const std::string &path) {
    std::vector<std::string> result;
    std::vector<char> names;
    for (int attempt = 0;; ++attempt) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) {
            if (errno == ENOTSUP)
                return result;
            throw OperationProblem::fromErrno(errno, path);
        }
        if (size == 0)
            return result;
        names.assign(static_cast<std::size_t>(size) + 1, '\0');
        const ssize_t length = ::flistxattr(fd, names.data(), static_cast<std::size_t>(size));
        if (length >= 0) {
            names.resize(static_cast<std::size_t>(length));
            break;
        }
        if (errno != ERANGE || attempt >= 3)
            throw OperationProblem::fromErrno(errno, path);
    }
    for (std::size_t start = 0; start < names.size();) {
        std::string name(names.data() + start);
        start += name.size() + 1;
        if (!name.empty() && !isVolumeInternalAttribute(name))
            result.push_back(std::move(name));
    }
    return result;
}

void transferAttributes(int from, int to, const std::string &path) {
    const std::vector<std::string> names = attributeNames(from, path);
    // A copy made in a folder with a default ACL inherited an ACL the source
    // never had: the copy carries exactly the source's ACLs.
    for (const std::string &present : attributeNames(to, path))
        if (std::find(std::begin(kAclNames), std::end(kAclNames), present) != std::end(kAclNames) &&
            std::find(names.begin(), names.end(), present) == names.end() &&
            ::fremovexattr(to, present.c_str()) != 0 && errno != ENODATA)
            throw OperationProblem::fromErrno(errno, path);
    std::string value;
    for (const std::string &name : names) {
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
    transferMetadata(from, info, to, path);
}

void transferMetadata(int from, const struct stat &info, int to, const std::string &path) {
    transferAttributes(from, to, path);
    // Owner before mode: chown clears set-id bits. Without the privilege to
    // give the copy away, its group may still be one of ours.
    struct stat copy {};
    copy.st_uid = info.st_uid;
    copy.st_gid = info.st_gid;
    if (::fchown(to, info.st_uid, info.st_gid) != 0) {
        if (errno != EPERM)
            throw OperationProblem::fromErrno(errno, path);
        if (::fchown(to, static_cast<uid_t>(-1), info.st_gid) != 0 && errno != EPERM)
            throw OperationProblem::fromErrno(errno, path);
        if (::fstat(to, &copy) != 0)
            throw OperationProblem::fromErrno(errno, path);
    }
    if (::fchmod(to, copiedMode(info.st_mode, info.st_uid, info.st_gid, copy.st_uid, copy.st_gid)) != 0)
        throw OperationProblem::fromErrno(errno, path);
    transferFlags(from, to);
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (::futimens(to, times) != 0)
        throw OperationProblem::fromErrno(errno, path);
}

void transferKeptMetadata(int from, const struct stat &info, int to) {
    try {
        transferAttributes(from, to, "");
    } catch (const OperationProblem &) {
        // A volume without (some) extended attributes: they are what is lost.
    }
    struct stat copy {};
    if (::fstat(to, &copy) == 0)
        (void)::fchmod(to, copiedMode(info.st_mode, info.st_uid, info.st_gid, copy.st_uid, copy.st_gid));
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    (void)::futimens(to, times);
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
