#include "engine/detail/FolderNames.h"

#include "core/OperationProblem.h"
#include "engine/detail/FileDescriptor.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <string_view>

namespace dromel::detail {

std::vector<std::string> folderNames(const std::string &folder, bool followLink) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    FileDescriptor fd(::open(folder.c_str(), flags));
    if (!fd)
        throw OperationProblem::fromErrno(errno, folder);
    DIR *dir = ::fdopendir(fd.get());
    if (!dir)
        throw OperationProblem::fromErrno(errno, folder);
    (void)fd.release();
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            const int error = errno;
            ::closedir(dir);
            if (error != 0)
                throw OperationProblem::fromErrno(error, folder);
            return names;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
}

} // namespace dromel::detail
