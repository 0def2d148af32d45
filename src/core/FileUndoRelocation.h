#pragma once

#include "core/JsonSupport.h"
#include "core/Uuid.h"

#include <optional>
#include <string>

namespace dromel {

// The receipt of one item a command changed: where the item is, where it was
// (for a new folder, where it is), and the identity token that proves it is
// still that object. `version` sums up the whole item as the command left it
// (every object's stamp), so a reverse can refuse an item changed since.
struct FileUndoRelocation {
    Uuid operationID;
    std::string current;
    std::string original;
    std::string identity;
    std::optional<std::string> version;
    // The item the command's item took the place of, in the trash since, and
    // its identity token there: an undo puts it back once the place is free.
    std::optional<std::string> replaced{};
    std::string replacedIdentity{};

    Json toJson() const;
    static FileUndoRelocation fromJson(const Json &json);

    friend bool operator==(const FileUndoRelocation &, const FileUndoRelocation &) = default;
};

} // namespace dromel
