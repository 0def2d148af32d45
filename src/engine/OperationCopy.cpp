#include "engine/OperationCopy.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "engine/OperationFS.h"
#include "engine/detail/FileDescriptor.h"
#include "engine/detail/MetadataTransfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <exception>
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

// The data, in the kernel where it can (copy_file_range), else through a buffer.
void copyData(int from, int to, const std::string &target, const OperationCancellation &cancel,
              Throttle &throttle) {
    std::int64_t copied = 0;
    bool inKernel = true;
    std::vector<char> buffer;
    for (;;) {
        checkCancellation(cancel);
        ssize_t count = 0;
        if (inKernel) {
            count = ::copy_file_range(from, nullptr, to, nullptr, kChunk, 0);
            if (count < 0 && copied == 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
                inKernel = false;
                continue;
            }
        } else {
            if (buffer.empty())
                buffer.resize(1 << 20);
            count = ::read(from, buffer.data(), buffer.size());
            for (ssize_t written = 0; count > 0 && written < count;) {
                const ssize_t n =
                    ::write(to, buffer.data() + written, static_cast<std::size_t>(count - written));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0)
                    throw OperationProblem::fromErrno(errno, target);
                written += n;
            }
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throw OperationProblem::fromErrno(errno, target);
        if (count == 0)
            break;
        copied += count;
        throttle.update(copied);
    }
    throttle.finish(copied);
}

// Files at least this large are hashed on two threads at once.
constexpr std::int64_t kParallelDigestBytes = 8 << 20;

// Both digests at once for large files: they read different files, and with
// two cores verification then costs one file's hashing time instead of two.
// Small files are hashed in turn; a thread would cost more than it saves.
void verify(int source, int target, std::int64_t size, const std::string &targetPath,
            const OperationCancellation &cancel) {
    if (size < kParallelDigestBytes) {
        if (OperationFS::digest(source, cancel) != OperationFS::digest(target, cancel))
            throw OperationProblem(OperationProblem::Code::verification, targetPath, "");
        return;
    }
    std::string sourceDigest;
    std::exception_ptr sourceError;
    std::thread hasher([&] {
        try {
            sourceDigest = OperationFS::digest(source, cancel);
        } catch (...) {
            sourceError = std::current_exception();
        }
    });
    std::string targetDigest;
    std::exception_ptr targetError;
    try {
        targetDigest = OperationFS::digest(target, cancel);
    } catch (...) {
        targetError = std::current_exception();
    }
    hasher.join();
    if (sourceError)
        std::rethrow_exception(sourceError);
    if (targetError)
        std::rethrow_exception(targetError);
    if (sourceDigest != targetDigest)
        throw OperationProblem(OperationProblem::Code::verification, targetPath, "");
}

enum class Flush { now, deferred };

void copyFile(const std::string &source, const std::string &target, bool limited,
              const OperationCancellation &cancel, const Progress &progress, Flush flush) {
    FileDescriptor from(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (!from)
        throw OperationProblem::fromErrno(errno, source);
    struct stat info {};
    if (::fstat(from.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw OperationProblem(OperationProblem::Code::unsupported, source, "");
    FileDescriptor to(::open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!to)
        throw OperationProblem::fromErrno(errno, target);
    Throttle throttle(progress);
    copyData(from.get(), to.get(), target, cancel, throttle);
    checkCancellation(cancel);
    if (!limited)
        detail::transferMetadata(from.get(), to.get(), target);
    if (flush == Flush::now) {
        if (::fsync(to.get()) != 0)
            throw OperationProblem::fromErrno(errno, target);
    } else {
        // Start writing back now; the tree's one syncfs waits for it.
        (void)::sync_file_range(to.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    }
    verify(from.get(), to.get(), info.st_size, target, cancel);
}

std::string under(const std::string &root, const std::string &relative) {
    return relative.empty() ? root : root + "/" + relative;
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
          const OperationCancellation &cancel, const Progress &progress) {
    std::int64_t total = 0;
    // Each stamp below must match its record, device included, so every object
    // is on the root's file system: one local check covers the tree.
    OperationFS::requireLocal(source);
    for (const TreeRecord &record : records) {
        checkCancellation(cancel);
        const std::string from = under(source, record.relative);
        const std::string to = under(target, record.relative);
        if (!(OperationFS::stamp(from) == record.stamp))
            throw OperationProblem(OperationProblem::Code::sourceChanged, from, "");
        if (record.stamp.isDirectory()) {
            if (::mkdir(to.c_str(), 0700) != 0)
                throw OperationProblem::fromErrno(errno, to);
        } else if (record.stamp.isSymbolicLink()) {
            if (!record.link)
                throw OperationProblem(OperationProblem::Code::system, to,
                                       "The link has no recorded target.");
            if (::symlink(record.link->c_str(), to.c_str()) != 0)
                throw OperationProblem::fromErrno(errno, to);
            if (!limited)
                metadata(from, to, true);
        } else if (record.stamp.isRegular()) {
            const Progress perFile = [&](std::int64_t copied) {
                if (progress)
                    progress(total + copied);
            };
            copyFile(from, to, limited, cancel, perFile, Flush::deferred);
            total += record.stamp.size;
            if (progress)
                progress(total);
        } else {
            throw OperationProblem(OperationProblem::Code::unsupported, from, "");
        }
    }
    // Folder metadata last, deepest first, once everything inside exists.
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        if (!record->stamp.isDirectory())
            continue;
        checkCancellation(cancel);
        if (!limited)
            metadata(under(source, record->relative), under(target, record->relative));
    }
    if (records.empty())
        return;
    // One flush for the whole tree: every byte and name written above reaches
    // stable storage before the caller can publish anything.
    const std::string anchor = records.front().stamp.isDirectory() ? target : Location::parent(target);
    FileDescriptor fd(::open(anchor.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd || ::syncfs(fd.get()) != 0)
        throw OperationProblem::fromErrno(errno, target);
}

} // namespace dromel::OperationCopy
