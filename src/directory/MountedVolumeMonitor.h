#pragma once

#include "core/Uuid.h"
#include "directory/VolumeReading.h"
#include "runtime/Lifetime.h"

#include <memory>
#include <optional>
#include <string>

namespace dromel {

class DirectoryMonitor;
class SerialQueue;

// Keeps the list of mounted volumes current: re-lists them whenever the
// kernel's mount table changes (libmount's monitor) or the folder where
// removable media appear changes, and hands each fresh list to `onChange` on
// the main thread. A list from a superseded refresh is never delivered.
// Main thread only.
class MountedVolumeMonitor {
public:
    using ChangeHandler = std::function<void(const std::vector<MountedVolume> &)>;

    // Starts the first refresh at once.
    MountedVolumeMonitor(std::shared_ptr<VolumeReading> reader, std::optional<std::string> mountDirectory,
                         ChangeHandler onChange);
    ~MountedVolumeMonitor();
    MountedVolumeMonitor(const MountedVolumeMonitor &) = delete;
    MountedVolumeMonitor &operator=(const MountedVolumeMonitor &) = delete;

    void refresh();

    // Where the desktop mounts removable media for this user: /media/$USER or
    // /run/media/$USER, whichever exists.
    static std::optional<std::string> defaultMountDirectory();

    class MountTableWatch;

private:
    std::shared_ptr<VolumeReading> m_reader;
    ChangeHandler m_onChange;
    Uuid m_generation;
    std::unique_ptr<SerialQueue> m_queue; // libmount's monitor lives here
    std::shared_ptr<MountTableWatch> m_tableWatch;
    std::unique_ptr<DirectoryMonitor> m_mountMonitor;
    Lifetime m_lifetime;
};

} // namespace dromel
