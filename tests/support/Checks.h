#pragma once

#include "core/OperationProblem.h"

#include <sys/stat.h>

#include <functional>
#include <optional>
#include <string>

namespace dromel::test {

// The code of the OperationProblem `work` throws (its path into `path`), or
// nothing when it succeeds.
inline std::optional<OperationProblem::Code> problemOf(const std::function<void()> &work,
                                                       std::string *path = nullptr) {
    try {
        work();
    } catch (const OperationProblem &problem) {
        if (path)
            *path = problem.path();
        return problem.code();
    }
    return std::nullopt;
}

// Permission bits of the object itself (links not followed).
inline unsigned modeOf(const std::string &path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

} // namespace dromel::test
