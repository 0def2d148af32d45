#include "core/FileUndoRelocation.h"

#include "core/Location.h"

namespace dromel {

Json FileUndoRelocation::toJson() const {
    Json json = Json::object();
    json["operationID"] = operationID.text();
    json["current"] = Location::fileURL(current, false);
    json["original"] = Location::fileURL(original, false);
    json["identity"] = json::encodedBytes(identity);
    if (version)
        json["version"] = *version;
    if (replaced) {
        json["replaced"] = Location::fileURL(*replaced, false);
        json["replacedIdentity"] = json::encodedBytes(replacedIdentity);
    }
    return json;
}

FileUndoRelocation FileUndoRelocation::fromJson(const Json &json) {
    json::expectObject(json, "undo");
    FileUndoRelocation receipt{json::requireUuid(json, "operationID"), json::requireURLPath(json, "current"),
                               json::requireURLPath(json, "original"),
                               json::decodedBytes(json::requireString(json, "identity"), "identity"),
                               json::optionalString(json, "version")};
    if (json.contains("replaced")) {
        receipt.replaced = json::requireURLPath(json, "replaced");
        receipt.replacedIdentity =
            json::decodedBytes(json::requireString(json, "replacedIdentity"), "replacedIdentity");
    }
    return receipt;
}

} // namespace dromel
