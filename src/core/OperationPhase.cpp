#include "core/OperationPhase.h"

#include "core/detail/RawValues.h"

namespace dromel {

static constexpr auto kRawValues = detail::rawValues<OperationPhase>(
    std::pair{OperationPhase::queued, "queued"}, std::pair{OperationPhase::preparing, "preparing"},
    std::pair{OperationPhase::copying, "copying"}, std::pair{OperationPhase::verifying, "verifying"},
    std::pair{OperationPhase::waiting, "waiting"}, std::pair{OperationPhase::committing, "committing"},
    std::pair{OperationPhase::cancelling, "cancelling"}, std::pair{OperationPhase::completed, "completed"},
    std::pair{OperationPhase::partial, "partial"}, std::pair{OperationPhase::failed, "failed"},
    std::pair{OperationPhase::cancelled, "cancelled"}, std::pair{OperationPhase::needsReview, "needsReview"});

std::string_view rawValue(OperationPhase value) {
    return kRawValues.text(value);
}
std::optional<OperationPhase> operationPhaseFromRawValue(std::string_view raw) {
    return kRawValues.parse(raw);
}

} // namespace dromel
