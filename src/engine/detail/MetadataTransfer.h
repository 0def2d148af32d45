#pragma once

#include <string>

namespace dromel::detail {

// Mode, owner (where permitted), access and modification times, extended
// attributes and user-settable inode flags from one open object to another
// (regular files and folders). Throws OperationProblem(system) for `path`.
void transferMetadata(int from, int to, const std::string &path);

// The same for a symbolic link, by path and without following it: owner and
// times (Linux keeps no mode, flags or user attributes on links).
void transferLinkMetadata(const std::string &from, const std::string &to);

} // namespace dromel::detail
