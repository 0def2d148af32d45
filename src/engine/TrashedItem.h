#pragma once

#include "core/FileEntry.h"

#include <cstdint>
#include <optional>
#include <string>

namespace dromel {

// One entry of a trash as the freedesktop.org layout keeps it: the item in
// "<trash>/files/<name>" and its record "<trash>/info/<name>.trashinfo".
// Entries whose two halves do not match up are listed too, with the reason,
// so nothing in a trash is ever hidden from its owner.
struct TrashedItem {
    enum class State {
        restorable,    // item and a readable record
        noRecord,      // an item without its record: where it came from is unknown
        damagedRecord, // the record has no usable Path
        missingItem,   // a record whose item is gone
    };

    std::string trash; // the trash folder (holding files/ and info/)
    std::string name;  // the name in files/ and info/ (without ".trashinfo")
    State state = State::restorable;
    std::optional<std::string> originalPath; // absolute, from the record
    std::optional<FileTime> deleted;         // from the record's DeletionDate
    std::optional<std::int64_t> size;        // bytes; a folder's whole content
    bool isDirectory = false;
    bool isSymbolicLink = false;
    // The item's device and inode number (0 for a missing item).
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // What a reader made of it for showing, made as it was read (see
    // TrashListing::list's `prepare`).
    std::optional<FileEntry> entry;

    std::string itemPath() const { return trash + "/files/" + name; }
    std::string infoPath() const { return trash + "/info/" + name + ".trashinfo"; }
    // The name the user knew: the original path's last part, else the trash name.
    std::string shownName() const;

    friend bool operator==(const TrashedItem &, const TrashedItem &) = default;
};

} // namespace dromel
