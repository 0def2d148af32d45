#include "presentation/AppLanguage.h"

namespace dromel {

std::string_view rawValue(AppLanguage language) {
    switch (language) {
    case AppLanguage::system:
        return "system";
    case AppLanguage::english:
        return "en";
    case AppLanguage::simplifiedChinese:
        return "zh-Hans";
    }
    return "system";
}

std::optional<AppLanguage> appLanguageFromRawValue(std::string_view raw) {
    for (AppLanguage language : kAllAppLanguages)
        if (rawValue(language) == raw)
            return language;
    return std::nullopt;
}

} // namespace dromel
