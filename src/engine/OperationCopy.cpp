#include "engine/OperationCopy.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "engine/DataPasses.h"
#include "engine/OperationFS.h"
#include "engine/detail/Beside.h"
#include "engine/detail/FileDescriptor.h"
#include "engine/detail/MetadataTransfer.h"
#include "engine/detail/StampOf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace dromel::OperationCopy {

namespace {

using Clock = std::chrono::steady_clock;
using detail::FileDescriptor;

constexpr std::size_t kChunk = 8 << 20;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// Reports at most every 100 ms, and always at the end.
class Throttle {
public:
    explicit Throttle(const Progress &progress) : m_progress(progress) {}
    void update(std::int64_t copied) {
        const auto now = Clock::now();
        if (m_progress && now - m_last >= kProgressInterval) {
            m_last = now;
            m_progress(copied);
        }
    }
    void finish(std::int64_t copied) {
        if (m_progress)
            m_progress(copied);
    }

private:
    const Progress &m_progress;
    Clock::time_point m_last = Clock::now();
};

// Copies byte ranges, in the kernel where it can (copy_file_range, which
// may also share blocks on btrfs and xfs), else through a buffer. With
// `writeBehind` each chunk's writeback starts as soon as it is copied, so the
// disk writes while the rest is copied instead of all of it after.
class RangeCopier {
public:
    RangeCopier(int from, int to, const std::string &target, const OperationCancellation &cancel,
                bool writeBehind)
        : m_from(from), m_to(to), m_target(target), m_cancel(cancel), m_writeBehind(writeBehind) {}

    // Copies [offset, offset + length) and returns how much there was (less
    // at the source's end), calling `advanced` with the offset reached.
    std::int64_t copy(off_t offset, std::int64_t length, const std::function<void(off_t)> &advanced) {
        const off_t start = offset;
        while (offset - start < length) {
            checkCancellation(m_cancel);
            const auto want =
                static_cast<std::size_t>(std::min<std::int64_t>(length - (offset - start), kChunk));
            const ssize_t count = m_inKernel ? inKernel(offset, want) : buffered(offset, want);
            if (count < 0)
                continue; // switched to the buffer, or interrupted
            if (count == 0)
                break;
            // Only starts the writeback; the caller's flush waits for it.
            if (m_writeBehind && ::sync_file_range(m_to, offset, count, SYNC_FILE_RANGE_WRITE) != 0)
                throw OperationProblem::fromErrno(errno, m_target);
            offset += count;
            m_copied += count;
            DataPasses::addCopied(count);
            advanced(offset);
        }
        return offset - start;
    }

private:
    ssize_t inKernel(off_t offset, std::size_t want) {
        off_t in = offset, out = offset;
        const ssize_t count = ::copy_file_range(m_from, &in, m_to, &out, want, 0);
        if (count >= 0)
            return count;
        if (m_copied == 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
            m_inKernel = false;
            return -1;
        }
        if (errno == EINTR)
            return -1;
        throw OperationProblem::fromErrno(errno, m_target);
    }

