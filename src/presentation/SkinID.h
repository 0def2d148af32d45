#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace dromel {

// The panels' skin: translucent glass over the window background, or solid.
enum class SkinID { glass, solid };

inline constexpr std::array kAllSkinIDs{SkinID::glass, SkinID::solid};

std::string_view rawValue(SkinID skin);
std::optional<SkinID> skinIDFromRawValue(std::string_view raw);

} // namespace dromel
