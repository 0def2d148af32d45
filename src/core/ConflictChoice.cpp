#include "core/ConflictChoice.h"

#include "core/detail/RawValues.h"

namespace dromel {

static constexpr auto kRawValues = detail::rawValues<ConflictChoice>(
    std::pair{ConflictChoice::skip, "skip"}, std::pair{ConflictChoice::keepBoth, "keepBoth"},
    std::pair{ConflictChoice::replace, "replace"}, std::pair{ConflictChoice::cancel, "cancel"});

std::string_view rawValue(ConflictChoice value) {
    return kRawValues.text(value);
}
std::optional<ConflictChoice> conflictChoiceFromRawValue(std::string_view raw) {
    return kRawValues.parse(raw);
}

} // namespace dromel
