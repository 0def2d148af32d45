#pragma once

#include "engine/ObjectStamp.h"
#include "engine/OperationMetadata.h"

#include <optional>
#include <string>
#include <vector>

namespace dromel {

// One object of a tree manifest.
struct TreeRecord {
    // "" for the root, else the names from the root joined by "/".
    std::string relative;
    ObjectStamp stamp;
    // SHA-256 of a regular file's content, 64 lowercase hex digits.
    std::optional<std::string> digest;
    // A symbolic link's target as stored in the link.
    std::optional<std::string> link;
    OperationMetadata metadata;

    friend bool operator==(const TreeRecord &, const TreeRecord &) = default;
};

// Pre-order, a folder before its contents, children in NFC code-point order.
using TreeManifest = std::vector<TreeRecord>;

} // namespace dromel
