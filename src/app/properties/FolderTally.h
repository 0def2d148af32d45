#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace dromel {

// Counts a folder's items and adds up their apparent sizes, as `find | wc -l`
// and `du -sb` would: the folder itself included, links not followed, every
// name counted but the bytes of a file with several names only once. Blocking; run it off the main thread.
namespace FolderTally {

struct Tally {
    std::int64_t items = 0;
    std::int64_t bytes = 0;
    // Blocks in use, in bytes (what the items take on the disk).
    std::int64_t allocated = 0;
    bool finished = false;
    bool operator==(const Tally &) const = default;
};

// Walks `folder`, handing cumulative tallies to `progress` every
// `progressEvery` items and once at the end (finished set). Stops early, with
// finished unset, once `cancelled` is true.
Tally count(const std::string &folder, const std::atomic<bool> &cancelled,
            const std::function<void(const Tally &)> &progress, std::int64_t progressEvery = 2048);

} // namespace FolderTally
} // namespace dromel
