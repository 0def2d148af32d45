// The manifest walk of OperationFS.
#include "engine/OperationFS.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "engine/detail/FileDescriptor.h"
#include "engine/detail/FileSystemType.h"
#include "engine/detail/FolderNames.h"
#include "engine/detail/ManifestOrder.h"
#include "engine/detail/StampOf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <string_view>

namespace dromel::OperationFS {

namespace {

std::string readLink(const std::string &path, std::int64_t size) {
    std::string target(static_cast<std::size_t>(std::max<std::int64_t>(size, 255)) + 1, '\0');
    for (;;) {
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            throw OperationProblem::fromErrno(errno, path);
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2); // grew since it was stamped
    }
}

std::vector<std::string> listNames(const std::string &folder) {
    std::vector<std::string> names = detail::folderNames(folder, false);
    detail::sortForManifest(names);
    return names;
}

// `first` is the stamp just taken of `path`. Everything below the root is on
// the root's device, hence on the file system the root was checked on.
void visit(const std::string &path, const std::string &relative, const ObjectStamp &first,
           const OperationCancellation &cancel, bool hash, HashOrder order, TreeManifest &records) {
    if (!first.isRegular() && !first.isDirectory() && !first.isSymbolicLink())
        throw OperationProblem(OperationProblem::Code::unsupported, path, "");
    TreeRecord record;
    record.relative = relative;
    record.stamp = first;
    if (first.isSymbolicLink())
        record.link = readLink(path, first.size);
    if (first.isRegular() && hash) {
        // Everything of a file is read on the descriptor that is hashed, and
        // its stamp is taken again there: the same object from first to last
        // (a name swapped meanwhile changes the parent folder's stamp, checked
        // after its contents; the root itself is checked by its path below).
        detail::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
        if (!fd)
            throw OperationProblem::fromErrno(errno, path);
        settleChangeTime(first);
        record.digest = digest(fd.get(), cancel, first.size, order);
        record.metadata = OperationMetadata::readOpenFile(fd.get(), path);
        if (!(detail::stampOf(fd.get(), path).stamp == first))
            throw OperationProblem(OperationProblem::Code::sourceChanged, path, "");
        const bool root = relative.empty();
        records.push_back(std::move(record));
        if (root && !(stamp(path) == first))
            throw OperationProblem(OperationProblem::Code::sourceChanged, path, "");
        return;
    }
    record.metadata = OperationMetadata::read(path);
    records.push_back(std::move(record));

    if (first.isDirectory())
        for (const std::string &name : listNames(path)) {
            checkCancellation(cancel);
            const std::string child = Location::appending(path, name);
            const detail::StampAndMount childStamp = detail::stampOf(child);
            // A manifest never crosses into another mount, bind mounts of the
            // same file system included.
            if (childStamp.stamp.device != first.device || childStamp.mountRoot)
                throw OperationProblem(OperationProblem::Code::unsupported, child, "");
            visit(child, relative.empty() ? name : relative + "/" + name, childStamp.stamp, cancel, hash,
                  order, records);
        }

    // For a folder this runs after its contents: anything added, removed or
    // renamed directly inside it meanwhile changes its times.
    if (!(stamp(path) == first))
        throw OperationProblem(OperationProblem::Code::sourceChanged, path, "");
}

} // namespace

bool unchangedSince(const TreeManifest &hashed, const TreeManifest &now) {
    if (hashed.size() != now.size())
        return false;
    for (std::size_t i = 0; i < hashed.size(); ++i) {
        const TreeRecord &was = hashed[i];
        const TreeRecord &is = now[i];
        if (was.relative != is.relative || !(was.stamp == is.stamp) || was.link != is.link ||
            !(was.metadata == is.metadata) || (is.digest && was.digest && is.digest != was.digest))
            return false;
    }
    return true;
}

bool stampsProveContent(const std::string &root, const TreeManifest &records) {
    static constexpr std::array<std::string_view, 6> kExact{"ext4",  "xfs",  "btrfs",
                                                            "tmpfs", "f2fs", "bcachefs"};
    const std::string type = detail::fileSystemTypeOf(root).name;
    if (std::find(kExact.begin(), kExact.end(), type) == kExact.end())
        return false;
    return std::none_of(records.begin(), records.end(), [](const TreeRecord &record) {
        return record.stamp.isRegular() && record.stamp.changedNanos == 0;
    });
}

void settleChangeTime(const ObjectStamp &stamp) {
    const auto behind = [&stamp](const timespec &now) {
        return now.tv_sec < stamp.changed ||
               (now.tv_sec == stamp.changed && now.tv_nsec <= stamp.changedNanos);
    };
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    if (!behind(now) || stamp.changed > now.tv_sec + 1)
        return;
    // One tick of the kernel's clock at most, in practice: a few milliseconds,
    // once for a tree just written.
    for (int tries = 0; tries < 2000 && behind(now); ++tries) {
        const timespec pause{0, 500'000};
        ::nanosleep(&pause, nullptr);
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    }
}

TreeManifest manifest(const std::string &root, const OperationCancellation &cancel, bool hash,
                      HashOrder order) {
    checkCancellation(cancel);
    requireLocal(root);
    TreeManifest records;
    visit(root, "", stamp(root), cancel, hash, order, records);
    return records;
}

} // namespace dromel::OperationFS
