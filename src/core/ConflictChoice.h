#pragma once

#include <optional>
#include <string_view>

namespace dromel {

enum class ConflictChoice { skip, keepBoth, replace, cancel };

std::string_view rawValue(ConflictChoice value);
std::optional<ConflictChoice> conflictChoiceFromRawValue(std::string_view raw);
} // namespace dromel
