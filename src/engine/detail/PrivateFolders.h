#pragma once

#include <string>

namespace dromel::detail {

// mkdir -p where every folder it makes is 0700 (folders that exist are left
// as they are). Throws OperationProblem(system), ENOTDIR when a file is in
// the way.
void makePrivateFolders(const std::string &folder);

} // namespace dromel::detail
