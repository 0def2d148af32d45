#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace dromel {

// Light or dark for the whole application, or whatever the desktop uses.
enum class AppAppearance { system, light, dark };

inline constexpr std::array kAllAppAppearances{AppAppearance::system, AppAppearance::light,
                                               AppAppearance::dark};

std::string_view rawValue(AppAppearance appearance);
std::optional<AppAppearance> appAppearanceFromRawValue(std::string_view raw);

} // namespace dromel