    ssize_t buffered(off_t offset, std::size_t want) {
        if (m_buffer.empty())
            m_buffer.resize(1 << 20);
        const ssize_t count = ::pread(m_from, m_buffer.data(), std::min(want, m_buffer.size()), offset);
        if (count < 0) {
            if (errno == EINTR)
                return -1;
            throw OperationProblem::fromErrno(errno, m_target);
        }
        for (ssize_t written = 0; written < count;) {
            const ssize_t n = ::pwrite(m_to, m_buffer.data() + written,
                                       static_cast<std::size_t>(count - written), offset + written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw OperationProblem::fromErrno(errno, m_target);
            written += n;
        }
        return count;
    }

    int m_from;
    int m_to;
    const std::string &m_target;
    const OperationCancellation &m_cancel;
    bool m_writeBehind;
    bool m_inKernel = true;
    std::int64_t m_copied = 0;
    std::vector<char> m_buffer;
};

// The data extents only (SEEK_DATA/SEEK_HOLE): holes stay holes, so a sparse
// disk image does not fill the target volume. The length is set last, which
// keeps a hole at the end.
void copyData(int from, int to, const struct stat &info, const std::string &target,
              const OperationCancellation &cancel, Throttle &throttle, bool writeBehind) {
    RangeCopier copier(from, to, target, cancel, writeBehind);
    const auto advanced = [&](off_t offset) { throttle.update(offset); };
    const std::int64_t size = info.st_size;
    // A file with a block for every byte has no hole to look for.
    bool holes = static_cast<std::int64_t>(info.st_blocks) * 512 < size;
    off_t offset = 0;
    while (offset < size) {
        off_t data = offset, hole = size;
        if (holes) {
            data = ::lseek(from, offset, SEEK_DATA);
            if (data < 0 && errno == ENXIO)
                break; // nothing but a hole up to the end
            if (data < 0) {
                holes = false; // no hole support there: all of it is data
                data = offset;
            } else {
                hole = ::lseek(from, data, SEEK_HOLE);
                if (hole < 0)
                    hole = size;
            }
        }
        hole = std::min<off_t>(hole, size);
        if (copier.copy(data, hole - data, advanced) < hole - data)
            break; // the source is shorter than it was: verification tells
        offset = hole;
    }
    checkCancellation(cancel);
    if (offset < size && ::ftruncate(to, size) != 0)
        throw OperationProblem::fromErrno(errno, target);
    throttle.finish(size);
}

// Files at least this large are hashed on two threads at once.
constexpr std::int64_t kParallelDigestBytes = 8 << 20;

// Both digests at once for large files: they read different files, and with
// two cores verification then costs one file's hashing time instead of two.
// Small files are hashed in turn; a thread would cost more than it saves.
void verifyBoth(int source, int target, std::int64_t size, const std::string &targetPath,
                const OperationCancellation &cancel) {
    if (size < kParallelDigestBytes) {
        if (OperationFS::digest(source, cancel) != OperationFS::digest(target, cancel))
            throw OperationProblem(OperationProblem::Code::verification, targetPath, "");
        return;
    }
    std::string sourceDigest, targetDigest;
    detail::runBeside([&] { sourceDigest = OperationFS::digest(source, cancel); },
                      [&] { targetDigest = OperationFS::digest(target, cancel); });
    if (sourceDigest != targetDigest)
        throw OperationProblem(OperationProblem::Code::verification, targetPath, "");
}

enum class Flush { now, deferred };

constexpr std::int64_t kEarlyWritebackBytes = 1 << 20;

// With a manifest `record`, the source as opened must still have its stamp,
// and only the copy is hashed: it must equal the source as it was when the
// manifest was made, not as it is now. With `Verify::byCaller` the caller's
// own manifest of the copy does that comparison, and the record may be
// without a digest (the caller hashes the source while this copies it).
void copyFile(const std::string &source, const std::string &target, bool limited,
              const OperationCancellation &cancel, const Progress &progress, Flush flush,
              const TreeRecord *record = nullptr, Verify verify = Verify::eachFile) {
    FileDescriptor from(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (!from)
        throw OperationProblem::fromErrno(errno, source);
    if (record && !(detail::stampOf(from.get(), source).stamp == record->stamp))
        throw OperationProblem(OperationProblem::Code::sourceChanged, source, "");
    const std::optional<std::string> expected = record ? record->digest : std::nullopt;
    struct stat info {};
    if (::fstat(from.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw OperationProblem(OperationProblem::Code::unsupported, source, "");
    FileDescriptor to(::open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!to)
        throw OperationProblem::fromErrno(errno, target);
    Throttle throttle(progress);
    // A large file is written out as it is copied; small ones are left to the
    // fsync or the tree's one syncfs whole, so the kernel writes them out
    // together rather than one small request each.
    copyData(from.get(), to.get(), info, target, cancel, throttle, info.st_size >= kEarlyWritebackBytes);
    checkCancellation(cancel);
    if (!limited)
        detail::transferMetadata(from.get(), info, to.get(), target);
    else
        detail::transferKeptMetadata(from.get(), info, to.get());
    if (flush == Flush::now && ::fsync(to.get()) != 0)
        throw OperationProblem::fromErrno(errno, target);
    if (verify == Verify::byCaller)
        return;
    if (!expected) {
        verifyBoth(from.get(), to.get(), info.st_size, target, cancel);
        return;
    }
    if (OperationFS::digest(to.get(), cancel) == *expected)
        return;
    struct stat now {};
    if (::fstat(from.get(), &now) != 0 || now.st_mtim.tv_sec != info.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec != info.st_mtim.tv_nsec || now.st_size != info.st_size ||
        OperationFS::digest(from.get(), cancel) != *expected)
        throw OperationProblem(OperationProblem::Code::sourceChanged, source, "");
    throw OperationProblem(OperationProblem::Code::verification, target, "");
}

std::string under(const std::string &root, const std::string &relative) {
    return relative.empty() ? root : root + "/" + relative;
}

// From this many files on, a helper thread copies every other one.
constexpr std::size_t kFilesForHelper = 16;

// The files of a tree, two in flight (the calling thread and a helper) when
// there are many: with two cores, one hashes or sets metadata while the other
// waits for the disk. Progress comes from the calling thread only and never
// goes back. The failure reported is that of the earliest file that failed;
// after a failure neither thread starts another file.
void copyFiles(const std::string &source, const std::string &target, const TreeManifest &records,
               const std::vector<std::size_t> &files, bool limited, const OperationCancellation &cancel,
               const Progress &progress, Verify verify) {
    std::atomic<std::size_t> next = 0;
    std::atomic<std::int64_t> done = 0;
    std::atomic<bool> failed = false;
    std::mutex failure;
    std::size_t failedAt = files.size();
    std::exception_ptr error;
    std::int64_t reported = -1;
    const auto report = [&](std::int64_t total) {
        if (progress && total > reported) {
            reported = total;
            progress(total);
        }
    };
    const auto work = [&](bool caller) {
        const Progress perFile = [&](std::int64_t copied) { report(done + copied); };
        while (!failed) {
            const std::size_t slot = next++;
            if (slot >= files.size())
                return;
            const TreeRecord &record = records[files[slot]];
            try {
                copyFile(under(source, record.relative), under(target, record.relative), limited, cancel,
                         caller ? perFile : Progress(), Flush::deferred, &record, verify);
                done += record.stamp.size;
                if (caller)
                    report(done);
            } catch (...) {
                const std::lock_guard lock(failure);
                if (slot < failedAt) {
                    failedAt = slot;
                    error = std::current_exception();
                }
                failed = true;
                return;
            }
        }
    };
    if (files.size() >= kFilesForHelper) {
        std::thread helper(work, false);
        work(true);
        helper.join();
    } else {
        work(true);
    }
    if (error)
        std::rethrow_exception(error);
    report(done);
}

} // namespace

void file(const std::string &source, const std::string &target, bool limited,
          const OperationCancellation &cancel, const Progress &progress) {
    copyFile(source, target, limited, cancel, progress, Flush::now);
}

void metadata(const std::string &from, const std::string &to, bool /*link*/) {
    struct stat info {};
    if (::lstat(from.c_str(), &info) != 0)
        throw OperationProblem::fromErrno(errno, to);
    if (S_ISLNK(info.st_mode)) {
        detail::transferLinkMetadata(from, to);
        return;
    }
    const int flags =
        O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | (S_ISDIR(info.st_mode) ? O_DIRECTORY : 0);
    FileDescriptor source(::open(from.c_str(), flags));
    if (!source)
        throw OperationProblem::fromErrno(errno, to);
    FileDescriptor target(::open(to.c_str(), flags));
    if (!target)
        throw OperationProblem::fromErrno(errno, to);
    detail::transferMetadata(source.get(), target.get(), to);
}

void tree(const std::string &source, const std::string &target, const TreeManifest &records, bool limited,
          const OperationCancellation &cancel, const Progress &progress, Verify verify,
          const VolumeFlush *flush) {
    // Each stamp below must match its record, device included, so every object
    // is on the root's file system: one local check covers the tree.
    OperationFS::requireLocal(source);
    if (records.empty())
        return;
    std::optional<VolumeFlush> own;
    if (!flush)
        flush = &own.emplace(Location::parent(target));
    // Folders and links first, in order; then the files, into folders that
    // all exist.
    std::vector<std::size_t> files;
    for (std::size_t index = 0; index < records.size(); ++index) {
        const TreeRecord &record = records[index];
        checkCancellation(cancel);
        const std::string from = under(source, record.relative);
        const std::string to = under(target, record.relative);
        if (record.stamp.isRegular()) {
            files.push_back(index); // its stamp is checked on the descriptor the copy reads from
            continue;
        }
        if (!(OperationFS::stamp(from) == record.stamp))
            throw OperationProblem(OperationProblem::Code::sourceChanged, from, "");
        if (record.stamp.isDirectory()) {
            if (::mkdir(to.c_str(), 0700) != 0)
                throw OperationProblem::fromErrno(errno, to);
        } else if (record.stamp.isSymbolicLink()) {
            if (!record.link)
                throw OperationProblem(OperationProblem::Code::system, to,
                                       "The link has no recorded target.");
            if (::symlink(record.link->c_str(), to.c_str()) != 0) {
                if (errno == EPERM || errno == ENOTSUP || errno == ENOSYS)
                    throw OperationProblem(OperationProblem::Code::unsupported, to,
                                           "The volume has no links.");
                throw OperationProblem::fromErrno(errno, to);
            }
            if (!limited)
                metadata(from, to, true);
        } else {
            throw OperationProblem(OperationProblem::Code::unsupported, from, "");
        }
    }
    copyFiles(source, target, records, files, limited, cancel, progress, verify);
    // Folder metadata last, deepest first, once everything inside exists.
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        if (!record->stamp.isDirectory())
            continue;
        checkCancellation(cancel);
        const std::string from = under(source, record->relative);
        const std::string to = under(target, record->relative);
        if (!limited) {
            metadata(from, to);
            continue;
        }
        FileDescriptor fromFolder(::open(from.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        FileDescriptor toFolder(::open(to.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat info {};
        if (fromFolder && toFolder && ::fstat(fromFolder.get(), &info) == 0)
            detail::transferKeptMetadata(fromFolder.get(), info, toFolder.get());
    }
    // One flush for the whole tree: every byte and name written above reaches
    // stable storage before the caller can publish anything.
    if (own)
        own->wait(target);
}

} // namespace dromel::OperationCopy
