#include "core/FileOperationTask.h"

namespace dromel {

Json FileOperationTask::toJson() const {
    Json json = Json::object();
    json["request"] = request.toJson();
    json["phase"] = std::string(rawValue(phase));
    json["bytes"] = bytes;
    json["totalBytes"] = totalBytes;
    Json encodedResults = Json::array();
    for (const FileOperationResult &result : results)
        encodedResults.push_back(result.toJson());
    json["results"] = std::move(encodedResults);
    json["recoveryPaths"] = json::urlArray(recoveryPaths);
    if (!stages.empty()) {
        Json encodedStages = Json::array();
        for (const OperationStage &stage : stages)
            encodedStages.push_back(stage.toJson());
        json["stages"] = std::move(encodedStages);
    }
    if (cleanedUp)
        json["cleanedUp"] = true;
    return json;
}

FileOperationTask FileOperationTask::fromJson(const Json &json) {
    json::expectObject(json, "task");
    FileOperationTask task(FileOperationRequest::fromJson(json::require(json, "request")));
    const auto phase = operationPhaseFromRawValue(json::requireString(json, "phase"));
    if (!phase)
        throw JsonDecodeError("Unknown operation phase", "phase");
    task.phase = *phase;
    task.bytes = json::requireInt(json, "bytes");
    task.totalBytes = json::requireInt(json, "totalBytes");
    for (const Json &item : json::requireArray(json, "results"))
        task.results.push_back(FileOperationResult::fromJson(item));
    task.recoveryPaths = json::requireURLPathArray(json, "recoveryPaths");
    if (json.contains("stages"))
        for (const Json &item : json::requireArray(json, "stages"))
            task.stages.push_back(OperationStage::fromJson(item));
    if (json.contains("cleanedUp"))
        task.cleanedUp = json::requireBool(json, "cleanedUp");
    return task;
}

FileOperationTask FileOperationTask::decode(std::string_view text) {
    return fromJson(parseJsonStrict(text));
}

} // namespace dromel
