#pragma once

#include "core/ConflictChoice.h"
#include "core/FileOperationRequest.h"
#include "core/FileOperationResult.h"
#include "core/FileOperationTask.h"
#include "core/OperationPhase.h"
#include "engine/OperationCancellation.h"
#include "engine/OperationJournal.h"
#include "engine/PreparedOperation.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dromel {

// Prepares and performs one item of a request. Blocking; runs on the
// operation queue only.
//
// `prepare` freezes what the item will act on (stamps, hashed manifest, the
// object at the target, the target volume's exclusive rename) and changes
// nothing on disk. `perform` carries the item out along one route (create,
// trash, same-volume rename or move, case-only rename by copying, or the copy
// route with staging, verification, backup and exclusive publishing) and
// writes the task to the journal before and after every step that changes a
// name on disk, with the paths that step may leave behind. Nothing is ever
// removed: replaced items, moved sources and used stages go to the trash; on
// failure they stay and are reported as recovery paths.
struct OperationExecutor {
    // Called after every journal write with the step's label; what it throws
    // aborts the item like any failure. Crash tests end the process here.
    using Checkpoint = std::function<void(const std::string &label)>;
    // (phase, bytes done, bytes total), on the operation queue.
    using Event = std::function<void(OperationPhase, std::int64_t, std::int64_t)>;

    OperationJournal journal;
    Checkpoint checkpoint = [](const std::string &) {};

    // Throws OperationProblem, OperationCancelled, or passes a platform
    // failure through. `source` is absent for createDirectory only.
    PreparedOperation prepare(const FileOperationRequest &request, const std::optional<std::string> &source,
                              const OperationCancellation &cancel) const;

    // Never throws for an item-level failure: problems, journal failures and
    // cancellation all come back as the item's result. `choice` is the
    // user's answer to the item's conflict (keepBoth when there is none).
    FileOperationResult perform(const PreparedOperation &prepared, const FileOperationRequest &request,
                                ConflictChoice choice, FileOperationTask task,
                                const OperationCancellation &cancel, const Event &event) const;
};

} // namespace dromel
