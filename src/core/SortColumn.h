#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace dromel {

enum class SortColumn { name, kind, size, modified };

inline constexpr std::array<SortColumn, 4> kAllSortColumns{SortColumn::name, SortColumn::kind,
                                                           SortColumn::size, SortColumn::modified};

std::optional<SortColumn> sortColumnFromRawValue(std::string_view raw);
std::string rawValue(SortColumn column);

} // namespace dromel
