#pragma once

#include "core/FileEntry.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace dromel {

// What the trashes' records said, so that a listing opens only the records
// it has not read before. A record is written once and never changed in
// place: one with the same name, inode number and change time is the same
// record. An info/ folder unchanged since it was last listed (its inode and
// modification time, older than a second then, so that no later change can
// share its time) holds the same records under the same names, and they are
// then taken without a look. Safe to use from several threads.
class TrashRecordMemo {
public:
    struct Stamp {
        std::uint64_t inode = 0;
        std::int64_t seconds = 0;
        std::int64_t nanos = 0;
        friend bool operator==(const Stamp &, const Stamp &) = default;
    };
    struct Record {
        std::optional<std::string> originalPath;
        std::optional<FileTime> deleted;
    };

    // The record at `path` as remembered, if `stamp` is still its own (no
    // stamp: the folder was found unchanged).
    std::optional<Record> find(const std::string &path, const std::optional<Stamp> &stamp);
    void remember(const std::string &path, const Stamp &stamp, Record record);

    // Whether the info/ folder `folder` is as it was when last listed whole.
    bool unchanged(const std::string &folder, const Stamp &stamp) const;
    // After a complete listing: the folders' stamps (each listed whole), and
    // every record not met since the last sweep forgotten.
    void sweep(const std::unordered_map<std::string, Stamp> &folders);

private:
    struct Entry {
        Stamp stamp;
        Record record;
        bool met = true;
    };
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, Entry> m_records;
    std::unordered_map<std::string, Stamp> m_folders;
};

} // namespace dromel
