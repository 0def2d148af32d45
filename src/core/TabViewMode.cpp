#include "core/TabViewMode.h"

namespace dromel {

std::optional<TabViewMode> tabViewModeFromRawValue(std::string_view raw) {
    if (raw == "list")
        return TabViewMode::list;
    if (raw == "icons")
        return TabViewMode::icons;
    return std::nullopt;
}

std::string rawValue(TabViewMode mode) {
    return mode == TabViewMode::icons ? "icons" : "list";
}

} // namespace dromel
