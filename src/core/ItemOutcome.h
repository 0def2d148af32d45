#pragma once

#include <optional>
#include <string_view>

namespace dromel {

enum class ItemOutcome { succeeded, skipped, failed, cancelled };

std::string_view rawValue(ItemOutcome value);
std::optional<ItemOutcome> itemOutcomeFromRawValue(std::string_view raw);
} // namespace dromel
