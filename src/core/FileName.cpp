#include "core/FileName.h"

#include "core/OperationProblem.h"

namespace dromel::FileName {

void validate(std::string_view name, bool restoringExisting) {
    const bool rejected = name.empty() || name == "." || name == ".." ||
                          name.find('/') != std::string_view::npos ||
                          (!restoringExisting && name.find(':') != std::string_view::npos) ||
                          name.find('\0') != std::string_view::npos || name.size() > kMaxBytes;
    if (rejected)
        throw OperationProblem(OperationProblem::Code::invalidName, std::string(name), "");
}

} // namespace dromel::FileName
