#pragma once

#include "engine/OperationCancellation.h"

#include <string>

// Removing items for good: the one place the engine deletes anything.
namespace dromel::OperationErase {

// Removes `path` and everything under it. Links are removed, never followed;
// nothing on another device than `path` itself is touched (a mount inside the
// tree fails the removal with unsupported, leaving it and what holds it).
// Throws OperationProblem with the errno of the failing call, or
// OperationCancelled between entries.
void removeTree(const std::string &path, const OperationCancellation &cancel);

} // namespace dromel::OperationErase
