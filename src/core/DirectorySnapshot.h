#pragma once

#include "core/FileEntryList.h"
#include "core/SearchHit.h"

#include <memory>

namespace dromel {

// One cumulative delivery of a folder read: everything listed so far.
struct DirectorySnapshot {
    DirectorySnapshot() = default;
    DirectorySnapshot(FileEntryList listed, bool complete, std::shared_ptr<const SearchDetails> details = {})
        : entries(std::move(listed)), isComplete(complete), search(std::move(details)) {}

    FileEntryList entries;
    bool isComplete = false;
    // Set when the listing is a search's results.
    std::shared_ptr<const SearchDetails> search;
};

} // namespace dromel
