#include "core/FileEntry.h"

#include "core/ItemIdentity.h"
#include "core/Location.h"
#include "core/detail/BrowseCollation.h"

#include <mutex>
#include <unordered_map>

namespace dromel {

struct FileEntry::Extras {
    std::optional<std::string> id;
    std::optional<std::string> path;
    std::optional<std::string> folded;
};

FileEntry::FileEntry(std::string id, std::string path, std::string name, bool isDirectory, bool isPackage,
                     bool isSymbolicLink, std::optional<std::int64_t> size, std::optional<FileTime> modified,
                     std::string kind)
    : m_name(std::move(name)), m_kind(internKind(kind)), m_hasSize(size.has_value()),
      m_hasModified(modified.has_value()), m_isDirectory(isDirectory), m_isPackage(isPackage),
      m_isSymbolicLink(isSymbolicLink) {
    if (size)
        m_size = *size;
    if (modified)
        m_modified = modified->time_since_epoch().count();
    auto extras = std::make_shared<Extras>();
    extras->id = std::move(id);
    extras->path = std::move(path);
    if (!detail::isAscii(m_name))
        extras->folded = detail::foldForFilter(m_name);
    m_extras = std::move(extras);
}

FileEntry FileEntry::listed(std::shared_ptr<const std::string> folder, std::string name, std::uint64_t device,
                            std::uint64_t inode, bool isDirectory, bool isPackage, bool isSymbolicLink,
                            std::optional<std::int64_t> size, std::optional<FileTime> modified,
                            std::shared_ptr<const std::string> kind) {
    FileEntry entry;
    entry.m_folder = std::move(folder);
    entry.m_name = std::move(name);
    entry.m_kind = kind ? std::move(kind) : internKind("File");
    entry.m_device = device;
    entry.m_inode = inode;
    entry.m_hasSize = size.has_value();
    entry.m_size = size.value_or(0);
    entry.m_hasModified = modified.has_value();
    entry.m_modified = modified ? modified->time_since_epoch().count() : 0;
    entry.m_isDirectory = isDirectory;
    entry.m_isPackage = isPackage;
    entry.m_isSymbolicLink = isSymbolicLink;
    if (!detail::isAscii(entry.m_name)) {
        auto extras = std::make_shared<Extras>();
        extras->folded = detail::foldForFilter(entry.m_name);
        entry.m_extras = std::move(extras);
    }
    return entry;
}

std::shared_ptr<const std::string> FileEntry::internKind(std::string_view kind) {
    // Kinds are few; the table is bounded so odd input cannot grow it forever.
    static std::mutex mutex;
    static std::unordered_map<std::string, std::shared_ptr<const std::string>> table;
    constexpr std::size_t kMaxInterned = 4096;
    std::lock_guard lock(mutex);
    auto it = table.find(std::string(kind));
    if (it != table.end())
        return it->second;
    auto shared = std::make_shared<const std::string>(kind);
    if (table.size() < kMaxInterned)
        table.emplace(std::string(kind), shared);
    return shared;
}

std::string FileEntry::id() const {
    if (m_extras && m_extras->id)
        return *m_extras->id;
    return itemIdentity(m_device, m_inode, m_name);
}

std::string FileEntry::url() const {
    if (m_extras && m_extras->path)
        return *m_extras->path;
    return Location::appending(m_folder ? *m_folder : std::string("/"), m_name);
}

std::string FileEntry::fileURL() const {
    return Location::fileURL(url(), m_isDirectory);
}

std::optional<std::int64_t> FileEntry::size() const {
    return m_hasSize ? std::optional<std::int64_t>(m_size) : std::nullopt;
}

std::optional<FileTime> FileEntry::modified() const {
    if (!m_hasModified)
        return std::nullopt;
    return FileTime(std::chrono::nanoseconds(m_modified));
}

const std::string *FileEntry::foldedName() const {
    return m_extras && m_extras->folded ? &*m_extras->folded : nullptr;
}

bool operator==(const FileEntry &a, const FileEntry &b) {
    return a.m_name == b.m_name && a.m_isDirectory == b.m_isDirectory && a.m_isPackage == b.m_isPackage &&
           a.m_isSymbolicLink == b.m_isSymbolicLink && a.size() == b.size() && a.modified() == b.modified() &&
           (a.m_kind == b.m_kind || *a.m_kind == *b.m_kind) && a.id() == b.id() && a.url() == b.url();
}

} // namespace dromel
