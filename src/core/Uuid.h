#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dromel {

// A 128-bit identifier. Default-constructed it is the null UUID; random() gives
// a version-4 UUID from the kernel's random source.
class Uuid {
public:
    Uuid() = default;
    static Uuid random();
    // 36 characters, hyphenated; either case accepted.
    static std::optional<Uuid> parse(std::string_view text);
    // 36 characters, upper case.
    std::string text() const;
    bool isNull() const;
    const std::array<std::uint8_t, 16> &bytes() const { return m_bytes; }

    friend bool operator==(const Uuid &, const Uuid &) = default;
    friend auto operator<=>(const Uuid &, const Uuid &) = default;

private:
    std::array<std::uint8_t, 16> m_bytes{};
};

} // namespace dromel

template <> struct std::hash<dromel::Uuid> {
    std::size_t operator()(const dromel::Uuid &id) const noexcept {
        std::uint64_t h = 1469598103934665603ull;
        for (std::uint8_t b : id.bytes())
            h = (h ^ b) * 1099511628211ull;
        return static_cast<std::size_t>(h);
    }
};
