#pragma once

#include <optional>
#include <string_view>

namespace dromel {

enum class FileOperationKind { createDirectory, rename, copy, move, trash };

std::string_view rawValue(FileOperationKind value);
std::optional<FileOperationKind> fileOperationKindFromRawValue(std::string_view raw);
} // namespace dromel
