#pragma once

#include "core/DirectorySnapshot.h"
#include "core/FileEntryList.h"

#include <functional>
#include <memory>
#include <string>
#include <system_error>

namespace dromel {

// One read in progress. Ending it (cancel() or destruction) stops the
// enumeration at its next item and silences every callback.
class DirectoryRead {
public:
    virtual ~DirectoryRead() = default;
    virtual void cancel() = 0;
};

// Lists one folder off the main thread. Callbacks run on the main thread.
// Errors are errno values in the system category; a cancelled read ends
// with std::errc::operation_canceled.
class DirectoryReading {
public:
    using SnapshotHandler = std::function<void(const DirectorySnapshot &)>;
    // An empty error code means the read completed.
    using FinishHandler = std::function<void(std::error_code)>;
    using ListingHandler = std::function<void(std::error_code, const FileEntryList &)>;

    virtual ~DirectoryReading() = default;

    // Cumulative snapshots, the last one complete, then onFinish. A slow
    // consumer is handed only the newest snapshot that is pending.
    virtual std::unique_ptr<DirectoryRead> snapshots(const std::string &folder, bool showHidden,
                                                     SnapshotHandler onSnapshot, FinishHandler onFinish) = 0;

    // The complete listing at once; built on snapshots(). When the read ends
    // without a complete snapshot and without error, the newest entries seen.
    virtual std::unique_ptr<DirectoryRead> read(const std::string &folder, bool showHidden,
                                                ListingHandler completion);
};

} // namespace dromel
