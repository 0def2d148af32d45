#include "engine/UndoEntry.h"

namespace dromel {

namespace {

FileOperationKind kindOf(const Json &json, const char *key) {
    const auto kind = fileOperationKindFromRawValue(json::requireString(json, key));
    if (!kind)
        throw JsonDecodeError("Unknown operation kind", key);
    return *kind;
}

Json entries(const std::vector<UndoEntry> &list) {
    Json array = Json::array();
    for (const UndoEntry &entry : list)
        array.push_back(entry.toJson());
    return array;
}

std::vector<UndoEntry> entriesOf(const Json &json, const char *key) {
    std::vector<UndoEntry> list;
    for (const Json &entry : json::requireArray(json, key))
        list.push_back(UndoEntry::fromJson(entry));
    return list;
}

} // namespace

Json UndoEntry::toJson() const {
    Json json = Json::object();
    json["id"] = id.text();
    Json list = Json::array();
    for (const FileUndoRelocation &receipt : receipts)
        list.push_back(receipt.toJson());
    json["receipts"] = std::move(list);
    json["kind"] = std::string(rawValue(kind));
    json["command"] = std::string(rawValue(command));
    json["count"] = static_cast<std::int64_t>(count);
    return json;
}

UndoEntry UndoEntry::fromJson(const Json &json) {
    json::expectObject(json, "undo entry");
    UndoEntry entry;
    entry.id = json::requireUuid(json, "id");
    for (const Json &receipt : json::requireArray(json, "receipts"))
        entry.receipts.push_back(FileUndoRelocation::fromJson(receipt));
    entry.kind = kindOf(json, "kind");
    entry.command = kindOf(json, "command");
    entry.count = static_cast<std::size_t>(json::requireInt(json, "count", 0));
    return entry;
}

std::string UndoHistory::encoded() const {
    Json json = Json::object();
    json["undo"] = entries(undo);
    json["redo"] = entries(redo);
    return json.dump();
}

UndoHistory UndoHistory::decode(const std::string &text) {
    const Json json = parseJsonStrict(text);
    json::expectObject(json, "undo history");
    return UndoHistory{entriesOf(json, "undo"), entriesOf(json, "redo")};
}

} // namespace dromel
