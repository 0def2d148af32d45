#pragma once

#include <string>

// The desktop's database of applications (desktop entries and mimeapps.list),
// read through GIO. Kept apart from Qt: GLib's headers use "signals" as a name.
namespace dromel::ApplicationDatabase {

// Whether some installed application declares that it opens `mimeType`
// (or a type it is a subtype of). Reads only the desktop's own files.
bool opens(const std::string &mimeType);

} // namespace dromel::ApplicationDatabase
