#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace dromel {

// Back/forward list of folder paths, all standardized, oldest first. Never empty.
struct NavigationHistory {
    std::vector<std::string> locations;
    std::size_t index = 0;

    explicit NavigationHistory(const std::string &location);
    // The caller guarantees a non-empty list and index < count.
    NavigationHistory(std::vector<std::string> locations, std::size_t index);

    const std::string &current() const { return locations[index]; }
    std::optional<std::string> back() const;
    std::optional<std::string> forward() const;
    // Drops the forward history and appends, unless `location` is the current one.
    void visit(const std::string &location);
    // Moves by `offset` when the result stays in range; otherwise nothing changes.
    void step(std::ptrdiff_t offset);

    friend bool operator==(const NavigationHistory &, const NavigationHistory &) = default;
};

} // namespace dromel
