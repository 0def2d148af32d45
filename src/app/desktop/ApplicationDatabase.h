#pragma once

#include "desktop/DesktopApplication.h"

#include <optional>
#include <string>
#include <vector>

namespace dromel {

// The desktop's application database, read through GIO, which implements the
// XDG MIME applications rules (mimeapps.list in the config and data folders,
// desktop entries and their MimeType= keys, removed associations) and the
// desktop entry's field codes. Every call may read files (desktop entries,
// the MIME database, the item itself): call them off the main thread. Safe
// from any thread; failures come back as empty results or false with `error`.
namespace ApplicationDatabase {

// The item's MIME type, sniffed from its contents where the name is not
// enough ("inode/directory" for folders, "application/octet-stream" when unknown).
std::string mimeTypeOf(const std::string &path);
// The type's localized description ("PNG image").
std::string describe(const std::string &mimeType);
// The item is a program or a script the user may run: executable by its mode
// and of a type that can be executed.
bool isExecutable(const std::string &path, const std::string &mimeType);

std::optional<DesktopApplication> defaultFor(const std::string &mimeType);
// The applications for the type, the default first, then the recommended and
// the other registered ones, without duplicates.
std::vector<DesktopApplication> applicationsFor(const std::string &mimeType);
// Every application the menus show, sorted by name.
std::vector<DesktopApplication> all();
std::optional<DesktopApplication> find(const std::string &id);

// Writes the default into the user's mimeapps.list.
bool setDefault(const std::string &applicationId, const std::string &mimeType, std::string *error = nullptr);
// Starts the application on the items by its command's field codes: one
// launch with every item where it takes a list, one per item otherwise.
bool launch(const std::string &applicationId, const std::vector<std::string> &paths,
            std::string *error = nullptr);

// The items grouped by type in their order, each with its applications.
std::vector<OpenGroup> plan(const std::vector<std::string> &paths);

} // namespace ApplicationDatabase
} // namespace dromel
