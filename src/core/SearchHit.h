#pragma once

#include "core/FileEntry.h"

#include <memory>
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
    using MatchLines = std::unordered_map<std::string, std::string>;

    // Matching lines of a content search by entry id, in immutable parts
    // that successive snapshots share: a batch adds a part instead of
    // copying every line found so far.
    std::vector<std::shared_ptr<const MatchLines>> matchLineParts;
    // Folders that could not be read; the rest was searched.
    std::vector<std::string> unreadable;

    // The line that matched in the entry `id`, or null.
    const std::string *matchLine(const std::string &id) const;
    // Adds a batch's lines. Small parts are merged so that a lookup visits
    // few parts, but a merge never copies more than a few thousand lines.
    void addMatchLines(MatchLines lines);
    std::size_t matchLineCount() const;
};

} // namespace dromel
