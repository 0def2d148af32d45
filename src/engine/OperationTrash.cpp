#include "engine/OperationTrash.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "core/StatePaths.h"
#include "engine/detail/FileDescriptor.h"
#include "engine/detail/PrivateFolders.h"
#include "engine/detail/StampOf.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <optional>

// A trash is three folders: the trash itself, files/ and info/. Each is opened
// from its parent's descriptor without following links and must be a real
// folder of ours, so a crafted volume (a link in place of info/ or files/)
// cannot send the record or the item anywhere else. The record is created in
// info/ and flushed with the folder before the item is renamed into files/:
// a crash leaves at worst a record without its item, never an item nobody
// can restore.
namespace dromel::OperationTrash {

namespace {

using detail::FileDescriptor;

constexpr std::string_view kInfoSuffix = ".trashinfo";

struct stat lstatOrThrow(const std::string &path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        throw OperationProblem::fromErrno(errno, path);
    return info;
}

// `name` in the folder `parent`, created 0700 when missing (with `create`),
// opened without following a link and refused unless it is a folder of ours.
FileDescriptor openOwnFolder(int parent, const std::string &name, const std::string &path, bool create) {
    if (create && ::mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST)
        throw OperationProblem::fromErrno(errno, path);
    FileDescriptor fd(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        throw OperationProblem::fromErrno(errno, path); // ELOOP or ENOTDIR for a link
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw OperationProblem::fromErrno(errno, path);
    if (!S_ISDIR(info.st_mode))
        throw OperationProblem::fromErrno(ENOTDIR, path);
    if (info.st_uid != ::geteuid())
        throw OperationProblem::fromErrno(EACCES, path);
    return fd;
}

// The highest folder above `path` on the same device: the volume's top.
std::string topFolder(const std::string &path, dev_t device) {
    std::string top = path;
    for (std::string up = Location::parent(top); up != top; up = Location::parent(top)) {
        struct stat info {};
        if (::lstat(up.c_str(), &info) != 0 || info.st_dev != device)
            break;
        top = up;
    }
    return top;
}

struct Trash {
    std::string folder;
    std::string top; // "" for the home trash: Path is then absolute
    FileDescriptor self;
    FileDescriptor files;
    FileDescriptor info;
};

// The trash `name` in `parent`, with its files/ and info/; nothing when any
// of them is not a real folder of ours.
std::optional<Trash> openTrash(int parent, const std::string &parentPath, const std::string &name,
                               std::string top, bool create, std::optional<OperationProblem> &refusal) {
    try {
        Trash trash;
        trash.folder = Location::appending(parentPath, name);
        trash.top = std::move(top);
        trash.self = openOwnFolder(parent, name, trash.folder, create);
        trash.files = openOwnFolder(trash.self.get(), "files", trash.folder + "/files", true);
        trash.info = openOwnFolder(trash.self.get(), "info", trash.folder + "/info", true);
        return trash;
    } catch (const OperationProblem &problem) {
        refusal = problem;
        return std::nullopt;
    }
}

FileDescriptor openFolder(const std::string &path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        throw OperationProblem::fromErrno(errno, path);
    return fd;
}

// The home trash for items on the data home's device (a linked data home is
// resolved first), else the volume's $top/.Trash/$uid when .Trash is a real
// folder with the sticky bit, else $top/.Trash-$uid.
Trash trashFor(const std::string &path, const struct stat &item) {
    detail::makePrivateFolders(StatePaths::dataHome());
    char *real = ::realpath(StatePaths::dataHome().c_str(), nullptr);
    if (!real)
        throw OperationProblem::fromErrno(errno, StatePaths::dataHome());
    const std::string dataHome(real);
    std::free(real);
    std::optional<OperationProblem> refusal;
    if (lstatOrThrow(dataHome).st_dev == item.st_dev) {
        const FileDescriptor home = openFolder(dataHome);
        if (auto trash = openTrash(home.get(), dataHome, "Trash", "", true, refusal))
            return std::move(*trash);
        throw *refusal;
    }
    const std::string top = topFolder(Location::parent(path), item.st_dev);
    const FileDescriptor topFd = openFolder(top);
    const std::string uid = std::to_string(::geteuid());
    FileDescriptor shared(::openat(topFd.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (shared && ::fstat(shared.get(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX))
        if (auto trash = openTrash(shared.get(), Location::appending(top, ".Trash"), uid, top, true, refusal))
            return std::move(*trash);
    if (auto trash = openTrash(topFd.get(), top, ".Trash-" + uid, top, true, refusal))
        return std::move(*trash);
    throw *refusal;
}

std::string deletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// A name for the trash that leaves room for ".trashinfo" and a number. A long
// name is cut at a UTF-8 character boundary when it has one close by, else at
// the byte: a name that is not UTF-8 keeps as much of itself as fits.
std::string trashName(const std::string &name, int attempt) {
    std::string suffix;
    if (attempt > 1)
        suffix.append(".").append(std::to_string(attempt));
    const std::size_t room = NAME_MAX - kInfoSuffix.size() - suffix.size();
    std::string base = name;
    if (base.size() > room) {
        std::size_t cut = room;
        const auto continuation = [&](std::size_t at) {
            return (static_cast<unsigned char>(base[at]) & 0xC0) == 0x80;
        };
        while (cut > 0 && room - cut < 3 && continuation(cut))
            --cut;
        if (continuation(cut) || (static_cast<unsigned char>(base[cut]) & 0xC0) != 0xC0)
            cut = room; // no character starts within reach: not UTF-8 here
        base.resize(cut);
    }
    return base + suffix;
}

void writeAll(int fd, const std::string &text, const std::string &path) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw OperationProblem::fromErrno(errno, path);
        done += static_cast<std::size_t>(n);
    }
}

// The item's path with its folder's links resolved (the item itself is not
// followed), so the volume's top and the recorded path are the real ones.
std::string physical(const std::string &path) {
    const std::string standard = Location::standardized(path);
    char *real = ::realpath(Location::parent(standard).c_str(), nullptr);
    if (!real)
        throw OperationProblem::fromErrno(errno, standard);
    const std::string folder(real);
    std::free(real);
    return Location::appending(folder, Location::lastComponent(standard));
}

// Bytes on disk of `name` in `parent` and everything under it (as du -B1).
std::int64_t diskUsage(int parent, const char *name) {
    struct stat info {};
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    std::int64_t total = static_cast<std::int64_t>(info.st_blocks) * 512;
    if (!S_ISDIR(info.st_mode))
        return total;
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return total;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return total;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view child = entry->d_name;
        if (child != "." && child != "..")
            total += diskUsage(::dirfd(dir), entry->d_name);
    }
    ::closedir(dir);
    return total;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

// The trash's directorysizes cache ("size mtime name" per trashed folder), so
// the desktops' trash views show a folder's size without walking it. Replaced
// through a temporary file and a rename, as the trash layout asks. A cache:
// when it cannot be written the trash views walk the folder instead.
void recordFolderSize(const Trash &trash, const std::string &name) {
    struct stat record {};
    if (::fstatat(trash.info.get(), (name + std::string(kInfoSuffix)).c_str(), &record, 0) != 0)
        return;
    std::string text;
    if (FileDescriptor old(::openat(trash.self.get(), "directorysizes", O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        old)
        text = readAll(old.get());
    if (!text.empty() && text.back() != '\n')
        text.push_back('\n');
    text += std::to_string(diskUsage(trash.files.get(), name.c_str())) + " " +
            std::to_string(record.st_mtim.tv_sec) + " " + Location::percentEncoded(name) + "\n";
    const std::string temporary = "directorysizes.dromel-" + std::to_string(::getpid());
    FileDescriptor fd(::openat(trash.self.get(), temporary.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd)
        return;
    try {
        writeAll(fd.get(), text, temporary);
        if (::fsync(fd.get()) == 0 &&
            ::renameat(trash.self.get(), temporary.c_str(), trash.self.get(), "directorysizes") == 0)
            return;
    } catch (const OperationProblem &) {
    }
    ::unlinkat(trash.self.get(), temporary.c_str(), 0);
}

// Refuses what cannot move to a trash before anything is created for it.
void requireMovable(const std::string &item, const struct stat &info) {
    const struct stat parent = lstatOrThrow(Location::parent(item));
    if (detail::stampOf(item).mountRoot || parent.st_dev != info.st_dev || item == "/")
        throw OperationProblem(OperationProblem::Code::unsupported, item,
                               "A mounted volume cannot be trashed.");
}

// Drops `name`'s line from directorysizes, replacing the file as it is
// written. Not flushed: a cache that a power cut may only leave out of date,
// and the views check each line against its record before using it.
void forgetFolderSize(int trash, const std::string &name) {
    FileDescriptor old(::openat(trash, "directorysizes", O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!old)
        return;
    const std::string text = readAll(old.get());
    std::string kept;
    bool dropped = false;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string_view line(text.data() + start, end - start);
        start = end;
        const std::size_t second = line.find(' ', line.find(' ') + 1);
        std::string_view field = second == std::string_view::npos ? "" : line.substr(second + 1);
        if (!field.empty() && field.back() == '\n')
            field.remove_suffix(1);
        if (second != std::string_view::npos && Location::percentDecoded(field) == name) {
            dropped = true;
            continue;
        }
        kept.append(line);
    }
    if (!dropped)
        return;
    const std::string temporary = "directorysizes.dromel-" + std::to_string(::getpid());
    FileDescriptor fd(
        ::openat(trash, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd)
        return;
    try {
        writeAll(fd.get(), kept, temporary);
        if (::renameat(trash, temporary.c_str(), trash, "directorysizes") == 0)
            return;
    } catch (const OperationProblem &) {
    }
    ::unlinkat(trash, temporary.c_str(), 0);
}

// A volume that refuses RENAME_NOREPLACE (EINVAL: FUSE servers such as
// sshfs) still takes a file exclusively by link() and unlink(). Keeps errno
// of the rename when it does not apply.
bool linkedInstead(const std::string &item, int folder, const std::string &name, const struct stat &info) {
    if (errno != EINVAL || S_ISDIR(info.st_mode))
        return false;
    if (::linkat(AT_FDCWD, item.c_str(), folder, name.c_str(), 0) != 0)
        return false;
    if (::unlink(item.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(folder, name.c_str(), 0);
        errno = error;
        return false;
    }
    return true;
}

} // namespace

void forgetRecord(const std::string &itemPath) {
    const std::string files = Location::parent(Location::standardized(itemPath));
    const std::string trashPath = Location::parent(files);
    const std::string name = Location::lastComponent(itemPath);
    const FileDescriptor trash(::open(trashPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!trash)
        throw OperationProblem::fromErrno(errno, trashPath);
    const FileDescriptor info(::openat(trash.get(), "info", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!info)
        throw OperationProblem::fromErrno(errno, trashPath + "/info");
    // The item's leaving files/ reaches the disk before its record goes: a
    // power cut may then leave a record whose item is gone (listed as such),
    // never an item without its record. The record's removal itself needs no
    // flush: lost, it only comes back as such a record.
    if (const FileDescriptor items(
            ::openat(trash.get(), "files", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        items)
        (void)::fsync(items.get());
    const std::string record = name + std::string(kInfoSuffix);
    if (::unlinkat(info.get(), record.c_str(), 0) != 0 && errno != ENOENT)
        throw OperationProblem::fromErrno(errno, trashPath + "/info/" + record);
    forgetFolderSize(trash.get(), name);
}

std::string trashFolderFor(const std::string &path) {
    const std::string item = physical(path);
    return trashFor(item, lstatOrThrow(item)).folder;
}

std::string trashItem(const std::string &path, const std::string &originalPath) {
    const std::string item = physical(path);
    const std::string original =
        originalPath.empty()
            ? item
            : Location::appending(Location::parent(item), Location::lastComponent(originalPath));
    const struct stat info = lstatOrThrow(item);
    requireMovable(item, info);
    const Trash trash = trashFor(item, info);
    const std::string files = Location::appending(trash.folder, "files");
    const std::string infos = Location::appending(trash.folder, "info");

    const std::string recorded =
        trash.top.empty() ? original : original.substr(trash.top == "/" ? 1 : trash.top.size() + 1);
    const std::string record = "[Trash Info]\nPath=" + Location::percentEncoded(recorded) +
                               "\nDeletionDate=" + deletionDate() + "\n";
    const std::string name = Location::lastComponent(original);
    for (int attempt = 1;; ++attempt) {
        const std::string candidate = trashName(name, attempt);
        const std::string infoName = candidate + std::string(kInfoSuffix);
        const std::string infoPath = Location::appending(infos, infoName);
        FileDescriptor fd(::openat(trash.info.get(), infoName.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd) {
            if (errno == EEXIST)
                continue;
            throw OperationProblem::fromErrno(errno, infoPath);
        }
        try {
            writeAll(fd.get(), record, infoPath);
            if (::fsync(fd.get()) != 0)
                throw OperationProblem::fromErrno(errno, infoPath);
            // The record's name must be on disk before the item moves.
            if (::fsync(trash.info.get()) != 0)
                throw OperationProblem::fromErrno(errno, infos);
        } catch (...) {
            ::unlinkat(trash.info.get(), infoName.c_str(), 0);
            throw;
        }
        fd.reset();
        if (::renameat2(AT_FDCWD, item.c_str(), trash.files.get(), candidate.c_str(), RENAME_NOREPLACE) !=
                0 &&
            !linkedInstead(item, trash.files.get(), candidate, info)) {
            const int error = errno;
            // Our own record of a move that did not happen.
            ::unlinkat(trash.info.get(), infoName.c_str(), 0);
            if (error == EEXIST)
                continue; // a stray item without its record holds the name
            throw OperationProblem::fromErrno(error, item);
        }
        (void)::fsync(trash.files.get());
        if (FileDescriptor parent(::open(Location::parent(item).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            parent)
            (void)::fsync(parent.get());
        if (S_ISDIR(info.st_mode))
            recordFolderSize(trash, candidate);
        return Location::appending(files, candidate);
    }
}

} // namespace dromel::OperationTrash
