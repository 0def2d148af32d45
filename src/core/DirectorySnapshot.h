#pragma once

#include "core/FileEntryList.h"

namespace dromel {

// One cumulative delivery of a folder read: everything listed so far.
struct DirectorySnapshot {
    FileEntryList entries;
    bool isComplete = false;
};

} // namespace dromel
