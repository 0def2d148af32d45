#pragma once

#include "core/FileEntry.h"
#include "directory/detail/KindLookup.h"

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>

namespace dromel::detail {

struct FolderItem;

// Turns the names of one open folder into entries: the item's metadata
// (statx), its kind and its collation key. One per thread: the kind cache is
// not shared.
class EntryMaker {
public:
    // Each maker shares its own copy of the folder path among its entries: a
    // count shared by two threads would bounce between their cores per item.
    EntryMaker(int folderFd, const struct statx &folder, const std::string &folderPath);
    // Looks kinds up through `kinds`, which outlives the maker: a walk over
    // many folders keeps one cache per thread instead of one per folder.
    EntryMaker(int folderFd, const struct statx &folder, const std::string &folderPath, KindLookup &kinds);
    EntryMaker(const EntryMaker &) = delete;
    EntryMaker &operator=(const EntryMaker &) = delete;

    // No entry when the item vanished since the folder was enumerated.
    std::optional<FileEntry> make(FolderItem &&item);

private:
    const int m_folderFd;
    const std::uint64_t m_folderDevice;
    const std::shared_ptr<const std::string> m_folderPath;
    std::optional<KindLookup> m_ownKinds;
    KindLookup &m_kinds;
};

} // namespace dromel::detail
