#pragma once

#include <optional>
#include <string_view>

namespace dromel {

// `restore` moves items out of a trash's files/ folder back to the path their
// record names; `deletePermanently` removes items for good (the only kind that
// deletes anything). `changePermissions` sets the request's permission bits;
// `makeLink` makes a symbolic link to each source in the destination folder.
enum class FileOperationKind {
    createDirectory,
    rename,
    copy,
    move,
    trash,
    restore,
    deletePermanently,
    changePermissions,
    makeLink,
};

std::string_view rawValue(FileOperationKind value);
std::optional<FileOperationKind> fileOperationKindFromRawValue(std::string_view raw);
} // namespace dromel
