#pragma once

#include "core/JsonSupport.h"

#include <cstdint>
#include <string>

namespace dromel {

// What a permanent deletion removed, as the journal keeps it: nothing of it
// can be brought back, so its record says at least what it was.
struct FileRemoval {
    std::string path;          // where it was when it was removed
    std::int64_t bytes = 0;    // of its regular files
    std::int64_t items = 0;    // itself and everything inside
    std::int64_t modified = 0; // its own modification time, seconds since 1970
    std::string identity;      // its stamp's identity, as an undo receipt holds it

    Json toJson() const;
    static FileRemoval fromJson(const Json &json);

    friend bool operator==(const FileRemoval &, const FileRemoval &) = default;
};

} // namespace dromel
