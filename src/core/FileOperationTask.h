#pragma once

#include "core/FileOperationRequest.h"
#include "core/FileOperationResult.h"
#include "core/JsonSupport.h"
#include "core/OperationPhase.h"
#include "core/OperationStage.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dromel {

// A submitted request and where its work stands. Its JSON is what the
// journal stores, so after a crash it is all that is known about the work.
struct FileOperationTask {
    FileOperationRequest request;
    OperationPhase phase = OperationPhase::queued;
    std::int64_t bytes = 0;
    std::int64_t totalBytes = 0;
    std::vector<FileOperationResult> results;
    std::vector<std::string> recoveryPaths;
    // Stages made and not yet published or removed: what a crash leaves
    // that the task's review may clean up.
    std::vector<OperationStage> stages;
    // A task in review whose leftover stages were cleaned up: reviewed, kept
    // and pruned like a finished task, no longer calling for the user.
    bool cleanedUp = false;
    // Not from the journal's JSON: a row this version could not read, kept
    // aside; only its id is known.
    bool unreadable = false;

    explicit FileOperationTask(FileOperationRequest submitted) : request(std::move(submitted)) {}

    const Uuid &id() const { return request.id(); }

    Json toJson() const;
    std::string encoded() const { return toJson().dump(); }
    // Throws JsonDecodeError for anything that is not exactly a task.
    static FileOperationTask fromJson(const Json &json);
    static FileOperationTask decode(std::string_view text);

    friend bool operator==(const FileOperationTask &, const FileOperationTask &) = default;
};

} // namespace dromel
