#pragma once

#include <string>

// Moving items to the user's trash the freedesktop.org way, so the desktop's
// own trash views list and restore them. The item is renamed, never copied:
// items on another device go to that volume's own trash.
namespace dromel::OperationTrash {

// Moves `path` (not following a final link) into the trash and returns its
// place there ("<trash>/files/<name>"). The .trashinfo record is written and
// flushed first, with a unique name; the rename never replaces anything.
// `originalPath`, when given, is where the item was before the engine moved it
// aside under a hidden name in the same folder: the trash keeps it under that
// name and its record points there, so a restore brings back what the user
// knew. Throws OperationProblem(system) with the errno of the failing call.
std::string trashItem(const std::string &path, const std::string &originalPath = {});

// Removes the record of the item that was at `itemPath` ("<trash>/files/<name>")
// and its line in the trash's directorysizes, once the item has left the
// trash. A record already gone is not an error; throws
// OperationProblem(system) when the record cannot be removed.
void forgetRecord(const std::string &itemPath);

// The trash folder an item at `path` would go to (home trash or the volume's).
std::string trashFolderFor(const std::string &path);

} // namespace dromel::OperationTrash
