#pragma once

#include <string>
#include <vector>

namespace dromel::detail {

// The names in `folder`, without "." and "..", in the order the volume gives
// them. Throws OperationProblem when the folder cannot be opened or read.
// With `followLink` false a symbolic link in place of the folder is refused.
std::vector<std::string> folderNames(const std::string &folder, bool followLink);

} // namespace dromel::detail
