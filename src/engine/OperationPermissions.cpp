#include "engine/OperationPermissions.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "engine/OperationFS.h"
#include "engine/detail/FileDescriptor.h"
#include "engine/detail/StampOf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dromel::OperationPermissions {

namespace {

using Code = OperationProblem::Code;

detail::FileDescriptor openObject(const std::string &path) {
    detail::FileDescriptor fd(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        throw OperationProblem::fromErrno(errno, path);
    return fd;
}

// chmod has no form for a descriptor opened without following links; the
// descriptor's own entry in /proc reaches exactly the object it holds.
void changeMode(const detail::FileDescriptor &fd, std::uint32_t mode, const std::string &path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
    if (::chmod(self.c_str(), static_cast<mode_t>(mode)) != 0)
        throw OperationProblem::fromErrno(errno, path);
}

void requireOwner(const ObjectStamp &stamp, const std::string &path) {
    const uid_t user = ::geteuid();
    if (user != 0 && stamp.owner != user)
        throw OperationProblem::fromErrno(EPERM, path);
}

std::string pathOf(const std::string &root, const TreeRecord &record) {
    return record.relative.empty() ? root : Location::appending(root, record.relative);
}

} // namespace

TreeManifest records(const std::string &root, const PermissionChange &change,
                     const OperationCancellation &cancel) {
    TreeManifest manifest;
    if (change.enclosed) {
        manifest = OperationFS::manifest(root, cancel, false);
    } else {
        TreeRecord record;
        record.stamp = OperationFS::stamp(root);
        manifest.push_back(std::move(record));
    }
    if (manifest.front().stamp.isSymbolicLink())
        throw OperationProblem(Code::unsupported, root, "A link has no permissions of its own.");
    for (const TreeRecord &record : manifest)
        if (!record.stamp.isSymbolicLink())
            requireOwner(record.stamp, pathOf(root, record));
    return manifest;
}

void apply(const std::string &root, const TreeManifest &records, const PermissionChange &change,
           const OperationCancellation &cancel, std::vector<ModeReceipt> &receipts) {
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        checkCancellation(cancel);
        if (record->stamp.isSymbolicLink())
            continue;
        const std::string path = pathOf(root, *record);
        const detail::FileDescriptor fd = openObject(path);
        const ObjectStamp before = detail::stampOf(fd.get(), path).stamp;
        if (!(before == record->stamp))
            throw OperationProblem(Code::sourceChanged, path, "");
        const std::uint32_t old = before.mode & 07777u;
        const std::uint32_t mode =
            change.applied(before.mode, before.isDirectory(), !record->relative.empty()) & 07777u;
        if (mode == old)
            continue;
        changeMode(fd, mode, path);
        receipts.push_back(ModeReceipt{path, old, detail::stampOf(fd.get(), path).stamp.token()});
    }
}

std::vector<std::string> restore(const std::vector<ModeReceipt> &restores,
                                 const OperationCancellation &cancel) {
    std::vector<std::string> left;
    for (const ModeReceipt &receipt : restores) {
        checkCancellation(cancel);
        detail::FileDescriptor fd(::open(receipt.path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!fd || detail::stampOf(fd.get(), receipt.path).stamp.token() != receipt.version) {
            left.push_back(receipt.path);
            continue;
        }
        changeMode(fd, receipt.mode, receipt.path);
    }
    return left;
}

} // namespace dromel::OperationPermissions
