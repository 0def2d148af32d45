#pragma once

#include "core/FileConflict.h"
#include "engine/ObjectStamp.h"
#include "engine/TreeRecord.h"

#include <cstdint>
#include <optional>
#include <string>

namespace dromel {

// One item of a request, prepared against a frozen picture of the disk.
struct PreparedOperation {
    std::optional<std::string> source; // absent for createDirectory
    std::optional<std::string> target; // absent for trash
    TreeManifest records;              // the source's hashed manifest
    // The target's folder is on a file system with exclusive rename.
    bool atomic = false;
    // The target's volume keeps modes, owners and extended attributes; where
    // it does not, content is copied alone (with the user's consent).
    bool keepsMetadata = true;
    // What was found at the target during preparation.
    std::optional<ObjectStamp> existing;
    // A rename that only changes the letter case or Unicode form of the name.
    bool caseRename = false;

    // Sum of the recorded sizes of the regular files.
    std::int64_t bytes() const;
    // The name clash to put to the user, when there is one. Replace is offered
    // only for a file over another file on a volume with exclusive rename,
    // and never over the source itself.
    std::optional<FileConflict> conflict() const;
};

} // namespace dromel
