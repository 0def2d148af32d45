#pragma once

#include "directory/VolumeReading.h"
#include "runtime/WorkQueue.h"

#include <string>

namespace dromel {

// The volumes a user expects to see, from the kernel's mount table: the root
// file system and real file systems mounted under /media, /run/media, /mnt or
// the home folder, btrfs subvolume mounts included. Pseudo file systems,
// mounts marked x-gvfs-hide and bind mounts of a file system already mounted
// are left out.
class LocalVolumeReader : public VolumeReading {
public:
    LocalVolumeReader();
    void read(Completion completion) override;

    // The listing itself, on the calling thread. `mountInfo` is the table to
    // read (the process's own by default).
    static std::vector<MountedVolume> currentVolumes(const std::string &mountInfo = "/proc/self/mountinfo");

private:
    WorkQueue m_queue;
};

} // namespace dromel
