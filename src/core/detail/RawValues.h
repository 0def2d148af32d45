#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <utility>

namespace dromel::detail {

// The text form of an enumeration as one table, so encoding and decoding can
// never disagree about a case.
template <typename Enum, std::size_t N> struct RawValues {
    std::array<std::pair<Enum, std::string_view>, N> cases;

    constexpr std::string_view text(Enum value) const {
        for (const auto &[item, raw] : cases)
            if (item == value)
                return raw;
        return cases[0].second;
    }

    constexpr std::optional<Enum> parse(std::string_view raw) const {
        for (const auto &[item, text] : cases)
            if (text == raw)
                return item;
        return std::nullopt;
    }
};

template <typename Enum, typename... Pairs> constexpr auto rawValues(Pairs... pairs) {
    return RawValues<Enum, sizeof...(Pairs)>{{{pairs...}}};
}

} // namespace dromel::detail
