#include "engine/UndoReversal.h"

#include "core/Location.h"

namespace dromel::UndoReversal {

std::optional<FileOperationKind> reverseKind(FileOperationKind done) {
    switch (done) {
    case FileOperationKind::trash:
        return FileOperationKind::restore; // out of the trash, to where it was
    case FileOperationKind::restore:
    case FileOperationKind::copy:
    case FileOperationKind::createDirectory:
    case FileOperationKind::makeLink:
        return FileOperationKind::trash; // what appeared goes to the trash
    case FileOperationKind::changePermissions:
        return FileOperationKind::changePermissions; // the old modes put back
    case FileOperationKind::rename:
    case FileOperationKind::move:
        return FileOperationKind::move; // back where it was, across volumes too
    case FileOperationKind::deletePermanently:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<FileOperationRequest> requestFor(const UndoEntry &entry) {
    const std::optional<FileOperationKind> reverse = reverseKind(entry.kind);
    if (entry.isBarrier() || !reverse)
        return std::nullopt;
    std::vector<std::string> sources;
    for (const FileUndoRelocation &receipt : entry.receipts)
        sources.push_back(receipt.current);
    if (*reverse != FileOperationKind::move)
        return FileOperationRequest(*reverse, std::move(sources), std::nullopt, std::nullopt, entry.receipts);
    const std::string original = Location::standardized(entry.receipts.front().original);
    const std::string folder = Location::parent(original);
    if (entry.receipts.size() != 1)
        return FileOperationRequest(*reverse, std::move(sources), folder, std::nullopt, entry.receipts);
    const bool sameFolder = Location::parent(Location::standardized(sources.front())) == folder;
    return FileOperationRequest(sameFolder ? FileOperationKind::rename : FileOperationKind::move,
                                std::move(sources), folder, Location::lastComponent(original),
                                entry.receipts);
}

} // namespace dromel::UndoReversal
