#pragma once

#include "engine/ObjectStamp.h"
#include "engine/TreeRecord.h"

#include <string>

namespace dromel::detail {

// SHA-256 over the stamps of an item and everything under it: `root` for the
// item itself (taken after its last rename, which changes its ctime), the
// manifest's other records for the rest. Any write, attribute change, new or
// removed entry below gives another text.
std::string undoVersion(const ObjectStamp &root, const TreeManifest &records);

// The same for a manifest taken now: its first record is the root.
inline std::string undoVersion(const TreeManifest &records) {
    return undoVersion(records.empty() ? ObjectStamp{} : records.front().stamp, records);
}

} // namespace dromel::detail
