#include "core/SearchQuery.h"

#include <array>

namespace dromel {

namespace {

constexpr std::array<SearchType, 7> kAllTypes{SearchType::any,    SearchType::folder, SearchType::document,
                                              SearchType::image,  SearchType::audio,  SearchType::video,
                                              SearchType::archive};

std::optional<std::int64_t> optionalInt(const Json &json, const char *key) {
    if (!json.contains(key))
        return std::nullopt;
    return json::requireInt(json, key, 0);
}

} // namespace

std::optional<SearchType> searchTypeFromRawValue(std::string_view raw) {
    for (SearchType type : kAllTypes)
        if (rawValue(type) == raw)
            return type;
    return std::nullopt;
}

std::string rawValue(SearchType type) {
    switch (type) {
    case SearchType::any:
        return "any";
    case SearchType::folder:
        return "folder";
    case SearchType::document:
        return "document";
    case SearchType::image:
        return "image";
    case SearchType::audio:
        return "audio";
    case SearchType::video:
        return "video";
    case SearchType::archive:
        return "archive";
    }
    return "any";
}

Json SearchQuery::toJson() const {
    if (!json::isValidUtf8(startFolder))
        throw JsonEncodeError("search start folder is not UTF-8");
    Json json;
    json["text"] = json::repairedUtf8(text);
    json["mode"] = mode == SearchMode::content ? "content" : "name";
    json["startFolder"] = startFolder;
    json["crossVolumes"] = crossVolumes;
    json["type"] = rawValue(type);
    if (modifiedWithinSeconds)
        json["modifiedWithinSeconds"] = *modifiedWithinSeconds;
    if (sizeAbove)
        json["sizeAbove"] = *sizeAbove;
    if (sizeBelow)
        json["sizeBelow"] = *sizeBelow;
    return json;
}

SearchQuery SearchQuery::fromJson(const Json &json) {
    if (!json.is_object())
        throw JsonDecodeError("search query is not an object");
    SearchQuery query;
    query.text = json::requireString(json, "text");
    const std::string mode = json::requireString(json, "mode");
    if (mode != "name" && mode != "content")
        throw JsonDecodeError("unknown search mode", "mode");
    query.mode = mode == "content" ? SearchMode::content : SearchMode::name;
    query.startFolder = json::requireString(json, "startFolder");
    if (query.startFolder.empty() || query.startFolder.front() != '/')
        throw JsonDecodeError("search start folder is not absolute", "startFolder");
    query.crossVolumes = json::requireBool(json, "crossVolumes");
    const auto type = searchTypeFromRawValue(json::requireString(json, "type"));
    if (!type)
        throw JsonDecodeError("unknown search type", "type");
    query.type = *type;
    query.modifiedWithinSeconds = optionalInt(json, "modifiedWithinSeconds");
    query.sizeAbove = optionalInt(json, "sizeAbove");
    query.sizeBelow = optionalInt(json, "sizeBelow");
    return query;
}

} // namespace dromel
