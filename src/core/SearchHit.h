#pragma once

#include "core/FileEntry.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace dromel {

// One item a search found: the item as a listing shows it and, for a
// content search, the line that matched (raw bytes, at most a few hundred).
struct SearchHit {
    FileEntry entry;
    std::string matchLine;
};

// What a search's listing carries beside its entries.
struct SearchDetails {
    // Matching lines of a content search, by entry id.
    std::unordered_map<std::string, std::string> matchLines;
    // Folders that could not be read; the rest was searched.
    std::vector<std::string> unreadable;
};

} // namespace dromel
