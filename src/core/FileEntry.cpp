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

FileEntry::Data::~Data() {
    // With its shared count, one entry must stay within a 192-byte block.
    static_assert(sizeof(void *) != 8 || sizeof(Data) <= 168);
    delete derivedID.load(std::memory_order_acquire);
}

std::shared_ptr<FileEntry::Data> FileEntry::makeData(std::string name, bool isDirectory, bool isPackage,
                                                     bool isSymbolicLink, std::optional<std::int64_t> size,
                                                     std::optional<FileTime> modified) {
    auto data = std::make_shared<Data>();
    data->name = std::move(name);
    data->hasSize = size.has_value();
    data->size = size.value_or(0);
    data->hasModified = modified.has_value();
    data->modified = modified ? modified->time_since_epoch().count() : 0;
    data->isDirectory = isDirectory;
    data->isPackage = isPackage;
    data->isSymbolicLink = isSymbolicLink;
    return data;
}

// The name's fold for the filter (non-ASCII names only) and its collation key.
void FileEntry::deriveFromName(Data &data, std::unique_ptr<Extras> extras) {
    if (!detail::isAscii(data.name)) {
        if (!extras)
            extras = std::make_unique<Extras>();
        extras->folded = detail::foldForFilter(data.name);
    }
    data.extras = std::move(extras);
    data.keyCollation = detail::currentCollation();
    data.sortKey = detail::sortKey(data.name);
    const detail::KeyPrefix prefix = detail::keyPrefix(data.sortKey.c_str());
    data.keyPrefix[0] = prefix.first;
    data.keyPrefix[1] = prefix.second;
}

FileEntry::FileEntry(std::string id, std::string path, std::string name, bool isDirectory, bool isPackage,
                     bool isSymbolicLink, std::optional<std::int64_t> size, std::optional<FileTime> modified,
                     std::string kind) {
    auto data = makeData(std::move(name), isDirectory, isPackage, isSymbolicLink, size, modified);
    data->kind = internKind(kind);
    auto extras = std::make_unique<Extras>();
    extras->id = std::move(id);
    extras->path = std::move(path);
    deriveFromName(*data, std::move(extras));
    m_data = std::move(data);
}

FileEntry FileEntry::listed(std::shared_ptr<const std::string> folder, std::string name, std::uint64_t device,
                            std::uint64_t inode, bool isDirectory, bool isPackage, bool isSymbolicLink,
                            std::optional<std::int64_t> size, std::optional<FileTime> modified,
                            std::shared_ptr<const std::string> kind, bool isUnreadable) {
    auto data = makeData(std::move(name), isDirectory, isPackage, isSymbolicLink, size, modified);
    data->isUnreadable = isUnreadable;
    data->folder = std::move(folder);
    data->kind = kind ? std::move(kind) : internKind("File");
    data->device = device;
    data->inode = inode;
    deriveFromName(*data, nullptr);
    return FileEntry(std::move(data));
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

const std::string &FileEntry::id() const {
    const Data &data = *m_data;
    if (data.extras && data.extras->id)
        return *data.extras->id;
    if (const std::string *made = data.derivedID.load(std::memory_order_acquire))
        return *made;
    // Two threads may both make it; the first to publish wins.
    auto made = std::make_unique<const std::string>(itemIdentity(data.device, data.inode, data.name));
    const std::string *expected = nullptr;
    if (data.derivedID.compare_exchange_strong(expected, made.get(), std::memory_order_acq_rel,
                                               std::memory_order_acquire))
        return *made.release();
    return *expected;
}

std::string FileEntry::url() const {
    const Data &data = *m_data;
    if (data.extras && data.extras->path)
        return *data.extras->path;
    return Location::appending(data.folder ? *data.folder : std::string("/"), data.name);
}

std::string FileEntry::fileURL() const {
    return Location::fileURL(url(), m_data->isDirectory);
}

std::optional<std::int64_t> FileEntry::size() const {
    return m_data->hasSize ? std::optional<std::int64_t>(m_data->size) : std::nullopt;
}

std::optional<FileTime> FileEntry::modified() const {
    if (!m_data->hasModified)
        return std::nullopt;
    return FileTime(std::chrono::nanoseconds(m_data->modified));
}

const std::string *FileEntry::foldedName() const {
    const Data &data = *m_data;
    return data.extras && data.extras->folded ? &*data.extras->folded : nullptr;
}

const std::string *FileEntry::sortKey(std::uint32_t collation, std::uint64_t (&prefix)[2]) const {
    const Data &data = *m_data;
    if (data.keyCollation != collation)
        return nullptr;
    prefix[0] = data.keyPrefix[0];
    prefix[1] = data.keyPrefix[1];
    return &data.sortKey;
}

bool operator==(const FileEntry &a, const FileEntry &b) {
    if (a.m_data == b.m_data)
        return true;
    const FileEntry::Data &x = *a.m_data;
    const FileEntry::Data &y = *b.m_data;
    if (!(x.name == y.name && x.isDirectory == y.isDirectory && x.isPackage == y.isPackage &&
          x.isSymbolicLink == y.isSymbolicLink && x.isUnreadable == y.isUnreadable && a.size() == b.size() &&
          a.modified() == b.modified() && (x.kind == y.kind || *x.kind == *y.kind)))
        return false;
    // Two listed entries (the common case: a refresh compared with the list it
    // replaces) have equal ids and paths exactly when these parts are equal;
    // building both texts for 100,000 entries would cost milliseconds.
    const auto derived = [](const FileEntry::Data &data) {
        return !data.extras || (!data.extras->id && !data.extras->path);
    };
    if (derived(x) && derived(y) && x.folder && y.folder)
        return x.device == y.device && x.inode == y.inode && (x.folder == y.folder || *x.folder == *y.folder);
    return a.id() == b.id() && a.url() == b.url();
}

} // namespace dromel
