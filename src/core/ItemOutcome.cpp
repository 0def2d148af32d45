#include "core/ItemOutcome.h"

#include "core/detail/RawValues.h"

namespace dromel {

static constexpr auto kRawValues = detail::rawValues<ItemOutcome>(
    std::pair{ItemOutcome::succeeded, "succeeded"}, std::pair{ItemOutcome::skipped, "skipped"},
    std::pair{ItemOutcome::failed, "failed"}, std::pair{ItemOutcome::cancelled, "cancelled"});

std::string_view rawValue(ItemOutcome value) {
    return kRawValues.text(value);
}
std::optional<ItemOutcome> itemOutcomeFromRawValue(std::string_view raw) {
    return kRawValues.parse(raw);
}

} // namespace dromel
