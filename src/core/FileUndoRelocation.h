#pragma once

#include "core/JsonSupport.h"
#include "core/Uuid.h"

#include <string>

namespace dromel {

// The receipt of a completed same-volume rename or move: where the item is,
// where it was, and the identity token that proves it is still that object.
struct FileUndoRelocation {
    Uuid operationID;
    std::string current;
    std::string original;
    std::string identity;

    Json toJson() const;
    static FileUndoRelocation fromJson(const Json &json);

    friend bool operator==(const FileUndoRelocation &, const FileUndoRelocation &) = default;
};

} // namespace dromel
