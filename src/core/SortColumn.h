#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace dromel {

// `location` orders search results by the folder each was found in.
enum class SortColumn { name, kind, size, modified, location };

inline constexpr std::array<SortColumn, 5> kAllSortColumns{
    SortColumn::name, SortColumn::kind, SortColumn::size, SortColumn::modified, SortColumn::location};

std::optional<SortColumn> sortColumnFromRawValue(std::string_view raw);
std::string rawValue(SortColumn column);

} // namespace dromel
