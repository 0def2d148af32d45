#pragma once

#include "directory/DirectoryReading.h"
#include "runtime/WorkQueue.h"

namespace dromel {

// Reads local folders on the "Dromel.directory-reader" queue: two folders at
// a time, further reads wait their turn.
class LocalDirectoryReader : public DirectoryReading {
public:
    LocalDirectoryReader();
    ~LocalDirectoryReader() override;

    std::unique_ptr<DirectoryRead> snapshots(const std::string &folder, bool showHidden,
                                             SnapshotHandler onSnapshot, FinishHandler onFinish) override;

private:
    WorkQueue m_queue;
};

} // namespace dromel
