#include "engine/OperationTrash.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "core/StatePaths.h"
#include "engine/detail/FileDescriptor.h"
#include "engine/detail/PrivateFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

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

// A folder that is ours alone: created 0700 when missing; a link, a file or
// another user's folder in its place is refused.
void ensurePrivateFolder(const std::string &path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        throw OperationProblem::fromErrno(errno, path);
    const struct stat info = lstatOrThrow(path);
    if (!S_ISDIR(info.st_mode))
        throw OperationProblem::fromErrno(ENOTDIR, path);
    if (info.st_uid != ::geteuid())
        throw OperationProblem::fromErrno(EACCES, path);
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
};

Trash trashFor(const std::string &path, const struct stat &item) {
    const std::string home = Location::appending(StatePaths::dataHome(), "Trash");
    detail::makePrivateFolders(StatePaths::dataHome());
    const struct stat dataHome = lstatOrThrow(StatePaths::dataHome());
    if (dataHome.st_dev == item.st_dev)
        return {home, ""};
    const std::string top = topFolder(Location::parent(path), item.st_dev);
    const std::string uid = std::to_string(::geteuid());
    // $top/.Trash/$uid, only when .Trash is a real folder with the sticky bit.
    const std::string shared = Location::appending(top, ".Trash");
    struct stat info {};
    if (::lstat(shared.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX)) {
        const std::string own = Location::appending(shared, uid);
        try {
            ensurePrivateFolder(own);
            return {own, top};
        } catch (const OperationProblem &) {
            // fall through to the per-user folder
        }
    }
    return {Location::appending(top, std::string(".Trash-").append(uid)), top};
}

std::string deletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// A name for the trash that leaves room for ".trashinfo" and a number,
// cut at a UTF-8 character boundary where the name is long.
std::string trashName(const std::string &name, int attempt) {
    std::string suffix;
    if (attempt > 1)
        suffix.append(".").append(std::to_string(attempt));
    const std::size_t room = NAME_MAX - kInfoSuffix.size() - suffix.size();
    std::string base = name;
    if (base.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80)
            --cut;
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

void syncFolder(const std::string &folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        (void)::fsync(fd.get());
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

} // namespace

std::string trashFolderFor(const std::string &path) {
    const std::string item = physical(path);
    return trashFor(item, lstatOrThrow(item)).folder;
}

std::string trashItem(const std::string &path) {
    const std::string item = physical(path);
    const struct stat info = lstatOrThrow(item);
    const Trash trash = trashFor(item, info);
    if (!trash.top.empty())
        ensurePrivateFolder(trash.folder);
    else
        detail::makePrivateFolders(trash.folder);
    const std::string files = Location::appending(trash.folder, "files");
    const std::string infos = Location::appending(trash.folder, "info");
    detail::makePrivateFolders(files);
    detail::makePrivateFolders(infos);

    const std::string recorded =
        trash.top.empty() ? item : item.substr(trash.top == "/" ? 1 : trash.top.size() + 1);
    const std::string record = "[Trash Info]\nPath=" + Location::percentEncoded(recorded) +
                               "\nDeletionDate=" + deletionDate() + "\n";
    const std::string name = Location::lastComponent(item);
    for (int attempt = 1;; ++attempt) {
        const std::string candidate = trashName(name, attempt);
        const std::string infoPath = Location::appending(infos, candidate + std::string(kInfoSuffix));
        FileDescriptor fd(
            ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd) {
            if (errno == EEXIST)
                continue;
            throw OperationProblem::fromErrno(errno, infoPath);
        }
        try {
            writeAll(fd.get(), record, infoPath);
            if (::fsync(fd.get()) != 0)
                throw OperationProblem::fromErrno(errno, infoPath);
        } catch (...) {
            ::unlink(infoPath.c_str());
            throw;
        }
        fd.reset();
        const std::string destination = Location::appending(files, candidate);
        if (::renameat2(AT_FDCWD, item.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) != 0) {
            const int error = errno;
            // Our own record of a move that did not happen.
            ::unlink(infoPath.c_str());
            if (error == EEXIST)
                continue; // a stray item without its record holds the name
            throw OperationProblem::fromErrno(error, item);
        }
        syncFolder(files);
        syncFolder(Location::parent(item));
        return destination;
    }
}

} // namespace dromel::OperationTrash
