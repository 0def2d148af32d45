#pragma once

#include <string_view>

// The one rule for a new item name, applied while the user types and again
// when a request is prepared.
namespace dromel::FileName {

inline constexpr std::size_t kMaxBytes = 255;

// Throws OperationProblem(invalidName, name, "") for an empty name, "." or
// "..", a "/" or NUL anywhere, a ":" (unless restoring a name an item had
// before), or more than 255 bytes. Nothing is trimmed or normalized.
void validate(std::string_view name, bool restoringExisting);

} // namespace dromel::FileName
