#include "core/FileOperationResult.h"

#include "core/Location.h"

namespace dromel {

Json FileOperationResult::toJson() const {
    Json json = Json::object();
    if (source)
        json["source"] = Location::fileURL(*source, false);
    if (destination)
        json["destination"] = Location::fileURL(*destination, false);
    json["outcome"] = std::string(rawValue(outcome));
    if (problem)
        json["problem"] = problem->toJson();
    json["recoveryPaths"] = json::urlArray(recoveryPaths);
    if (undo)
        json["undo"] = undo->toJson();
    if (!removedStages.empty())
        json["removedStages"] = json::urlArray(removedStages);
    if (!modes.empty()) {
        Json array = Json::array();
        for (const ModeReceipt &receipt : modes)
            array.push_back(receipt.toJson());
        json["modes"] = std::move(array);
    }
    if (removed)
        json["removed"] = removed->toJson();
    return json;
}

FileOperationResult FileOperationResult::fromJson(const Json &json) {
    json::expectObject(json, "results");
    FileOperationResult result;
    result.source = json::optionalURLPath(json, "source");
    result.destination = json::optionalURLPath(json, "destination");
    const auto outcome = itemOutcomeFromRawValue(json::requireString(json, "outcome"));
    if (!outcome)
        throw JsonDecodeError("Unknown item outcome", "outcome");
    result.outcome = *outcome;
    if (json.contains("problem") && !json.at("problem").is_null())
        result.problem = OperationProblem::fromJson(json.at("problem"));
    result.recoveryPaths = json::requireURLPathArray(json, "recoveryPaths");
    if (json.contains("undo") && !json.at("undo").is_null())
        result.undo = FileUndoRelocation::fromJson(json.at("undo"));
    if (json.contains("removedStages"))
        result.removedStages = json::requireURLPathArray(json, "removedStages");
    if (json.contains("modes"))
        for (const Json &item : json::requireArray(json, "modes"))
            result.modes.push_back(ModeReceipt::fromJson(item));
    if (json.contains("removed") && !json.at("removed").is_null())
        result.removed = FileRemoval::fromJson(json.at("removed"));
    return result;
}

} // namespace dromel
