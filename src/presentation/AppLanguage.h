#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace dromel {

// The user's choice of interface language. `system` follows the locale
// environment; the others force a table.
enum class AppLanguage { system, english, simplifiedChinese };

inline constexpr std::array kAllAppLanguages{AppLanguage::system, AppLanguage::english,
                                             AppLanguage::simplifiedChinese};

// "system", "en" or "zh-Hans"; backed by a literal.
std::string_view rawValue(AppLanguage language);
// Nothing for a string outside the table: there is no fallback case.
std::optional<AppLanguage> appLanguageFromRawValue(std::string_view raw);

} // namespace dromel
