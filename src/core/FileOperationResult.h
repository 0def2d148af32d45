#pragma once

#include "core/FileRemoval.h"
#include "core/FileUndoRelocation.h"
#include "core/ItemOutcome.h"
#include "core/JsonSupport.h"
#include "core/OperationProblem.h"
#include "core/PermissionChange.h"

#include <optional>
#include <string>
#include <vector>

namespace dromel {

// The result of one source item, or of the whole task when `source` is absent.
struct FileOperationResult {
    std::optional<std::string> source;
    std::optional<std::string> destination;
    ItemOutcome outcome = ItemOutcome::failed;
    std::optional<OperationProblem> problem;
    // For a success, where the trash put what was moved aside; otherwise the
    // leftovers that need the user's attention.
    std::vector<std::string> recoveryPaths;
    std::optional<FileUndoRelocation> undo;
    // Unpublished stages of a cancelled or failed item that were removed.
    std::vector<std::string> removedStages;
    // A permission change's old modes, for its undo.
    std::vector<ModeReceipt> modes;
    // What a permanent deletion removed.
    std::optional<FileRemoval> removed;

    Json toJson() const;
    static FileOperationResult fromJson(const Json &json);

    friend bool operator==(const FileOperationResult &, const FileOperationResult &) = default;
};

} // namespace dromel
