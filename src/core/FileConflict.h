#pragma once

#include "core/FileEntry.h"

#include <cstdint>
#include <string>

namespace dromel {

// A name clash found while preparing an item: the facts the user needs to
// choose a ConflictChoice. In memory only.
struct FileConflict {
    std::string source;
    std::string destination;
    std::int64_t sourceSize = 0;
    std::int64_t destinationSize = 0;
    FileTime sourceModified{};
    FileTime destinationModified{};
    bool canReplace = false;
    bool sourceIsDirectory = false;
    bool destinationIsDirectory = false;

    friend bool operator==(const FileConflict &, const FileConflict &) = default;
};

} // namespace dromel
