#include "core/FileRemoval.h"

#include "core/Location.h"

namespace dromel {

Json FileRemoval::toJson() const {
    Json json = Json::object();
    json["path"] = Location::fileURL(path, false);
    json["bytes"] = bytes;
    json["items"] = items;
    json["modified"] = modified;
    json["identity"] = json::encodedBytes(identity);
    return json;
}

FileRemoval FileRemoval::fromJson(const Json &json) {
    json::expectObject(json, "removed");
    return FileRemoval{json::requireURLPath(json, "path"), json::requireInt(json, "bytes", 0),
                       json::requireInt(json, "items", 0), json::requireInt(json, "modified"),
                       json::decodedBytes(json::requireString(json, "identity"), "identity")};
}

} // namespace dromel
