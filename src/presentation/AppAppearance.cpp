#include "presentation/AppAppearance.h"

namespace dromel {

std::string_view rawValue(AppAppearance appearance) {
    switch (appearance) {
    case AppAppearance::system:
        return "system";
    case AppAppearance::light:
        return "light";
    case AppAppearance::dark:
        return "dark";
    }
    return "system";
}

std::optional<AppAppearance> appAppearanceFromRawValue(std::string_view raw) {
    for (AppAppearance appearance : kAllAppAppearances)
        if (rawValue(appearance) == raw)
            return appearance;
    return std::nullopt;
}

} // namespace dromel
