#include "core/PermissionChange.h"

namespace dromel {

namespace {

constexpr std::uint32_t kPermissionBits = 0777;
constexpr std::uint32_t kExecuteBits = 0111;

Json receiptsJson(const std::vector<ModeReceipt> &receipts) {
    Json array = Json::array();
    for (const ModeReceipt &receipt : receipts)
        array.push_back(receipt.toJson());
    return array;
}

} // namespace

Json ModeReceipt::toJson() const {
    Json json = Json::object();
    json["path"] = json::encodedBytes(path);
    json["mode"] = mode;
    json["version"] = json::encodedBytes(version);
    return json;
}

ModeReceipt ModeReceipt::fromJson(const Json &json) {
    json::expectObject(json, "restores");
    ModeReceipt receipt;
    receipt.path = json::decodedBytes(json::requireString(json, "path"), "path");
    receipt.mode = static_cast<std::uint32_t>(json::requireInt(json, "mode", 0, 07777));
    receipt.version = json::decodedBytes(json::requireString(json, "version"), "version");
    return receipt;
}

std::uint32_t PermissionChange::applied(std::uint32_t mode, bool isDirectory, bool inside) const {
    std::uint32_t effective = mask & kPermissionBits;
    if (inside && !isDirectory)
        effective &= ~kExecuteBits;
    return (mode & ~effective) | (bits & effective);
}

Json PermissionChange::toJson() const {
    Json json = Json::object();
    json["mask"] = mask;
    json["bits"] = bits;
    json["enclosed"] = enclosed;
    if (!restores.empty())
        json["restores"] = receiptsJson(restores);
    return json;
}

PermissionChange PermissionChange::fromJson(const Json &json) {
    json::expectObject(json, "permissions");
    PermissionChange change;
    change.mask = static_cast<std::uint32_t>(json::requireInt(json, "mask", 0, kPermissionBits));
    change.bits = static_cast<std::uint32_t>(json::requireInt(json, "bits", 0, kPermissionBits));
    change.enclosed = json::requireBool(json, "enclosed");
    if (json.contains("restores"))
        for (const Json &item : json::requireArray(json, "restores"))
            change.restores.push_back(ModeReceipt::fromJson(item));
    return change;
}

} // namespace dromel
