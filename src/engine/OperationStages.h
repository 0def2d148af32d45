#pragma once

#include "core/OperationStage.h"

#include <string>

// The stages a task makes before publishing: their identity, and their
// removal once the task that made them no longer needs them. Blocking; for
// the engine's background queues.
namespace dromel::OperationStages {

// The identity of a stage about to be made at `path` (its folder must exist).
// Throws OperationProblem when the folder cannot be reached.
OperationStage begin(const std::string &path);

// The object at the stage's path is still the stage: on its volume, its
// owner's, made after the task began making it (where the volume records
// birth times), and the recorded inode once there is one.
bool isOwn(const OperationStage &stage);

// Removes the stage with everything in it when it is still its own; never
// follows a link or crosses into another volume. True when nothing is left
// at the path afterwards because of this call.
bool removeIfOwn(const OperationStage &stage);

} // namespace dromel::OperationStages
