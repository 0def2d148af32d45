#pragma once

#include "runtime/Cancellation.h"

#include <exception>

namespace dromel {

// One per task: set from the main thread, read by the work between items,
// chunks and hashed blocks. Once set it stays set.
using OperationCancellation = Cancellation;

// Thrown inside the engine when work notices cancellation; the service turns
// it into the task's cancelled outcome.
class OperationCancelled : public std::exception {
public:
    const char *what() const noexcept override { return "The operation was cancelled."; }
};

// Throws OperationCancelled when `cancel` is set.
inline void checkCancellation(const OperationCancellation &cancel) {
    if (cancel.isCancelled())
        throw OperationCancelled();
}

} // namespace dromel
