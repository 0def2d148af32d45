#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dromel {

// How a tab draws its folder: the sortable list or the grid of icons.
enum class TabViewMode { list, icons };

std::optional<TabViewMode> tabViewModeFromRawValue(std::string_view raw);
std::string rawValue(TabViewMode mode);

} // namespace dromel
