#pragma once

#include "core/FileEntry.h"
#include "engine/OperationCancellation.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// The small reads a trash listing is made of, each relative to an open
// folder so that a listing resolves no path twice.
namespace dromel::detail {

inline constexpr std::string_view kInfoSuffix = ".trashinfo";

// A record's bytes (at most 64 KiB); one read for a record of usual size.
std::string readSmallFile(int at, const char *name);

// The names in a folder, "." and ".." left out.
std::vector<std::string> namesIn(int at, const char *name);

// Bytes of everything under a folder, links not followed.
std::int64_t contentSize(int parent, const char *name, const OperationCancellation &cancel);

// directorysizes: "size mtime percent-encoded-name" per line, by name.
std::unordered_map<std::string, std::pair<std::int64_t, std::int64_t>> folderSizes(int trash);

// Local "YYYY-MM-DDThh:mm:ss" deletion dates. mktime() reads the zone's
// file for every call, so the zone's offset is kept per hour: a trash's
// records share few hours. One per thread.
class DeletionDates {
public:
    std::optional<FileTime> parse(const std::string &text);

private:
    std::unordered_map<std::string, long> m_offsets; // "YYYY-MM-DDThh" -> seconds east of UTC
};

} // namespace dromel::detail
