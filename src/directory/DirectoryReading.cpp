#include "directory/DirectoryReading.h"

namespace dromel {

std::unique_ptr<DirectoryRead> DirectoryReading::read(const std::string &folder, bool showHidden,
                                                      ListingHandler completion) {
    auto latest = std::make_shared<FileEntryList>();
    return snapshots(
        folder, showHidden, [latest](const DirectorySnapshot &snapshot) { *latest = snapshot.entries; },
        [latest, completion = std::move(completion)](std::error_code error) {
            completion(error, error ? FileEntryList() : *latest);
        });
}

} // namespace dromel
