#pragma once

#include "core/FileOperationRequest.h"
#include "engine/UndoEntry.h"

#include <optional>

namespace dromel::UndoReversal {

// The kind of task that reverses one of kind `done`, or nothing when it has
// none. The one place that says how each command is undone and redone: a
// new kind of command adds its case here and leaves receipts in its results.
std::optional<FileOperationKind> reverseKind(FileOperationKind done);

// The request that reverses `entry`'s items, each by its own receipt; nothing
// for a barrier or a kind without a reverse.
std::optional<FileOperationRequest> requestFor(const UndoEntry &entry);

} // namespace dromel::UndoReversal
