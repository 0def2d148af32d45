#pragma once

#include "core/FileEntry.h"

#include <string>

namespace dromel {

// One item a search found: the item as a listing shows it and, for a
// content search, the line that matched (raw bytes, at most a few hundred).
struct SearchHit {
    FileEntry entry;
    std::string matchLine;
};

} // namespace dromel
