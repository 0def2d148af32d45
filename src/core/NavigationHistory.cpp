#include "core/NavigationHistory.h"

#include "core/Location.h"

namespace dromel {

NavigationHistory::NavigationHistory(const std::string &location)
    : locations{Location::standardized(location)} {}

NavigationHistory::NavigationHistory(std::vector<std::string> paths, std::size_t position)
    : locations(std::move(paths)), index(position) {
    for (std::string &location : locations)
        location = Location::standardized(location);
}

std::optional<std::string> NavigationHistory::back() const {
    if (index == 0)
        return std::nullopt;
    return locations[index - 1];
}

std::optional<std::string> NavigationHistory::forward() const {
    if (index + 1 >= locations.size())
        return std::nullopt;
    return locations[index + 1];
}

void NavigationHistory::visit(const std::string &location) {
    std::string standardized = Location::standardized(location);
    if (standardized == current())
        return;
    locations.resize(index + 1);
    locations.push_back(std::move(standardized));
    index = locations.size() - 1;
}

void NavigationHistory::step(std::ptrdiff_t offset) {
    const auto target = static_cast<std::ptrdiff_t>(index) + offset;
    if (target >= 0 && target < static_cast<std::ptrdiff_t>(locations.size()))
        index = static_cast<std::size_t>(target);
}

} // namespace dromel
