#pragma once

#include <string>

namespace dromel {

// A mounted volume as the sidebar shows it: its mount point (an absolute path)
// and its display name (the file system's label, else the mount point's last
// component).
struct MountedVolume {
    std::string url;
    std::string name;

    friend bool operator==(const MountedVolume &, const MountedVolume &) = default;
};

} // namespace dromel
