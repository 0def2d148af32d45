#pragma once

#include "core/FileEntry.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dromel {

// What the trashes' records said, so that a listing opens only the records
// it has not read before. A record is written once and never changed in
// place: one with the same name, inode number and change time is the same
// record. An info/ folder unchanged since it was last listed (its inode and
// change time, older than a second then, so that no later change can share
// its time) holds the same records under the same names: the names and the
// records are then taken without a look. Safe to use from several threads;
// a listing asks and teaches a chunk of records at a time, so that its two
// threads seldom meet on the lock.
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
    // A record of an info/ folder by its name there, with its stamp (none:
    // the folder was found unchanged).
    struct Query {
        std::string_view name;
        std::optional<Stamp> stamp;
    };
    struct Lesson {
        std::string name;
        Stamp stamp;
        Record record;
    };
    using Names = std::shared_ptr<const std::vector<std::string>>;
    // An info/ folder listed whole: its stamp and its records' names.
    struct Listed {
        Stamp stamp;
        Names names;
    };

    // Each queried record of `folder` as remembered, if its stamp is still
    // its own; in the queries' order.
    std::vector<std::optional<Record>> find(const std::string &folder, const std::vector<Query> &queries);
    void remember(const std::string &folder, std::vector<Lesson> &&lessons);

    // The names of the records of the info/ folder `folder` when it is as it
    // was when last listed whole (null otherwise).
    Names unchanged(const std::string &folder, const Stamp &stamp) const;
    // After a complete listing: the folders listed whole, and every record
    // not met since the last sweep forgotten.
    void sweep(const std::unordered_map<std::string, Listed> &folders);

private:
    struct Entry {
        Stamp stamp;
        Record record;
        bool met = true;
    };
    struct Folder {
        std::optional<Listed> listed;
        std::unordered_map<std::string, Entry> records;
    };
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, Folder> m_folders;
};

} // namespace dromel
