#include "engine/OperationMetadata.h"

#include "core/OperationProblem.h"
#include "engine/detail/CopiedMetadata.h"
#include "engine/detail/FileDescriptor.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/acl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <vector>

namespace dromel {

namespace {

// The object's attribute calls: by path (never following a final link) or
// on an open descriptor.
struct AttributeSource {
    const std::string &path;
    int fd = -1;

    ssize_t list(char *names, std::size_t size) const {
        return fd >= 0 ? ::flistxattr(fd, names, size) : ::llistxattr(path.c_str(), names, size);
    }
    ssize_t get(const char *name, void *value, std::size_t size) const {
        return fd >= 0 ? ::fgetxattr(fd, name, value, size) : ::lgetxattr(path.c_str(), name, value, size);
    }
};

std::map<std::string, std::string> readAttributes(const AttributeSource &object) {
    const std::string &path = object.path;
    std::map<std::string, std::string> attributes;
    // The list can change between the size query and the read; a few retries
    // with the new size settle it.
    std::vector<char> names;
    for (int attempt = 0;; ++attempt) {
        const ssize_t size = object.list(nullptr, 0);
        if (size < 0) {
            if (errno == ENOTSUP)
                return attributes;
            throw OperationProblem::fromErrno(errno, path);
        }
        if (size == 0)
            return attributes;
        names.assign(static_cast<std::size_t>(size) + 1, '\0');
        const ssize_t length = object.list(names.data(), static_cast<std::size_t>(size));
        if (length == size)
            break;
        if ((length >= 0 || errno == ERANGE) && attempt < 3)
            continue;
        throw OperationProblem::fromErrno(length < 0 ? errno : EAGAIN, path);
    }
    for (std::size_t start = 0; start < names.size();) {
        const std::string name(names.data() + start);
        start += name.size() + 1;
        if (name.empty() || detail::isVolumeInternalAttribute(name))
            continue;
        for (int attempt = 0;; ++attempt) {
            const ssize_t size = object.get(name.c_str(), nullptr, 0);
            if (size < 0) {
                if (errno == ENODATA)
                    break; // removed since the list was read
                throw OperationProblem::fromErrno(errno, path);
            }
            std::string value(static_cast<std::size_t>(size), '\0');
            const ssize_t length = object.get(name.c_str(), value.data(), value.size());
            if (length >= 0) {
                value.resize(static_cast<std::size_t>(length));
                attributes.emplace(name, std::move(value));
                break;
            }
            if (errno != ERANGE || attempt >= 3)
                throw OperationProblem::fromErrno(errno, path);
        }
    }
    return attributes;
}

// Empty when the ACL is absent or equivalent to the mode bits. With `fd`,
// the access ACL of that open object.
std::string aclText(const std::string &path, acl_type_t type, const char *prefix, int fd = -1) {
    acl_t acl = fd >= 0 ? ::acl_get_fd(fd) : ::acl_get_file(path.c_str(), type);
    if (!acl) {
        if (errno == ENOTSUP || errno == ENOENT)
            return {};
        throw OperationProblem::fromErrno(errno, path);
    }
    std::string text;
    const bool extended =
        type == ACL_TYPE_DEFAULT ? ::acl_entries(acl) > 0 : ::acl_equiv_mode(acl, nullptr) != 0;
    if (extended) {
        if (char *raw = ::acl_to_any_text(acl, prefix, ',', TEXT_NUMERIC_IDS)) {
            text = raw;
            ::acl_free(raw);
        }
    }
    ::acl_free(acl);
    return text;
}

std::uint32_t inodeFlags(int fd) {
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
        return 0;
    return static_cast<std::uint32_t>(flags) & detail::kTransferredFlags;
}

std::uint32_t inodeFlags(const std::string &path, const struct stat &info) {
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        return 0; // links and special files have no flags to read safely
    detail::FileDescriptor fd(
        ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        return 0;
    return inodeFlags(fd.get());
}

} // namespace

OperationMetadata OperationMetadata::read(const std::string &path) {
    OperationMetadata metadata;
    metadata.attributes = readAttributes({path});
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        throw OperationProblem::fromErrno(errno, path);
    metadata.flags = inodeFlags(path, info);
    // acl_get_file follows links; a link has no ACL of its own. Linux keeps
    // the ACLs in these attributes: without them the mode bits say it all.
    if (!S_ISLNK(info.st_mode)) {
        if (metadata.attributes.count("system.posix_acl_access"))
            metadata.acl = aclText(path, ACL_TYPE_ACCESS, nullptr);
        if (S_ISDIR(info.st_mode) && metadata.attributes.count("system.posix_acl_default")) {
            const std::string defaults = aclText(path, ACL_TYPE_DEFAULT, "default:");
            if (!defaults.empty()) {
                if (!metadata.acl.empty())
                    metadata.acl.push_back(',');
                metadata.acl.append(defaults);
            }
        }
    }
    return metadata;
}

// A regular file has no default ACL, so its descriptor answers everything
// without a lookup of its path.
OperationMetadata OperationMetadata::readOpenFile(int fd, const std::string &path) {
    OperationMetadata metadata;
    metadata.attributes = readAttributes({path, fd});
    metadata.flags = inodeFlags(fd);
    if (metadata.attributes.count("system.posix_acl_access"))
        metadata.acl = aclText(path, ACL_TYPE_ACCESS, nullptr, fd);
    return metadata;
}

} // namespace dromel
