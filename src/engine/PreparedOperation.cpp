#include "engine/PreparedOperation.h"

namespace dromel {

namespace {

FileTime timeOf(std::int64_t seconds, std::int64_t nanos) {
    return FileTime(std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanos));
}

} // namespace

std::int64_t PreparedOperation::bytes() const {
    std::int64_t total = 0;
    for (const TreeRecord &record : records)
        if (record.stamp.isRegular())
            total += record.stamp.size;
    return total;
}

std::optional<FileConflict> PreparedOperation::conflict() const {
    if (!source || !target || !existing || records.empty() || caseRename)
        return std::nullopt;
    const ObjectStamp &from = records.front().stamp;
    const ObjectStamp &to = *existing;
    FileConflict conflict;
    conflict.source = *source;
    conflict.destination = *target;
    conflict.sourceSize = from.size;
    conflict.destinationSize = to.size;
    conflict.sourceIsDirectory = from.isDirectory();
    conflict.destinationIsDirectory = to.isDirectory();
    conflict.sourceModified = timeOf(from.modified, from.nanos);
    conflict.destinationModified = timeOf(to.modified, to.nanos);
    const bool sameObject = from.device == to.device && from.inode == to.inode;
    conflict.canReplace = atomic && from.isRegular() && to.isRegular() && !sameObject;
    return conflict;
}

} // namespace dromel
