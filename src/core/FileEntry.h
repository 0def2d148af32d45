#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace dromel {

using FileTime = std::chrono::sys_time<std::chrono::nanoseconds>;

// One item listed in a folder. Immutable and laid out for large listings: a
// copy shares one block (sorting and snapshots copy entries by the 100,000),
// the folder path and the kind text are shared between siblings, and the id is
// derived from device, inode and name instead of being stored. `url()` is the
// item's absolute path (locations are paths; see Location.h); `fileURL()` its
// URL text. Names are raw bytes and travel unchanged.
class FileEntry {
public:
    // Memberwise form; `id` and `path` may be anything, they are kept exactly.
    FileEntry(std::string id, std::string path, std::string name, bool isDirectory, bool isPackage,
              bool isSymbolicLink, std::optional<std::int64_t> size, std::optional<FileTime> modified,
              std::string kind);

    // The directory reader's form: id "<device>:<inode>:<name>", path folder + "/" + name.
    static FileEntry listed(std::shared_ptr<const std::string> folder, std::string name, std::uint64_t device,
                            std::uint64_t inode, bool isDirectory, bool isPackage, bool isSymbolicLink,
                            std::optional<std::int64_t> size, std::optional<FileTime> modified,
                            std::shared_ptr<const std::string> kind, bool isUnreadable = false);

    // A shared copy of a kind text; equal texts share one allocation.
    static std::shared_ptr<const std::string> internKind(std::string_view kind);

    // Made on first use and kept with the entry (shared by its copies), so
    // asking every entry of a large listing for its id is cheap after the
    // first time. Safe from any thread.
    const std::string &id() const;
    std::string url() const;
    std::string fileURL() const;
    const std::string &name() const { return m_data->name; }
    bool isDirectory() const { return m_data->isDirectory; }
    bool isPackage() const { return m_data->isPackage; }
    bool isSymbolicLink() const { return m_data->isSymbolicLink; }
    std::optional<std::int64_t> size() const;
    std::optional<FileTime> modified() const;
    const std::string &kind() const { return *m_data->kind; }
    bool isNavigable() const { return m_data->isDirectory && !m_data->isPackage; }
    // A folder whose contents this user may not list (no read or search
    // permission), as the reader saw it.
    bool isUnreadable() const { return m_data->isUnreadable; }

    // The name folded for the name filter, or null when the name is ASCII (then
    // folding is lower-casing and is done on the fly).
    const std::string *foldedName() const;

    // The name's collation key made when the entry was built, or null when it
    // was made for another collation than `collation` (see BrowseCollation.h).
    // Listing once and sorting often is why the key travels with the entry.
    // `prefix` receives the key's first sixteen bytes (see detail::keyPrefix),
    // kept beside the entry so that sorting rarely reads the key itself.
    const std::string *sortKey(std::uint32_t collation, std::uint64_t (&prefix)[2]) const;

    friend bool operator==(const FileEntry &a, const FileEntry &b);

private:
    struct Extras;
    struct Data {
        std::shared_ptr<const std::string> folder;
        std::string name;
        std::unique_ptr<const Extras> extras; // explicit id/path, folded name
        // The derived id once asked for; owned, set at most once.
        mutable std::atomic<const std::string *> derivedID{nullptr};
        std::shared_ptr<const std::string> kind;
        std::string sortKey;
        std::uint64_t keyPrefix[2] = {0, 0};
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modified = 0;
        // Packed beside the flags so one listed entry fits a smaller
        // allocation: a 100,000-item folder holds 100,000 of these.
        std::uint32_t keyCollation = 0;
        bool hasSize : 1 = false;
        bool hasModified : 1 = false;
        bool isDirectory : 1 = false;
        bool isPackage : 1 = false;
        bool isSymbolicLink : 1 = false;
        bool isUnreadable : 1 = false;
        ~Data();
    };
    static std::shared_ptr<Data> makeData(std::string name, bool isDirectory, bool isPackage,
                                          bool isSymbolicLink, std::optional<std::int64_t> size,
                                          std::optional<FileTime> modified);
    static void deriveFromName(Data &data, std::unique_ptr<Extras> extras);
    explicit FileEntry(std::shared_ptr<const Data> data) : m_data(std::move(data)) {}

    std::shared_ptr<const Data> m_data; // never null
};

} // namespace dromel

template <> struct std::hash<dromel::FileEntry> {
    std::size_t operator()(const dromel::FileEntry &entry) const noexcept {
        return std::hash<std::string>()(entry.id());
    }
};
