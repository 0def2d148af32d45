#pragma once

#include "core/JsonSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dromel {

// The mode an item had before a permission change, and the version token it
// had right after: an undo puts `mode` back only while `version` still holds.
struct ModeReceipt {
    std::string path;
    std::uint32_t mode = 0;
    std::string version;

    Json toJson() const;
    static ModeReceipt fromJson(const Json &json);

    friend bool operator==(const ModeReceipt &, const ModeReceipt &) = default;
};

// What a permission change does: the read, write and execute bits under
// `mask` become those of `bits` (both within 0777; set-id and sticky bits are
// never touched). With `enclosed`, the items inside a folder change too,
// links never followed; enclosed files keep their execute bits, which would
// otherwise make every document a program (chmod's "X"). An undo instead
// carries `restores`, the exact modes to put back.
struct PermissionChange {
    std::uint32_t mask = 0;
    std::uint32_t bits = 0;
    bool enclosed = false;
    std::vector<ModeReceipt> restores;

    // The mode `mode` (type bits included) becomes; `inside` for an item
    // below the one chosen.
    std::uint32_t applied(std::uint32_t mode, bool isDirectory, bool inside) const;

    Json toJson() const;
    static PermissionChange fromJson(const Json &json);

    friend bool operator==(const PermissionChange &, const PermissionChange &) = default;
};

} // namespace dromel
