#include "engine/detail/PrivateFolders.h"

#include "core/Location.h"
#include "core/OperationProblem.h"

#include <sys/stat.h>

#include <cerrno>

namespace dromel::detail {

void makePrivateFolders(const std::string &folder) {
    if (folder == "/" || folder.empty())
        return;
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            throw OperationProblem::fromErrno(ENOTDIR, folder);
        return;
    }
    makePrivateFolders(Location::parent(folder));
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw OperationProblem::fromErrno(errno, folder);
}

} // namespace dromel::detail
