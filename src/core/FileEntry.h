#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace dromel {

using FileTime = std::chrono::sys_time<std::chrono::nanoseconds>;

// One item listed in a folder. Immutable and laid out for large listings: the
// folder path and the kind text are shared between siblings, and the id is
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
                            std::shared_ptr<const std::string> kind);

    // A shared copy of a kind text; equal texts share one allocation.
    static std::shared_ptr<const std::string> internKind(std::string_view kind);

    std::string id() const;
    std::string url() const;
    std::string fileURL() const;
    const std::string &name() const { return m_name; }
    bool isDirectory() const { return m_isDirectory; }
    bool isPackage() const { return m_isPackage; }
    bool isSymbolicLink() const { return m_isSymbolicLink; }
    std::optional<std::int64_t> size() const;
    std::optional<FileTime> modified() const;
    const std::string &kind() const { return *m_kind; }
    bool isNavigable() const { return m_isDirectory && !m_isPackage; }

    // The name folded for the name filter, or null when the name is ASCII (then
    // folding is lower-casing and is done on the fly).
    const std::string *foldedName() const;

    friend bool operator==(const FileEntry &a, const FileEntry &b);

private:
    struct Extras;
    FileEntry() = default;

    std::shared_ptr<const std::string> m_folder;
    std::string m_name;
    std::shared_ptr<const Extras> m_extras; // explicit id/path, folded name
    std::shared_ptr<const std::string> m_kind;
    std::uint64_t m_device = 0;
    std::uint64_t m_inode = 0;
    std::int64_t m_size = 0;
    std::int64_t m_modified = 0;
    bool m_hasSize = false;
    bool m_hasModified = false;
    bool m_isDirectory = false;
    bool m_isPackage = false;
    bool m_isSymbolicLink = false;
};

} // namespace dromel

template <> struct std::hash<dromel::FileEntry> {
    std::size_t operator()(const dromel::FileEntry &entry) const noexcept {
        return std::hash<std::string>()(entry.id());
    }
};
