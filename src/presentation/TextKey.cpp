#include "presentation/TextKey.h"

namespace dromel {

namespace {

constexpr std::array<std::string_view, kAllTextKeys.size()> kRawValues{
#define DROMEL_TEXT_KEY_NAME(name) #name,
    DROMEL_TEXT_KEYS(DROMEL_TEXT_KEY_NAME)
#undef DROMEL_TEXT_KEY_NAME
};

} // namespace

std::string_view rawValue(TextKey key) {
    const auto index = static_cast<size_t>(key);
    return index < kRawValues.size() ? kRawValues[index] : std::string_view{};
}

std::optional<TextKey> textKeyFromRawValue(std::string_view raw) {
    for (size_t index = 0; index < kRawValues.size(); ++index)
        if (kRawValues[index] == raw)
            return kAllTextKeys[index];
    return std::nullopt;
}

} // namespace dromel
