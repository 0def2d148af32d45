#pragma once

#include <optional>
#include <string_view>

namespace dromel {

enum class OperationPhase {
    queued,
    preparing,
    copying,
    verifying,
    waiting,
    committing,
    cancelling,
    completed,
    partial,
    failed,
    cancelled,
    needsReview
};

std::string_view rawValue(OperationPhase value);
std::optional<OperationPhase> operationPhaseFromRawValue(std::string_view raw);

// True for the five final phases: completed, partial, failed, cancelled, needsReview.
constexpr bool isTerminal(OperationPhase phase) {
    return phase == OperationPhase::completed || phase == OperationPhase::partial ||
           phase == OperationPhase::failed || phase == OperationPhase::cancelled ||
           phase == OperationPhase::needsReview;
}
} // namespace dromel
