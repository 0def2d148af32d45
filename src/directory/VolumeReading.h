#pragma once

#include "directory/MountedVolume.h"

#include <functional>
#include <vector>

namespace dromel {

// Lists the mounted volumes. Does not fail: a table that cannot be read lists
// nothing.
class VolumeReading {
public:
    using Completion = std::function<void(std::vector<MountedVolume>)>;
    virtual ~VolumeReading() = default;
    // Works in the background; `completion` runs on the main thread.
    virtual void read(Completion completion) = 0;
};

} // namespace dromel
