#include "core/FileOperationRequest.h"

#include "core/Location.h"

namespace dromel {

FileOperationRequest::FileOperationRequest(FileOperationKind kind, std::vector<std::string> sources,
                                           std::optional<std::string> destination,
                                           std::optional<std::string> name, bool allowLimitedMetadata,
                                           std::map<std::string, std::string> sourceVersions,
                                           std::optional<FileUndoRelocation> undo)
    : m_id(Uuid::random()), m_kind(kind), m_sources(std::move(sources)),
      m_destination(std::move(destination)), m_name(std::move(name)),
      m_sourceVersions(std::move(sourceVersions)), m_allowLimitedMetadata(allowLimitedMetadata),
      m_undo(std::move(undo)) {
    if (m_undo)
        m_undoReceipts.push_back(*m_undo);
}

FileOperationRequest::FileOperationRequest(FileOperationKind kind, std::vector<std::string> sources,
                                           std::optional<std::string> destination,
                                           std::optional<std::string> name,
                                           std::vector<FileUndoRelocation> receipts)
    : m_id(Uuid::random()), m_kind(kind), m_sources(std::move(sources)),
      m_destination(std::move(destination)), m_name(std::move(name)), m_undoReceipts(std::move(receipts)) {
    if (!m_undoReceipts.empty())
        m_undo = m_undoReceipts.front();
}

const FileUndoRelocation *FileOperationRequest::undoReceiptFor(const std::string &source) const {
    // The sources of a reverse are its receipts' paths as they stand: a plain
    // comparison finds them without standardizing every receipt per item.
    for (const FileUndoRelocation &receipt : m_undoReceipts)
        if (receipt.current == source)
            return &receipt;
    const std::string wanted = Location::standardized(source);
    for (const FileUndoRelocation &receipt : m_undoReceipts)
        if (Location::standardized(receipt.current) == wanted)
            return &receipt;
    return nullptr;
}

// A typed name is UTF-8, but an undo request restores a name taken from disk,
// which may not be. Such a name, and any name starting with "/" (invalid, but
// it must read back as itself to be refused again), is written as "/" + its
// percent-encoded bytes, slashes included: no valid name contains a slash, so
// the form cannot clash with a real one.
static std::string encodedName(const std::string &name) {
    if (json::isValidUtf8(name) && !name.starts_with('/'))
        return name;
    std::string encoded = "/";
    for (const char c : Location::percentEncoded(name)) {
        if (c == '/')
            encoded += "%2F";
        else
            encoded += c;
    }
    return encoded;
}

// Earlier journals left slashes unescaped; taken literally, they read back too.
static std::string decodedName(const std::string &text) {
    if (!text.starts_with('/'))
        return text;
    auto name = Location::percentDecoded(std::string_view(text).substr(1));
    if (!name)
        throw JsonDecodeError("Invalid encoded name", "name");
    return std::move(*name);
}

Json FileOperationRequest::toJson() const {
    Json json = Json::object();
    json["id"] = m_id.text();
    json["kind"] = std::string(rawValue(m_kind));
    json["sources"] = json::urlArray(m_sources);
    if (m_destination)
        json["destination"] = Location::fileURL(*m_destination, true);
    if (m_name)
        json["name"] = encodedName(*m_name);
    Json versions = Json::object();
    for (const auto &[path, token] : m_sourceVersions)
        versions[json::encodedBytes(path)] = json::encodedBytes(token);
    json["sourceVersions"] = std::move(versions);
    json["allowLimitedMetadata"] = m_allowLimitedMetadata;
    if (m_undo)
        json["undo"] = m_undo->toJson();
    // The first alone is what a single item's reverse always wrote.
    if (m_undoReceipts.size() > 1) {
        Json receipts = Json::array();
        for (const FileUndoRelocation &receipt : m_undoReceipts)
            receipts.push_back(receipt.toJson());
        json["undoReceipts"] = std::move(receipts);
    }
    if (m_permissions)
        json["permissions"] = m_permissions->toJson();
    if (m_redo)
        json["redo"] = true;
    return json;
}

FileOperationRequest FileOperationRequest::fromJson(const Json &json) {
    json::expectObject(json, "request");
    FileOperationRequest request;
    request.m_id = json::requireUuid(json, "id");
    const auto kind = fileOperationKindFromRawValue(json::requireString(json, "kind"));
    if (!kind)
        throw JsonDecodeError("Unknown operation kind", "kind");
    request.m_kind = *kind;
    request.m_sources = json::requireURLPathArray(json, "sources");
    request.m_destination = json::optionalURLPath(json, "destination");
    if (const auto name = json::optionalString(json, "name"))
        request.m_name = decodedName(*name);
    for (const auto &[key, value] : json::requireObject(json, "sourceVersions").items())
        request.m_sourceVersions[json::decodedBytes(key, "sourceVersions")] =
            json::decodedBytes(json::asString(value, "sourceVersions"), "sourceVersions");
    request.m_allowLimitedMetadata = json::requireBool(json, "allowLimitedMetadata");
    if (json.contains("undo") && !json.at("undo").is_null())
        request.m_undo = FileUndoRelocation::fromJson(json.at("undo"));
    if (json.contains("undoReceipts")) {
        const Json &receipts = json.at("undoReceipts");
        if (!receipts.is_array() || receipts.empty() || !request.m_undo)
            throw JsonDecodeError("Invalid receipts", "undoReceipts");
        for (const Json &receipt : receipts)
            request.m_undoReceipts.push_back(FileUndoRelocation::fromJson(receipt));
        if (!(request.m_undoReceipts.front() == *request.m_undo))
            throw JsonDecodeError("Invalid receipts", "undoReceipts");
    } else if (request.m_undo) {
        request.m_undoReceipts.push_back(*request.m_undo);
    }
    if (json.contains("permissions") && !json.at("permissions").is_null())
        request.m_permissions = PermissionChange::fromJson(json.at("permissions"));
    request.m_redo = json.contains("redo") && json::requireBool(json, "redo") && request.m_undo;
    return request;
}

} // namespace dromel
