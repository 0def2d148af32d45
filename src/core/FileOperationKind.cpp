#include "core/FileOperationKind.h"

#include "core/detail/RawValues.h"

namespace dromel {

static constexpr auto kRawValues = detail::rawValues<FileOperationKind>(
    std::pair{FileOperationKind::createDirectory, "createDirectory"},
    std::pair{FileOperationKind::rename, "rename"}, std::pair{FileOperationKind::copy, "copy"},
    std::pair{FileOperationKind::move, "move"}, std::pair{FileOperationKind::trash, "trash"},
    std::pair{FileOperationKind::restore, "restore"},
    std::pair{FileOperationKind::deletePermanently, "deletePermanently"},
    std::pair{FileOperationKind::changePermissions, "changePermissions"},
    std::pair{FileOperationKind::makeLink, "makeLink"});

std::string_view rawValue(FileOperationKind value) {
    return kRawValues.text(value);
}
std::optional<FileOperationKind> fileOperationKindFromRawValue(std::string_view raw) {
    return kRawValues.parse(raw);
}

} // namespace dromel
