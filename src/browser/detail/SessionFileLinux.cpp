#include "browser/detail/SessionFile.h"

#include "core/Uuid.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace dromel::SessionFile {

namespace {

[[noreturn]] void throwErrno(int error, const std::string &what) {
    throw std::system_error(error, std::generic_category(), what);
}

// Closes on every path out; the write path closes explicitly to see the error.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

std::pair<std::string, std::string> splitPath(const std::string &path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

bool isDirectory(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Removes temporaries whose writer is gone. A writer holds an exclusive lock on
// its temporary from creation to rename, so a lock we can take belongs to a
// file nobody will rename any more. The inode check guards against the name
// having moved on between opening and unlinking.
void removeStaleTemporaries(int folderFd) {
    int scanFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (scanFd < 0)
        return;
    DIR *folder = ::fdopendir(scanFd);
    if (!folder) {
        ::close(scanFd);
        return;
    }
    while (dirent *entry = ::readdir(folder)) {
        std::string_view name(entry->d_name);
        if (!name.starts_with(kTemporaryPrefix))
            continue;
        FileDescriptor fd(
            ::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        if (!fd.valid())
            continue;
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
            continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (::fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_ino == opened.st_ino && named.st_dev == opened.st_dev)
            ::unlinkat(folderFd, entry->d_name, 0);
    }
    ::closedir(folder);
}

void writeAll(int fd, std::string_view bytes, const std::string &path) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throwErrno(errno, "cannot write \"" + path + "\"");
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace

void createFolder(const std::string &folder) {
    if (folder.empty() || isDirectory(folder))
        return;
    auto [parent, name] = splitPath(folder);
    if (parent != folder && !name.empty())
        createFolder(parent);
    if (name.empty() || name == "." || name == "..")
        return;
    if (::mkdir(folder.c_str(), 0700) != 0) {
        int error = errno;
        if (error == EEXIST && isDirectory(folder))
            return;
        throwErrno(error == EEXIST ? ENOTDIR : error, "cannot create folder \"" + folder + "\"");
    }
    // mkdir's mode passes through the umask; the folder must be exactly 0700.
    if (::chmod(folder.c_str(), 0700) != 0)
        throwErrno(errno, "cannot set the permissions of \"" + folder + "\"");
}

void replaceAtomically(const std::string &path, std::string_view bytes) {
    auto [folder, name] = splitPath(path);
    if (name.empty())
        throwErrno(EISDIR, "cannot write \"" + path + "\"");
    FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.valid())
        throwErrno(errno, "cannot open folder \"" + folder + "\"");
    removeStaleTemporaries(folderFd.get());

    const std::string temporary = std::string(kTemporaryPrefix) + Uuid::random().text();
    const std::string temporaryPath = folder + "/" + temporary;
    FileDescriptor fd(::openat(folderFd.get(), temporary.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid())
        throwErrno(errno, "cannot create \"" + temporaryPath + "\"");
    try {
        // The lock tells other writers' clean-up that this temporary is alive.
        // File systems without flock lose only that clean-up, not safety.
        (void)::flock(fd.get(), LOCK_EX);
        // Before the rename, so the session is never visible with wider modes.
        if (::fchmod(fd.get(), 0600) != 0)
            throwErrno(errno, "cannot set the permissions of \"" + temporaryPath + "\"");
        writeAll(fd.get(), bytes, temporaryPath);
        if (::fsync(fd.get()) != 0)
            throwErrno(errno, "cannot sync \"" + temporaryPath + "\"");
        if (::renameat(folderFd.get(), temporary.c_str(), folderFd.get(), name.c_str()) != 0)
            throwErrno(errno, "cannot replace \"" + path + "\"");
    } catch (...) {
        ::unlinkat(folderFd.get(), temporary.c_str(), 0);
        throw;
    }
    // The new content is in place; closing drops the lock. A failed close or
    // folder sync still counts as a failed save: durability is not assured.
    if (::close(fd.release()) != 0)
        throwErrno(errno, "cannot close \"" + path + "\"");
    if (::fsync(folderFd.get()) != 0)
        throwErrno(errno, "cannot sync folder \"" + folder + "\"");
}

std::optional<std::string> readWhole(const std::string &path, std::size_t maxBytes) {
    // O_NONBLOCK so that a FIFO planted at the path cannot hang the queue.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid())
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    if (static_cast<unsigned long long>(info.st_size) > maxBytes)
        return std::nullopt;
    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
        ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        if (content.size() + static_cast<std::size_t>(got) > maxBytes)
            return std::nullopt;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    return content;
}

} // namespace dromel::SessionFile
