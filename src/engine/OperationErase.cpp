#include "engine/OperationErase.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "engine/detail/FileDescriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

// Every step works from an open folder and a name (openat, fstatat and
// unlinkat with no link followed), so a link or a rename elsewhere can never
// turn the removal towards another place.
namespace dromel::OperationErase {

namespace {

using detail::FileDescriptor;

std::vector<std::string> namesIn(int folder) {
    std::vector<std::string> names;
    const int fd = ::dup(folder);
    if (fd < 0)
        return names;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

void removeEntry(int parent, const std::string &name, const std::string &path, dev_t device,
                 const OperationCancellation &cancel) {
    checkCancellation(cancel);
    struct stat info {};
    if (::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return;
        throw OperationProblem::fromErrno(errno, path);
    }
    if (info.st_dev != device)
        throw OperationProblem(OperationProblem::Code::unsupported, path, "Another volume is mounted here.");
    if (S_ISDIR(info.st_mode)) {
        const FileDescriptor folder(
            ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder)
            throw OperationProblem::fromErrno(errno, path);
        struct stat opened {};
        if (::fstat(folder.get(), &opened) != 0 || opened.st_dev != device || opened.st_ino != info.st_ino)
            throw OperationProblem(OperationProblem::Code::sourceChanged, path, "");
        for (const std::string &child : namesIn(folder.get()))
            removeEntry(folder.get(), child, Location::appending(path, child), device, cancel);
        if (::unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0)
            throw OperationProblem::fromErrno(errno, path);
        return;
    }
    if (::unlinkat(parent, name.c_str(), 0) != 0 && errno != ENOENT)
        throw OperationProblem::fromErrno(errno, path);
}

} // namespace

void removeTree(const std::string &path, const OperationCancellation &cancel) {
    const std::string standard = Location::standardized(path);
    const std::string folderPath = Location::parent(standard);
    const FileDescriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        throw OperationProblem::fromErrno(errno, folderPath);
    struct stat info {};
    const std::string name = Location::lastComponent(standard);
    if (::fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        throw OperationProblem::fromErrno(errno, standard);
    removeEntry(folder.get(), name, standard, info.st_dev, cancel);
    (void)::fsync(folder.get());
}

} // namespace dromel::OperationErase
