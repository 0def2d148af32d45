#include "engine/OperationFS.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "core/Uuid.h"
#include "engine/DataPasses.h"
#include "engine/detail/FileSystemType.h"
#include "engine/detail/MetadataTransfer.h"
#include "engine/detail/StampOf.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace dromel::OperationFS {

namespace {

// realpath of the longest existing prefix, the rest appended as written.
std::string resolved(const std::string &path) {
    const std::string standard = Location::standardized(path);
    if (char *real = ::realpath(standard.c_str(), nullptr)) {
        std::string result(real);
        std::free(real);
        return result;
    }
    const std::string parent = Location::parent(standard);
    if (parent == standard)
        return standard;
    return Location::appending(resolved(parent), Location::lastComponent(standard));
}

} // namespace

void requireLocal(const std::string &path) {
    if (!detail::fileSystemTypeOf(path).local)
        throw OperationProblem(OperationProblem::Code::unsupported, path, "");
}

ObjectStamp stamp(const std::string &path) {
    return detail::stampOf(path).stamp;
}

} // namespace dromel::OperationFS

namespace dromel::detail {

StampAndMount stampOf(const std::string &path) {
    return stampOf(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, path);
}

StampAndMount stampOf(int fd, const std::string &path) {
    return stampOf(fd, "", AT_EMPTY_PATH, path);
}

StampAndMount stampOf(int at, const char *name, int flags, const std::string &path) {
    struct statx info {};
    if (::statx(at, name, flags, STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
        throw OperationProblem::fromErrno(errno, path);
    StampAndMount both;
    both.mountRoot =
        (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (info.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    ObjectStamp &result = both.stamp;
    result.device = static_cast<std::int64_t>(::makedev(info.stx_dev_major, info.stx_dev_minor));
    result.inode = info.stx_ino;
    result.mode = info.stx_mode;
    if (info.stx_mask & STATX_BTIME) {
        result.born = info.stx_btime.tv_sec;
        result.bornNanos = info.stx_btime.tv_nsec;
    }
    result.size = static_cast<std::int64_t>(info.stx_size);
    result.modified = info.stx_mtime.tv_sec;
    result.nanos = info.stx_mtime.tv_nsec;
    result.changed = info.stx_ctime.tv_sec;
    result.changedNanos = info.stx_ctime.tv_nsec;
    result.owner = info.stx_uid;
    result.group = info.stx_gid;
    return both;
}

} // namespace dromel::detail

namespace dromel::OperationFS {

namespace {

using Context = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

Context sha256() {
    Context context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        throw OperationProblem(OperationProblem::Code::system, "read", "SHA-256 is unavailable");
    return context;
}

std::string finish(EVP_MD_CTX *context) {
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, bytes, &length);
    return std::string(reinterpret_cast<const char *>(bytes), length);
}

std::string hex(const std::string &bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text.push_back(kHex[value >> 4]);
        text.push_back(kHex[value & 0xF]);
    }
    return text;
}

// Raw SHA-256 of `length` bytes from `offset` (to the end where `length` is
// negative), or of fewer where the file ends first.
std::string hashRange(int fd, const OperationCancellation &cancel, off_t offset, std::int64_t length) {
    constexpr std::size_t kBlock = 1 << 20;
    Context context = sha256();
    // One buffer per thread, reused: a fresh 1 MiB per file would cost more
    // in page faults than hashing a small file does.
    thread_local std::vector<unsigned char> buffer(kBlock);
    const off_t end = length < 0 ? -1 : offset + length;
    for (;;) {
        checkCancellation(cancel);
        const std::size_t want =
            end < 0 ? kBlock : static_cast<std::size_t>(std::min<std::int64_t>(kBlock, end - offset));
        if (want == 0)
            break;
        const ssize_t count = ::pread(fd, buffer.data(), want, offset);
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throw OperationProblem::fromErrno(errno, "read");
        }
        EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(count));
        DataPasses::addHashed(count);
        offset += count;
    }
    return finish(context.get());
}

// Large files are hashed in fixed segments on two threads, and their digest
// is the SHA-256 of the segments' digests: as strong, and half the time on
// the clock where the file is in memory (a stage just written, a source the
// copy is reading). Which form a file gets depends on its length alone, so
// any two digests of the same bytes are equal.
constexpr std::int64_t kSegmentBytes = std::int64_t{32} << 20;
constexpr std::int64_t kSegmentedFrom = 2 * kSegmentBytes;

std::string segmented(int fd, const OperationCancellation &cancel, std::int64_t size, HashOrder order) {
    const std::size_t count = static_cast<std::size_t>((size + kSegmentBytes - 1) / kSegmentBytes);
    std::vector<std::string> parts(count);
    std::vector<std::exception_ptr> failures(count);
    std::atomic<std::size_t> next = 0;
    std::atomic<bool> failed = false;
    const auto work = [&] {
        for (std::size_t claimed = next++; claimed < count && !failed; claimed = next++) {
            const std::size_t i = order == HashOrder::fromStart ? claimed : count - 1 - claimed;
            const off_t offset = static_cast<off_t>(i) * kSegmentBytes;
            try {
                parts[i] = hashRange(fd, cancel, offset, std::min(kSegmentBytes, size - offset));
            } catch (...) {
                failures[i] = std::current_exception();
                failed = true;
            }
        }
    };
    std::thread helper(work);
    work();
    helper.join();
    for (const std::exception_ptr &failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    Context context = sha256();
    static constexpr char kLabel[] = "sha256 segments of 32 MiB";
    EVP_DigestUpdate(context.get(), kLabel, sizeof kLabel - 1);
    for (const std::string &part : parts)
        EVP_DigestUpdate(context.get(), part.data(), part.size());
    return finish(context.get());
}

} // namespace

std::string digest(int fd, const OperationCancellation &cancel, std::int64_t size, HashOrder order) {
    std::int64_t length = size;
    if (length < 0) {
        struct stat info {};
        if (::fstat(fd, &info) != 0)
            throw OperationProblem::fromErrno(errno, "read");
        length = S_ISREG(info.st_mode) ? info.st_size : -1;
    }
    if (length < kSegmentedFrom)
        return hex(hashRange(fd, cancel, 0, size));
    std::string result = segmented(fd, cancel, length, order);
    // Asked for the whole file: one that grew while it was hashed is hashed
    // to its end in one piece, a digest no copy of it will match.
    if (size < 0) {
        char probe = 0;
        if (::pread(fd, &probe, 1, static_cast<off_t>(length)) > 0)
            return hex(hashRange(fd, cancel, 0, -1));
    }
    return hex(result);
}

ExclusivePublish exclusivePublish(const std::string &folder) {
    const detail::FileSystemType type = detail::fileSystemTypeOf(folder);
    if (!type.local)
        throw OperationProblem(OperationProblem::Code::unsupported, folder, "");
    const std::string probe = Location::appending(folder, ".dromel-probe-" + Uuid::random().text());
    const std::string moved = probe + "-moved";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return type.exclusiveRename ? ExclusivePublish::rename : ExclusivePublish::none;
    ::close(fd);
    ExclusivePublish found = ExclusivePublish::none;
    if (::renameat2(AT_FDCWD, probe.c_str(), AT_FDCWD, moved.c_str(), RENAME_NOREPLACE) == 0) {
        found = ExclusivePublish::rename;
        ::unlink(moved.c_str());
    } else {
        if (::link(probe.c_str(), moved.c_str()) == 0) {
            found = ExclusivePublish::link;
            ::unlink(moved.c_str());
        }
        ::unlink(probe.c_str());
    }
    return found;
}

bool supportsExclusiveRename(const std::string &folder) {
    return exclusivePublish(folder) == ExclusivePublish::rename;
}

bool keepsPosixMetadata(const std::string &folder) {
    const detail::FileSystemType type = detail::fileSystemTypeOf(folder);
    if (!type.local)
        throw OperationProblem(OperationProblem::Code::unsupported, folder, "");
    return detail::keepsPosixMetadata(folder, type);
}

bool metadataMatches(const TreeManifest &source, const TreeManifest &copy) {
    if (source.size() != copy.size())
        return false;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const ObjectStamp &from = source[i].stamp;
        const ObjectStamp &to = copy[i].stamp;
        if (source[i].metadata != copy[i].metadata || from.modified != to.modified || from.nanos != to.nanos)
            return false;
        // Links have no mode of their own on Linux.
        if (!from.isSymbolicLink() &&
            (to.mode & 07777) != detail::copiedMode(from.mode, from.owner, from.group, to.owner, to.group))
            return false;
    }
    return true;
}

std::string fileSystemType(const std::string &path) {
    return detail::fileSystemTypeOf(path).name;
}

std::int64_t folderDevice(const std::string &folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        throw OperationProblem::fromErrno(errno, folder);
    return static_cast<std::int64_t>(info.st_dev);
}

std::string realFolder(const std::string &folder) {
    return resolved(folder);
}

void validateRelationship(const std::string &source, const std::string &target) {
    // Both sides are the entries themselves: a link is moved or copied as a
    // link, so what it points to is never the item.
    const auto entry = [](const std::string &path) {
        const std::string standard = Location::standardized(path);
        const std::string parent = Location::parent(standard);
        if (parent == standard)
            return standard;
        return Location::appending(resolved(parent), Location::lastComponent(standard));
    };
    const std::string from = entry(source);
    const std::string to = entry(target);
    const bool inside = to == from || (to.size() > from.size() && to.compare(0, from.size(), from) == 0 &&
                                       (from == "/" || to[from.size()] == '/'));
    if (inside)
        throw OperationProblem(OperationProblem::Code::descendant, target, "");
}

ExclusivePublish renameExclusive(const std::string &from, const std::string &to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return ExclusivePublish::rename;
    if (errno != EINVAL)
        throw OperationProblem::fromErrno(errno, to);
    struct stat info {};
    if (::lstat(from.c_str(), &info) != 0)
        throw OperationProblem::fromErrno(errno, from);
    if (S_ISDIR(info.st_mode))
        throw OperationProblem(OperationProblem::Code::unsupported, to, "");
    if (::link(from.c_str(), to.c_str()) != 0)
        throw OperationProblem::fromErrno(errno, to);
    if (::unlink(from.c_str()) != 0)
        throw OperationProblem::fromErrno(errno, from);
    return ExclusivePublish::link;
}

bool sameContent(const TreeManifest &a, const TreeManifest &b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].relative != b[i].relative || a[i].stamp.type() != b[i].stamp.type() ||
            a[i].digest != b[i].digest || a[i].link != b[i].link)
            return false;
    return true;
}

} // namespace dromel::OperationFS
