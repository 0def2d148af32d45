#include "core/OperationStage.h"

#include "core/Location.h"

namespace dromel {

Json OperationStage::toJson() const {
    Json json = Json::object();
    json["path"] = Location::fileURL(path, false);
    json["device"] = device;
    json["inode"] = static_cast<std::int64_t>(inode);
    json["owner"] = owner;
    json["since"] = since;
    return json;
}

OperationStage OperationStage::fromJson(const Json &json) {
    json::expectObject(json, "stages");
    OperationStage stage;
    stage.path = json::requireURLPath(json, "path");
    stage.device = json::requireInt(json, "device");
    stage.inode = static_cast<std::uint64_t>(json::requireInt(json, "inode", 0));
    stage.owner = static_cast<std::uint32_t>(json::requireInt(json, "owner", 0, UINT32_MAX));
    stage.since = json::requireInt(json, "since");
    return stage;
}

} // namespace dromel
