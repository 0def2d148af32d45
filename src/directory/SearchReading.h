#pragma once

#include "directory/DirectoryReading.h"
#include "directory/SearchWalker.h"

#include <memory>

namespace dromel {

// A search below a folder served the way a folder read is: cumulative
// snapshots of the hits so far (with their match lines and the folders that
// could not be read), the last one complete, then the end. The store shows
// results with the machinery it uses for folders.
//
// Threading: main thread only; callbacks run on the main thread and never
// after the returned read is cancelled or destroyed.
class SearchReading {
public:
    std::unique_ptr<DirectoryRead> snapshots(const SearchQuery &query, bool showHidden,
                                             DirectoryReading::SnapshotHandler onSnapshot,
                                             DirectoryReading::FinishHandler onFinish);

    // Content search skips files larger than this.
    std::int64_t contentSizeLimit = SearchOptions::kDefaultContentSizeLimit;

private:
    SearchWalker m_walker;
};

} // namespace dromel
