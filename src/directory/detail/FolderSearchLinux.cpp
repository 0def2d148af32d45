#include "directory/detail/FolderSearch.h"

#include "directory/detail/EntryMaker.h"
#include "directory/detail/FolderNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <unordered_set>

namespace dromel::detail {

namespace {

constexpr std::size_t kDentBufferSize = std::size_t{64} << 10;
// Items between cancellation checks and hand-overs of hits inside one folder.
constexpr std::size_t kItemsPerCheck = 512;

class FolderFd {
public:
    explicit FolderFd(int fd) : m_fd(fd) {}
    ~FolderFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FolderFd(const FolderFd &) = delete;
    FolderFd &operator=(const FolderFd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::uint64_t deviceOf(const struct statx &info) {
    return makedev(info.stx_dev_major, info.stx_dev_minor);
}

std::string childPath(const std::string &folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

bool withinConstraints(const SearchQuery &query, const FileEntry &entry, std::int64_t now) {
    if (query.sizeAbove || query.sizeBelow) {
        const auto size = entry.size();
        if (!size || entry.isDirectory())
            return false;
        if ((query.sizeAbove && *size <= *query.sizeAbove) || (query.sizeBelow && *size >= *query.sizeBelow))
            return false;
    }
    if (query.modifiedWithinSeconds) {
        const auto modified = entry.modified();
        if (!modified)
            return false;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(modified->time_since_epoch());
        if (seconds.count() < now - *query.modifiedWithinSeconds)
            return false;
    }
    return true;
}

} // namespace

FolderSearch::FolderSearch(SearchState &state)
    : m_state(state), m_now(std::chrono::duration_cast<std::chrono::seconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count()),
      m_content(state.text(), state.options().contentSizeLimit), m_dents(kDentBufferSize) {}

void FolderSearch::run() {
    PendingFolder folder;
    while (m_state.takeFolder(folder)) {
        auto problem = read(folder);
        m_state.finishFolder(m_subfolders, m_hits, std::move(problem));
    }
}

bool FolderSearch::listNames(int fd, int &error) {
    m_names.clear();
    m_items.clear();
    m_hasHiddenFile = false;
    for (;;) {
        const long count = ::syscall(SYS_getdents64, fd, m_dents.data(), m_dents.size());
        if (count < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        if (count == 0)
            return true;
        for (long offset = 0; offset < count;) {
            // getdents64 records are laid out as glibc's dirent64.
            const auto *dent = reinterpret_cast<const struct dirent64 *>(m_dents.data() + offset);
            offset += dent->d_reclen;
            const char *name = dent->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            const std::size_t size = std::strlen(name);
            if (size == 7 && std::memcmp(name, ".hidden", 7) == 0)
                m_hasHiddenFile = true;
            m_items.push_back(
                {static_cast<std::uint32_t>(m_names.size()), static_cast<std::uint32_t>(size), dent->d_type});
            m_names.append(name, size + 1);
        }
    }
}

bool FolderSearch::admitsFile(std::string_view name, bool isDirectory) {
    const SearchType type = m_state.query().type;
    if (type == SearchType::any)
        return true;
    if (type == SearchType::folder)
        return isDirectory;
    return !isDirectory && m_types.fileIs(type, name);
}

std::optional<SearchProblem> FolderSearch::read(const PendingFolder &folder) {
    if (const auto &hook = m_state.options().onFolderForTesting)
        hook(folder.path);
    if (m_state.isCancelled())
        return std::nullopt;
    FolderFd fd(::open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        // A folder that vanished or was replaced by a link since it was
        // listed is not a problem worth reporting.
        if (errno != ENOENT && errno != ELOOP && errno != ENOTDIR)
            return SearchProblem{folder.path, {errno, std::system_category()}};
        return std::nullopt;
    }
    struct statx own {};
    if (::statx(fd.get(), "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO, &own) != 0)
        return SearchProblem{folder.path, {errno, std::system_category()}};
    const std::uint64_t device = deviceOf(own);
    if (folder.isStart) {
        m_state.setStartDevice(device);
    } else if (device != folder.parentDevice) {
        if (!m_state.query().crossVolumes || !m_state.enterMount(device, own.stx_ino))
            return std::nullopt;
    }
    int error = 0;
    if (!listNames(fd.get(), error))
        return SearchProblem{folder.path, {error, std::system_category()}};

    const SearchQuery &query = m_state.query();
    const bool showHidden = m_state.options().showHidden;
    const bool byContent = query.mode == SearchMode::content;
    const bool needsEntryCheck = query.sizeAbove || query.sizeBelow || query.modifiedWithinSeconds;
    std::unordered_set<std::string> hiddenNames;
    if (!showHidden && m_hasHiddenFile)
        hiddenNames = FolderNames::hiddenIn(fd.get());
    std::optional<EntryMaker> maker;
    std::string line;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (i % kItemsPerCheck == kItemsPerCheck - 1) {
            if (m_state.isCancelled())
                return std::nullopt;
            m_state.addHits(m_hits);
        }
        const Item &item = m_items[i];
        const std::string_view name(m_names.data() + item.nameAt, item.nameSize);
        if (!showHidden &&
            (name.front() == '.' || (!hiddenNames.empty() && hiddenNames.contains(std::string(name)))))
            continue;
        unsigned char type = item.type;
        if (type == DT_UNKNOWN) {
            struct statx info {};
            if (::statx(fd.get(), name.data(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &info) != 0)
                continue;
            type = IFTODT(info.stx_mode);
        }
        const bool isDirectory = type == DT_DIR;
        if (isDirectory)
            m_subfolders.push_back({childPath(folder.path, name), device, false});
        line.clear();
        if (byContent) {
            if (type != DT_REG || !admitsFile(name, false))
                continue;
            const auto outcome = m_content.scan(fd.get(), name.data(), m_state.cancelled(), line,
                                                query.sizeAbove, query.sizeBelow);
            if (outcome == ContentScan::Outcome::cancelled)
                return std::nullopt;
            if (outcome != ContentScan::Outcome::match)
                continue;
        } else if (!m_state.names().matches(name) || !admitsFile(name, isDirectory)) {
            continue;
        }
        if (!maker)
            maker.emplace(fd.get(), own, folder.path, m_kinds);
        auto entry = maker->make({std::string(name), 0, type});
        if (!entry || (needsEntryCheck && !withinConstraints(query, *entry, m_now)))
            continue;
        m_hits.push_back({std::move(*entry), std::move(line)});
    }
    return std::nullopt;
}

} // namespace dromel::detail
