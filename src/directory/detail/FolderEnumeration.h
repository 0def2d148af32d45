#pragma once

#include "core/FileEntryList.h"

#include <functional>
#include <string>
#include <system_error>

namespace dromel {
class Cancellation;
}

namespace dromel::detail {

// Enumerates `folder` on the calling thread (and, for a large folder, one
// helper thread it ends before returning), publishing cumulative listings in
// folder order: the first at 128 entries or after 100 ms, then at most every
// 100 ms while entries arrive, and the complete one last. Returns the error
// that ended the read (operation_canceled when `cancellation` was set), or
// none. `onItemForTesting`, when set, is called on the examining thread before
// each item's metadata is read.
std::error_code enumerateFolder(const std::string &folder, bool showHidden, const Cancellation &cancellation,
                                const std::function<void(const FileEntryList &, bool isComplete)> &publish,
                                const std::function<void()> &onItemForTesting = {});

} // namespace dromel::detail
